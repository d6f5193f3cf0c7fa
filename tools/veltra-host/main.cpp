// veltra-host: the reference host of the VeltraRenderDirectX plug-in. It drives the
// plug-in only through IRender, as the editor does. See UsageText for the commands.
#include "Commands.h"
#include "HostErrors.h"
#include "HostPaths.h"

#include <VeltraRender/VeltraException.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <vector>

namespace {

std::vector<std::string> Arguments()
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i)
        arguments.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

int Run(const Options& options)
{
    if (options.command == "info")
        return RunInfo(options);
    if (options.command == "render")
        return RunRender(options);
    if (options.command == "display")
        return RunDisplay(options);
    if (options.command == "bench")
        return RunBench(options);
    return RunBenchCpu(options);
}

} // namespace

int main()
{
    try {
        return Run(ParseCommandLine(Arguments()));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "veltra-host: %s\n%s", error.what(), UsageText());
        return ExitBadInput;
    } catch (const SceneError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return ExitBadInput;
    } catch (const Veltra::VeltraException& error) {
        const unsigned code = error.code < 10 ? static_cast<unsigned>(error.code) : 5u;
        std::fprintf(stderr, "veltra-host: the plug-in threw %s (detail %d)\n",
                     Narrow(Veltra::g_errorMessages[code]).c_str(), error.detail);
        return ExitFailure;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "veltra-host: %s\n", error.what());
        return ExitFailure;
    }
}
