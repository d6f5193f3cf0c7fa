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
#include <string>

namespace {

// The profile of this machine's device (shader model 3.0).
const int ShaderLevel = 2;

// "1 pass", "2 passes", "0 layers".
std::string Counted(size_t count, const std::string& noun)
{
    const bool sibilant = noun.back() == 's' || noun.back() == 'x' || noun.back() == 'h';
    return std::to_string(count) + " " + noun + (count == 1 ? "" : sibilant ? "es" : "s");
}

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
            std::printf("%s: valid: %d x %d, %s, %s, %s\n", path.c_str(), size.width, size.height,
                        Counted(scene.layers.size(), "layer").c_str(), Counted(plan.programs.size() - 1, "effect program").c_str(),
                        Counted(plan.passes.size(), "pass").c_str());
        } catch (const SceneError& error) {
            std::fflush(stdout);
            ReportError("veltra-host: " + std::string(error.what()));
            ++invalid;
        }
    }
    return invalid ? ExitBadInput : ExitDone;
}
