// `bench`: frame times of the built-in scene through the plug-in and as plain
// Direct3D 9 at two sizes, transfer rates, and the plug-in's CPU cost per draw; a
// table on standard output and the same numbers as JSON.
#include "Bench.h"
#include "Commands.h"
#include "DefaultScene.h"
#include "HostErrors.h"
#include "HostPaths.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace {

const int FrameSizes[][2] = {{1920, 1080}, {3840, 2160}};

double Megabytes(const TransferRates& rates)
{
    return rates.width * rates.height * 4 / 1e6;
}

void PrintTable(const std::vector<FrameTimes>& frames, const TransferRates& rates, const CpuCost& cost, int runs)
{
    std::printf("veltra-host bench: medians of %d runs (CPU cost: of %d batches of %d draws)\n\n", runs, cost.batches,
                cost.iterations);
    std::printf("Frame of the built-in scene (upload, %d passes, read back)\n", frames.empty() ? 0 : frames[0].passes);
    std::printf("  %-12s %12s %14s %15s %16s\n", "size", "plug-in", "plain D3D9", "plug-in/plain", "largest diff.");
    for (const FrameTimes& f : frames)
        std::printf("  %4d x %-5d %9.2f ms %11.2f ms %15.3f %16d\n", f.width, f.height, 1e3 * f.pluginSeconds,
                    1e3 * f.plainSeconds, f.pluginSeconds / f.plainSeconds, f.largestDifference);
    const double megabytes = Megabytes(rates);
    std::printf("\nTransfers of %d x %d A8R8G8B8 (%.1f MB)\n", rates.width, rates.height, megabytes);
    const char* const rate = "  %-52s %8.1f MB/s %7.2f ms\n";
    std::printf(rate, "upload (SetResourceData)", megabytes / rates.uploadSeconds, 1e3 * rates.uploadSeconds);
    std::printf(rate, "read-back (TransferResource + LockResource + copy)", megabytes / rates.readBackSeconds,
                1e3 * rates.readBackSeconds);
    std::printf(rate, "memcpy of the same bytes", megabytes / rates.memcpySeconds, 1e3 * rates.memcpySeconds);
    std::printf("\nPlug-in CPU cost on a do-nothing Direct3D (%s)\n", cost.adapter.c_str());
    std::printf("  %-52s %8.0f ns per draw\n", "SelectResource x2 + Draw + DeSelectResource x2", cost.nanosecondsPerDraw);
}

nlohmann::json AsJson(const std::vector<FrameTimes>& frames, const TransferRates& rates, const CpuCost& cost, int runs)
{
    nlohmann::json result;
    result["runs"] = runs;
    for (const FrameTimes& f : frames)
        result["frames"].push_back({{"width", f.width},
                                    {"height", f.height},
                                    {"passes", f.passes},
                                    {"pluginMilliseconds", 1e3 * f.pluginSeconds},
                                    {"plainMilliseconds", 1e3 * f.plainSeconds},
                                    {"pluginToPlain", f.pluginSeconds / f.plainSeconds},
                                    {"largestChannelDifference", f.largestDifference}});
    const double megabytes = Megabytes(rates);
    result["transfers"] = {{"width", rates.width},
                           {"height", rates.height},
                           {"megabytes", megabytes},
                           {"uploadMBps", megabytes / rates.uploadSeconds},
                           {"readBackMBps", megabytes / rates.readBackSeconds},
                           {"memcpyMBps", megabytes / rates.memcpySeconds}};
    result["cpuCost"] = {{"nanosecondsPerDraw", cost.nanosecondsPerDraw},
                         {"batches", cost.batches},
                         {"iterations", cost.iterations},
                         {"adapter", cost.adapter}};
    return result;
}

} // namespace

int RunBench(const Options& options)
{
    const std::string jsonPath = options.jsonPath.empty() ? ProgramFolder() + "bench.json" : options.jsonPath;
    const Scene scene = DefaultScene();
    std::vector<FrameTimes> frames;
    for (const auto& size : FrameSizes)
        frames.push_back(MeasureFrames(scene, size[0], size[1], options.runs));
    const TransferRates rates = MeasureTransfers(std::max(3, options.runs));
    const CpuCost cost = MeasureCpuCost();

    PrintTable(frames, rates, cost, options.runs);
    std::ofstream file(Widen(jsonPath).c_str());
    file << AsJson(frames, rates, cost, options.runs).dump(2) << "\n";
    if (!file)
        throw HostFailure("cannot write " + jsonPath);
    std::printf("\nwritten: %s\n", jsonPath.c_str());
    return ExitDone;
}
