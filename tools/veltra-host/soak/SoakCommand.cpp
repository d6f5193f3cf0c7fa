// `soak`: the phases of SoakObjects.h through the plug-in (or, with --baseline, the
// platform alone), a table of what the process's memory and handles did, and the same
// with every sample as JSON. Exit 1 when a phase did not pass.
#include "commands/Commands.h"
#include "common/ErrorReport.h"
#include "common/HostErrors.h"
#include "common/HostPaths.h"
#include "common/MachineContext.h"
#include "common/Version.h"
#include "plugin/PluginHost.h"
#include "soak/PluginErrors.h"
#include "soak/SoakObjects.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace {

double Mebibytes(uint64_t bytes)
{
    return static_cast<double>(bytes) / 1048576.0;
}

void PrintPhases(const std::vector<SoakPhase>& phases, bool baseline)
{
    std::printf("| phase | cycles | time | private MiB: first / last / largest sample | growth | %s | handles: first / "
                "last | device references | result |\n",
                baseline ? "bytes a cycle" : "allowed");
    std::printf("| --- | --- | --- | --- | --- | --- | --- | --- | --- |\n");
    for (const SoakPhase& phase : phases) {
        if (phase.samples.empty())
            continue;
        uint64_t largest = 0;
        for (const SoakPhase::Sample& sample : phase.samples)
            largest = std::max(largest, sample.figures.privateBytes);
        const long sampled = phase.samples.back().cycle - phase.samples.front().cycle;
        char limit[64];
        if (baseline)
            std::snprintf(limit, sizeof limit, "%.0f", sampled ? double(phase.Growth()) / sampled : 0.0);
        else
            std::snprintf(limit, sizeof limit, "%.2f MiB", Mebibytes(phase.AllowedGrowth()));
        const std::string references =
            phase.references ? std::to_string(phase.referencesBefore) + " / " + std::to_string(phase.referencesAfter) : "";
        std::printf("| %s | %s | %.1f s | %.2f / %.2f / %.2f | %+.2f MiB | %s | %u / %u | %s | %s |\n", phase.name.c_str(),
                    Grouped(phase.cycles).c_str(), phase.seconds, Mebibytes(phase.samples.front().figures.privateBytes),
                    Mebibytes(phase.samples.back().figures.privateBytes), Mebibytes(largest),
                    phase.Growth() / 1048576.0, limit, phase.samples.front().figures.handles,
                    phase.samples.back().figures.handles, references.c_str(),
                    baseline ? (phase.failures ? "failed cycles" : "measured")
                    : !phase.Passed()     ? "FAILED"
                    : phase.TooFewCycles() ? "passed, growth not judged"
                                           : "passed");
    }
}

} // namespace

int RunSoak(const Options& options)
{
    const std::string jsonPath = WritableJsonPath(options.jsonPath, "soak.json");
    std::printf("soak%s: %s %s, %s life cycles%s; samples after a warm-up of a tenth\n",
                options.baseline ? " --baseline (the platform without the plug-in)" : "", Grouped(options.cycles).c_str(),
                options.baseline ? "assemblies" : "cycles of each kind of object", Grouped(options.lifecycles).c_str(),
                options.baseline ? " of the device" : " of the only render");
    if (!options.baseline)
        std::printf("bounds: private bytes grow at most %.0f MiB between the first and the last sample (shaders: plus "
                    "512 bytes a cycle), handles not at all\n",
                    Mebibytes(GrowthTolerance));
    std::fflush(stdout);

    Progress progress(!options.quiet);
    std::vector<SoakPhase> phases;
    std::unique_ptr<PluginErrors> errors;
    if (options.baseline) {
        phases = SoakPlatform(options.cycles, options.lifecycles, progress);
    } else {
        errors = std::make_unique<PluginErrors>();
        PluginHost plugin;
        phases = SoakObjects(plugin, options.cycles, progress);
        if (options.lifecycles > 0)
            phases.push_back(SoakLifecycles(plugin, options.lifecycles, progress));
    }
    progress.Clear();
    PrintPhases(phases, options.baseline);
    for (const SoakPhase& phase : phases)
        if (phase.TooFewCycles())
            std::printf("note: %s: %ld cycles are too few for the growth check, which needs at least %ld (a warm-up "
                        "of %ld, then samples); its %zu samples were not judged\n",
                        phase.name.c_str(), phase.cycles, 2 * FullWarmUp, FullWarmUp, phase.samples.size());

    bool passed = true;
    nlohmann::json result = {{"context", MachineContext()},
                             {"hostVersion", HostVersion()},
                             {"baseline", options.baseline},
                             {"cycles", options.cycles},
                             {"lifecycles", options.lifecycles},
                             {"privateBytesTolerance", GrowthTolerance},
                             {"phases", nlohmann::json::array()}};
    for (const SoakPhase& phase : phases) {
        result["phases"].push_back(phase.Json());
        if (!options.baseline && !phase.Passed()) {
            std::printf("FAILED %s: %s\n", phase.name.c_str(), phase.Failures().c_str());
            passed = false;
        }
    }
    if (errors) {
        result["pluginErrors"] = errors->Count();
        if (errors->Count()) {
            std::printf("FAILED: the plug-in logged %zu errors, the first: %s\n", errors->Count(), errors->First().c_str());
            passed = false;
        }
    }
    result["passed"] = passed;
    std::ofstream file(Widen(jsonPath).c_str());
    file << result.dump(1) << "\n";
    if (!file.flush())
        throw HostFailure("cannot write " + jsonPath);
    std::printf("%s; figures and samples: %s\n", options.baseline ? "measured" : passed ? "passed" : "FAILED",
                FullPath(jsonPath).c_str());
    return passed ? ExitDone : ExitFailure;
}
