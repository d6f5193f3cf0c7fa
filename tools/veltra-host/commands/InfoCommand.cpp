// `info`: what the plug-in reports about the adapter, and where it was loaded from;
// `--version`: the versions of the host and of the plug-in.
#include "commands/Commands.h"
#include "common/HostErrors.h"
#include "common/MachineContext.h"
#include "common/Version.h"
#include "plugin/PluginHost.h"

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

std::string VersionOf(const std::string& path)
{
    const std::string version = FileVersion(path);
    return version.empty() ? "no version resource" : version;
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
    std::printf("version:        %s\n", VersionOf(plugin.LibraryPath()).c_str());
    std::printf("render:         %s\n", TextOf(info.name).c_str());
    std::printf("adapter:        %s\n", TextOf(info.description).c_str());
    const nlohmann::json machine = MachineContext();
    if (machine.contains("wine")) {
        const std::string renderer = machine.value("glRenderer", "an unknown OpenGL");
        const bool software = renderer.find("llvmpipe") != std::string::npos || renderer.find("softpipe") != std::string::npos;
        std::printf("                (the card Wine %s reports in its stead: Direct3D draws through OpenGL on %s%s)\n",
                    machine.value("wine", "").c_str(), renderer.c_str(),
                    software ? ", Mesa's renderer on the processor, no GPU" : "");
    }
    std::printf("vendor:         %s\n", TextOf(info.vendor).c_str());
    std::printf("driver version: %s\n", TextOf(info.driverVersion).c_str());
    std::printf("shader level:   %d (%s)\n", level, ShaderModel(level));
    std::printf("stereo:         available %s, enabled %s, ready %s\n", YesNo(info.stereoAvailable),
                YesNo(info.stereoEnabled), YesNo(info.stereoReady));
    plugin.Stop();
    return ExitDone;
}

int RunVersion()
{
    std::printf("veltra-host %s\n", HostVersion().c_str());
    try {
        const PluginHost plugin;
        std::printf("VeltraRenderDirectX.dll %s (%s)\n", VersionOf(plugin.LibraryPath()).c_str(),
                    plugin.LibraryPath().c_str());
    } catch (const HostFailure& failure) {
        std::printf("%s\n", failure.what());
    }
    return ExitDone;
}
