// Frame times of the plug-in against plain Direct3D 9 drawing the same plan. Besides
// the whole frame, each sample records its three phases as the host's thread sees
// them: the upload returns when the copy is queued, the draws when they are queued,
// and the read-back waits for the GPU, so the GPU's drawing time shows there.
#include "bench/Bench.h"

#include "bench/plain/PlainCompositor.h"
#include "commands/SceneSession.h"
#include "common/Statistics.h"
#include "common/Timing.h"
#include "plugin/PluginCompositor.h"
#include "plugin/PluginHost.h"
#include "scene/DefaultScene.h"
#include "scene/Image.h"

namespace {

const int FrameSizes[][2] = {{1920, 1080}, {3840, 2160}};
const double BenchTime = 0.5;

struct Phases {
    std::vector<double> upload, draw, readBack;

    nlohmann::json Medians() const
    {
        return {{"uploadMilliseconds", 1e3 * StatisticsOf(upload).median},
                {"drawMilliseconds", 1e3 * StatisticsOf(draw).median},
                {"readBackMilliseconds", 1e3 * StatisticsOf(readBack).median}};
    }
};

template <class Compositor> double TimeFrame(Compositor& compositor, Image& frame, Phases& phases)
{
    const double start = Now();
    compositor.UploadLiveSources();
    const double uploaded = Now();
    compositor.Draw(BenchTime);
    const double drawn = Now();
    frame = compositor.ReadFrame();
    const double end = Now();
    phases.upload.push_back(uploaded - start);
    phases.draw.push_back(drawn - uploaded);
    phases.readBack.push_back(end - drawn);
    return end - start;
}


BenchRow MeasureFrame(const BenchSettings& settings, const Scene& scene, int width, int height)
{
    BenchRow row;
    row.kind = "frame";
    row.label = "frame " + std::to_string(width) + " x " + std::to_string(height);
    row.ratio = RatioKind::Time;
    row.goal = 1.03;
    PluginHost plugin;
    VeltraRender::IRender& render = plugin.Start(nullptr, width, height);
    const FramePlan plan = PlanFor(scene, {width, height}, render);
    PlainDirect3D direct3D;
    {
        PluginCompositor viaPlugin(render, plan);
        PlainCompositor plain(direct3D, plan);
        Image pluginFrame, plainFrame;
        Phases pluginPhases, plainPhases, warmUp;
        TimeFrame(viaPlugin, pluginFrame, warmUp);  // first frames pay for first use
        TimeFrame(plain, plainFrame, warmUp);
        Interleaved(settings, row.label, [&](bool pluginFirst) {
            if (pluginFirst)
                row.plugin.push_back(TimeFrame(viaPlugin, pluginFrame, pluginPhases));
            row.plain.push_back(TimeFrame(plain, plainFrame, plainPhases));
            if (!pluginFirst)
                row.plugin.push_back(TimeFrame(viaPlugin, pluginFrame, pluginPhases));
        });
        row.details = {{"passes", plan.passes.size()},
                       {"largestChannelDifference", LargestChannelDifference(pluginFrame.pixels, plainFrame.pixels)},
                       {"pluginPhases", pluginPhases.Medians()},
                       {"plainPhases", plainPhases.Medians()}};
    }
    plugin.Stop();
    return row;
}

} // namespace

std::vector<BenchRow> MeasureFrames(const BenchSettings& settings)
{
    const Scene scene = DefaultScene();
    std::vector<BenchRow> rows;
    for (const auto& size : FrameSizes)
        rows.push_back(MeasureFrame(settings, scene, size[0], size[1]));
    return rows;
}
