// Frame times of the plug-in against plain Direct3D 9 drawing the same plan.
#include "Bench.h"

#include "PlainCompositor.h"
#include "PluginCompositor.h"
#include "PluginHost.h"
#include "SceneSession.h"
#include "Timing.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

const double BenchTime = 0.5;

template <class Compositor> double TimeFrame(Compositor& compositor, Image& frame)
{
    const double start = Now();
    compositor.UploadLiveSources();
    compositor.Draw(BenchTime);
    frame = compositor.ReadFrame();
    return Now() - start;
}

int LargestDifference(const Image& a, const Image& b)
{
    int largest = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            largest = std::max(largest, std::abs(int(a.pixels[i] >> shift & 0xFF) - int(b.pixels[i] >> shift & 0xFF)));
    return largest;
}

} // namespace

FrameTimes MeasureFrames(const Scene& scene, int width, int height, int runs)
{
    FrameTimes times;
    times.width = width;
    times.height = height;
    PluginHost plugin;
    VeltraRender::IRender& render = plugin.Start(nullptr, width, height);
    const FramePlan plan = PlanFor(scene, {width, height}, render);
    times.passes = static_cast<int>(plan.passes.size());
    PlainDirect3D direct3D;
    {
        PluginCompositor viaPlugin(render, plan);
        PlainCompositor plain(direct3D, plan);
        Image pluginFrame, plainFrame;
        TimeFrame(viaPlugin, pluginFrame);  // first frames pay for first use
        TimeFrame(plain, plainFrame);
        std::vector<double> pluginTimes, plainTimes;
        for (int run = 0; run < runs; ++run) {
            pluginTimes.push_back(TimeFrame(viaPlugin, pluginFrame));
            plainTimes.push_back(TimeFrame(plain, plainFrame));
        }
        times.pluginSeconds = Median(pluginTimes);
        times.plainSeconds = Median(plainTimes);
        times.largestDifference = LargestDifference(pluginFrame, plainFrame);
    }
    plugin.Stop();
    return times;
}
