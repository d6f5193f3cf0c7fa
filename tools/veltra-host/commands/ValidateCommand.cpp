// `validate`: each scene checked as `render` checks it (JSON, values, limits, image and
// effect files, Cg compiles, the textures at its size), without a device or drawing.
#include "commands/Commands.h"
#include "commands/SceneSession.h"
#include "common/ErrorReport.h"
#include "common/HostErrors.h"
#include "scene/CgCompiler.h"
#include "scene/FramePlan.h"
#include "scene/SceneLoader.h"

#include <cstdio>
#include <memory>

namespace {

// The profile of this machine's device (shader model 3.0).
const int ShaderLevel = 2;

} // namespace

int RunValidate(const Options& options)
{
    const auto cg = std::make_shared<CgCompiler>(ShaderLevel);
    int invalid = 0;
    for (const std::string& path : options.scenes) {
        try {
            const Scene scene = LoadSceneFile(path);
            const OutputSize size = OutputSizeFor(scene, options);
            const FramePlan plan = BuildFramePlan(scene, size.width, size.height, cg);
            std::printf("%s: valid: %d x %d, %zu layers, %zu effect programs, %zu passes\n", path.c_str(), size.width,
                        size.height, scene.layers.size(), plan.programs.size() - 1, plan.passes.size());
        } catch (const SceneError& error) {
            std::fflush(stdout);
            ReportError(error.what());
            ++invalid;
        }
    }
    return invalid ? ExitBadInput : ExitDone;
}
