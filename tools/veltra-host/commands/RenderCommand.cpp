// `render`: composites the scene's frames through the plug-in and writes each one,
// read back through a CPU texture, as a PNG file.
#include "commands/Commands.h"
#include "commands/OutputFiles.h"
#include "commands/SceneSession.h"
#include "common/ErrorReport.h"
#include "common/HostErrors.h"
#include "common/HostPaths.h"
#include "common/Progress.h"
#include "common/Statistics.h"
#include "common/Timing.h"
#include "plugin/PluginCompositor.h"
#include "plugin/PluginHost.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintSummary(const std::vector<double>& seconds, double total, OutputSize size)
{
    const Statistics frames = StatisticsOf(seconds);
    std::fprintf(stderr, "veltra-host: rendered %s %s of %d x %d in %.2f s; upload, draw and read-back a frame: min %.1f ms, "
                         "median %.1f ms, max %.1f ms\n",
                 Grouped(frames.count).c_str(), frames.count == 1 ? "frame" : "frames", size.width, size.height, total,
                 1e3 * frames.min, 1e3 * frames.median, 1e3 * frames.max);
}

} // namespace

int RunRender(const Options& options)
{
    const Scene scene = SceneFor(options);
    const OutputSize size = OutputSizeFor(scene, options);
    const FrameSchedule schedule = ScheduleFor(scene, options);
    const FrameFiles files(options.output, schedule.Frames() > 1);
    std::vector<std::string> paths;
    for (int number = schedule.first; number <= schedule.last; ++number)
        paths.push_back(files.PathOf(number));
    CheckOutputFiles(paths, options.overwrite);

    const double start = Now();
    PluginHost plugin;
    VeltraRender::IRender& render = plugin.Start(nullptr, size.width, size.height);
    const FramePlan plan = PlanFor(scene, size, render);
    std::vector<double> seconds;
    {
        PluginCompositor compositor(render, plan);
        Progress progress(!options.quiet);
        for (int number = schedule.first; number <= schedule.last; ++number) {
            const size_t done = seconds.size();
            progress.Show("frame " + std::to_string(number) + " (" + std::to_string(done + 1) + " of " +
                          std::to_string(paths.size()) + ")");
            const double frameStart = Now();
            compositor.UploadLiveSources();
            compositor.Draw(schedule.TimeOf(number));
            const Image image = Unpremultiplied(compositor.ReadFrame());
            seconds.push_back(Now() - frameStart);
            if (!WritePng(paths[done], image))
                throw HostFailure("cannot write " + paths[done] + ": " +
                                  (WriteProblem(paths[done]).empty() ? "the PNG writer failed" : WriteProblem(paths[done])));
            progress.Clear();
            std::printf("%s\n", paths[done].c_str());
            std::fflush(stdout);
        }
    }
    plugin.Stop();
    if (!options.quiet)
        PrintSummary(seconds, Now() - start, size);
    return ExitDone;
}
