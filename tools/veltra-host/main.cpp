// veltra-host: the reference host of the VeltraRenderDirectX plug-in. It drives the
// plug-in only through IRender, as the editor does. commands/Usage.cpp explains the commands.
#include "commands/Commands.h"
#include "common/ErrorReport.h"
#include "common/HostErrors.h"
#include "common/HostPaths.h"

#include <VeltraRender/VeltraException.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <exception>
#include <new>
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
    if (options.help) {
        std::fputs(options.command.empty() ? UsageText().c_str() : CommandUsage(options.command).c_str(), stdout);
        return ExitDone;
    }
    if (options.version)
        return RunVersion();
    if (options.command == "info")
        return RunInfo(options);
    if (options.command == "render")
        return RunRender(options);
    if (options.command == "display")
        return RunDisplay(options);
    if (options.command == "validate")
        return RunValidate(options);
    if (options.command == "bench")
        return RunBench(options);
    if (options.command == "soak")
        return RunSoak(options);
    return RunBenchCpu(options);
}

} // namespace

int main()
{
    try {
        return Run(ParseCommandLine(Arguments()));
    } catch (const UsageError& error) {
        std::fprintf(stderr, "veltra-host: %s\n", error.what());
        if (error.pointToUsage)
            std::fprintf(stderr, "veltra-host: \"veltra-host %s--help\" shows the options\n",
                         error.command.empty() ? "" : (error.command + " ").c_str());
        return ExitBadInput;
    } catch (const SceneError& error) {
        ReportError("veltra-host: " + std::string(error.what()));
        return ExitBadInput;
    } catch (const Veltra::VeltraException& error) {
        const unsigned code = error.code < 10 ? static_cast<unsigned>(error.code) : 5u;
        std::fprintf(stderr, "veltra-host: the plug-in threw %s (detail %d)\n",
                     Narrow(Veltra::g_errorMessages[code]).c_str(), error.detail);
        return ExitFailure;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "veltra-host: out of memory\n");
        return ExitFailure;
    } catch (const std::exception& error) {
        ReportError("veltra-host: " + std::string(error.what()));
        return ExitFailure;
    }
}
