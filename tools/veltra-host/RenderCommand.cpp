// `render`: composites the scene's frames through the plug-in and writes each one,
// read back through a CPU texture, as a PNG file.
#include "Commands.h"
#include "HostErrors.h"
#include "PluginCompositor.h"
#include "PluginHost.h"
#include "SceneSession.h"

#include <cstdio>
#include <iostream>

namespace {

// OUT.png for a single frame; OUT-0001.png, OUT-0002.png ... for several.
std::string FramePath(const std::string& output, int index, int count)
{
    if (count == 1)
        return output;
    const size_t dot = output.find_last_of('.');
    const size_t separator = output.find_last_of("\\/");
    const bool hasExtension = dot != std::string::npos && (separator == std::string::npos || dot > separator);
    char number[16];
    std::snprintf(number, sizeof number, "-%04d", index + 1);
    return hasExtension ? output.substr(0, dot) + number + output.substr(dot) : output + number + ".png";
}

} // namespace

int RunRender(const Options& options)
{
    const Scene scene = SceneFor(options);
    const OutputSize size = OutputSizeFor(scene, options);
    const int frames = options.frames ? options.frames : scene.frames;

    PluginHost plugin;
    VeltraRender::IRender& render = plugin.Start(nullptr, size.width, size.height);
    const FramePlan plan = PlanFor(scene, size, render);
    {
        PluginCompositor compositor(render, plan);
        for (int frame = 0; frame < frames; ++frame) {
            compositor.UploadLiveSources();
            compositor.Draw(FrameTime(frame, frames, scene));
            const Image image = Unpremultiplied(compositor.ReadFrame());
            const std::string path = FramePath(options.output, frame, frames);
            if (!WritePng(path, image))
                throw HostFailure("cannot write " + path);
            std::cout << path << std::endl;
        }
    }
    plugin.Stop();
    return ExitDone;
}
