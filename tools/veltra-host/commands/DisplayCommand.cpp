// `display`: presents the scene, animated, into a window of the host's through
// DisplayBuffer, until the time or the number of frames is up or the window is closed.
#include "commands/Commands.h"
#include "commands/SceneSession.h"
#include "common/HostErrors.h"
#include "common/Timing.h"
#include "plugin/DisplayWindow.h"
#include "plugin/PluginCompositor.h"
#include "plugin/PluginHost.h"

#include <cstdio>

namespace {

const double DefaultSeconds = 10;
// A scene of one frame still moves: its effects' time runs over this many frames.
const int StillSceneLoop = 100;

} // namespace

int RunDisplay(const Options& options)
{
    const Scene scene = SceneFor(options);
    const OutputSize size = OutputSizeFor(scene, options);
    const int loop = options.frames > 1 ? options.frames : scene.frames > 1 ? scene.frames : StillSceneLoop;
    const double seconds = options.seconds > 0 ? options.seconds : options.frames ? 0 : DefaultSeconds;

    DisplayWindow window(size.width, size.height, "veltra-host: " + scene.name);
    PluginHost plugin;
    VeltraRender::IRender& render = plugin.Start(window.Handle(), size.width, size.height);
    const FramePlan plan = PlanFor(scene, size, render);
    int presented = 0;
    // Frames per second count from the first presented frame: the first one pays for
    // shaders, textures and the swap chain coming into use.
    double start = Now(), first = 0, last = 0;
    {
        PluginCompositor compositor(render, plan);
        while (window.PumpMessages()) {
            if (options.frames && presented >= options.frames)
                break;
            if (seconds > 0 && Now() - start >= seconds)
                break;
            compositor.UploadLiveSources();
            compositor.Draw(options.time ? *options.time : FrameTime(presented % loop, loop, scene));
            if (!render.DisplayBuffer(compositor.Frame(), 0))
                throw HostFailure("DisplayBuffer showed nothing: the render has no swap chain for the window");
            last = Now();
            if (presented++ == 0)
                first = last;
        }
        render.Flush(true);
    }
    std::printf("presented %d frames of %d x %d in %.2f s", presented, size.width, size.height, Now() - start);
    if (presented > 1)
        std::printf("; %.1f frames per second after the first, which took %.0f ms\n", (presented - 1) / (last - first),
                    1e3 * (first - start));
    else
        std::printf("\n");
    plugin.Stop();
    return ExitDone;
}
