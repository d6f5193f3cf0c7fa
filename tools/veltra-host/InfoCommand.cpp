// `info`: what the plug-in reports about the adapter, and where it was loaded from.
#include "Commands.h"
#include "HostErrors.h"
#include "PluginHost.h"

#include <cstdio>

namespace {

const char* ShaderModel(int level)
{
    switch (level) {
    case 2:
        return "pixel shader 3.0";
    case 1:
        return "pixel shader 2.x";
    default:
        return "pixel shader 2.0";
    }
}

const char* YesNo(bool value)
{
    return value ? "yes" : "no";
}

} // namespace

int RunInfo(const Options&)
{
    PluginHost plugin;
    VeltraRender::IRender& render = plugin.Start(nullptr, 64, 64);
    VeltraRender::RenderInfo info = {};
    render.GetRenderInfo(&info);
    const int level = render.GetShaderLevel();
    std::printf("plug-in:        %s\n", plugin.LibraryPath().c_str());
    std::printf("render:         %s\n", TextOf(info.name).c_str());
    std::printf("adapter:        %s\n", TextOf(info.description).c_str());
    std::printf("vendor:         %s\n", TextOf(info.vendor).c_str());
    std::printf("driver version: %s\n", TextOf(info.driverVersion).c_str());
    std::printf("shader level:   %d (%s)\n", level, ShaderModel(level));
    std::printf("stereo:         available %s, enabled %s, ready %s\n", YesNo(info.stereoAvailable),
                YesNo(info.stereoEnabled), YesNo(info.stereoReady));
    plugin.Stop();
    return ExitDone;
}
