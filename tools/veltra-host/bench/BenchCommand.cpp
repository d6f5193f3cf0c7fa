// `bench`: the rows of Bench.h measured in turn, printed as a table (Markdown, so that
// it can be pasted as it is) and written as JSON with every sample and a description of
// the machine.
#include "bench/Bench.h"
#include "commands/Commands.h"
#include "common/HostErrors.h"
#include "common/HostPaths.h"
#include "common/MachineContext.h"
#include "common/Statistics.h"
#include "common/Version.h"

#include <cstdio>
#include <fstream>

namespace {

struct RowKind {
    const char* name;  // as --only names it
    std::vector<BenchRow> (*measure)(const BenchSettings&);
};
// The table's rows, kind by kind, in order: a new kind of row is one more entry.
const RowKind RowKinds[] = {
    {"frames", MeasureFrames}, {"transfers", MeasureTransfers}, {"draws", MeasureDraws}, {"cpu", MeasureCpuCost}};

// Samples as the row shows them: times in its unit, or rates in MB/s.
std::vector<double> Shown(const BenchRow& row, const std::vector<double>& seconds)
{
    std::vector<double> values;
    for (const double sample : seconds)
        values.push_back(row.bytes > 0 ? row.bytes / 1e6 / sample : sample * row.scale);
    return values;
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Spread(const Statistics& statistics, const char* format)
{
    return Format(format, statistics.min) + " / " + Format(format, statistics.median) + " / " +
           Format(format, statistics.max);
}

std::string Figure(const BenchRow& row, const std::vector<double>& seconds)
{
    if (seconds.empty())
        return "";
    const Statistics shown = StatisticsOf(Shown(row, seconds));
    return row.bytes > 0 ? Spread(shown, "%.0f") + " MB/s" : Spread(shown, "%.2f") + " " + row.unit;
}

// Plug-in against plain, pair by pair: times (lower is better) or rates (higher is better).
std::vector<double> Ratios(const BenchRow& row)
{
    if (row.ratio == RatioKind::Time)
        return PairRatios(row.plugin, row.plain);
    if (row.ratio == RatioKind::Rate)
        return PairRatios(row.plain, row.plugin);
    return {};
}

std::string Goal(const BenchRow& row)
{
    if (row.goal <= 0)
        return "";
    const double median = StatisticsOf(Ratios(row)).median;
    const bool met = row.ratio == RatioKind::Time ? median <= row.goal : median >= row.goal;
    return (row.ratio == RatioKind::Time ? "time <= " : "rate >= ") + Format("%.2f", row.goal) +
           (met ? ": met" : ": missed");
}

nlohmann::json SamplesJson(const std::vector<double>& seconds)
{
    const Statistics statistics = StatisticsOf(seconds);
    return {{"seconds", seconds}, {"min", statistics.min}, {"median", statistics.median}, {"max", statistics.max}};
}

void PrintContext(const nlohmann::json& context)
{
    std::printf("veltra-host bench %s, %s: Wine %s on %s; %s, OpenGL %s; %s, %d logical processors\n",
                HostVersion().c_str(), context.value("date", "").c_str(), context.value("wine", "none").c_str(),
                context.value("hostSystem", context.value("windows", "Windows")).c_str(),
                context.value("glRenderer", "no OpenGL").c_str(), context.value("glVersion", "").c_str(),
                context.value("processor", "").c_str(), context.value("logicalProcessors", 0));
    if (context.contains("loadAverage"))
        std::printf("load averages (1, 5, 15 minutes): %s at the start, %s at the end\n",
                    context.value("loadAverage", "").c_str(), context.value("loadAverageAtEnd", "").c_str());
    std::printf("\n");
}

void PrintTable(const std::vector<BenchRow>& rows)
{
    std::printf("| figure | pairs | plug-in: min / median / max | plain Direct3D 9: min / median / max | "
                "plug-in / plain per pair: min / median / max | goal |\n");
    std::printf("| --- | --- | --- | --- | --- | --- |\n");
    for (const BenchRow& row : rows) {
        const std::vector<double> ratios = Ratios(row);
        std::printf("| %s | %zu | %s | %s | %s | %s |\n", row.label.c_str(), row.plugin.size(),
                    Figure(row, row.plugin).c_str(), Figure(row, row.plain).c_str(),
                    ratios.empty() ? "" : (Spread(StatisticsOf(ratios), "%.3f") +
                                           (row.ratio == RatioKind::Time ? " (time)" : " (rate)")).c_str(),
                    Goal(row).c_str());
    }
}

// The pairs alternate which goes first (Interleaved): the ratios of each order apart.
struct OrderedRatios {
    double pluginFirst, plainFirst;
};
OrderedRatios ByOrder(const std::vector<double>& ratios)
{
    std::vector<double> first, second;
    for (size_t i = 0; i < ratios.size(); ++i)
        (i % 2 == 0 ? first : second).push_back(ratios[i]);
    return {StatisticsOf(first).median, StatisticsOf(second).median};
}

void PrintOrders(const std::vector<BenchRow>& rows)
{
    std::printf("\nPlug-in / plain by which of a pair went first (medians):\n");
    for (const BenchRow& row : rows) {
        const std::vector<double> ratios = Ratios(row);
        if (ratios.size() < 2)
            continue;
        const OrderedRatios order = ByOrder(ratios);
        std::printf("  %s: %.3f with the plug-in first, %.3f with plain Direct3D 9 first\n", row.label.c_str(),
                    order.pluginFirst, order.plainFirst);
    }
}

// Where a frame's time goes, phase by phase, as the frame rows recorded it.
void PrintPhases(const std::vector<BenchRow>& rows)
{
    std::printf("\nPhases and checks; a frame's phases in ms (medians): upload / draws / read-back, which waits for the GPU:\n");
    for (const BenchRow& row : rows) {
        if (row.kind != "frame")
            continue;
        const auto phases = [](const nlohmann::json& p) {
            return Format("%.2f", p.value("uploadMilliseconds", 0.0)) + " / " +
                   Format("%.2f", p.value("drawMilliseconds", 0.0)) + " / " +
                   Format("%.2f", p.value("readBackMilliseconds", 0.0));
        };
        std::printf("  %s, %d passes: plug-in %s, plain %s; largest channel difference between the frames %d\n",
                    row.label.c_str(), row.details.value("passes", 0), phases(row.details["pluginPhases"]).c_str(),
                    phases(row.details["plainPhases"]).c_str(), row.details.value("largestChannelDifference", -1));
    }
    for (const BenchRow& row : rows) {
        if (row.kind == "draws" && row.details.contains("coveredPixels"))
            std::printf("  %s: %d pixels drawn; largest channel difference between the images %d\n", row.label.c_str(),
                        row.details.value("coveredPixels", 0), row.details.value("largestChannelDifference", -1));
    }
    for (const BenchRow& row : rows)
        if (row.details.contains("plainCreateTextureMilliseconds"))
            std::printf("  %s, medians in ms: plain Direct3D 9's whole upload %.2f, of which CreateTexture over the "
                        "host's pixels %.2f\n",
                        row.label.c_str(), 1e3 * StatisticsOf(row.plain).median,
                        row.details.value("plainCreateTextureMilliseconds", 0.0));
    for (const BenchRow& row : rows) {
        if (!row.details.contains("pluginLockAndCopyMilliseconds"))
            continue;
        const double plugin = 1e3 * StatisticsOf(row.plugin).median, plain = 1e3 * StatisticsOf(row.plain).median;
        const double pluginCopy = row.details.value("pluginLockAndCopyMilliseconds", 0.0);
        const double plainCopy = row.details.value("plainLockAndCopyMilliseconds", 0.0);
        std::printf("  %s, medians in ms (transfer / lock, copy and unlock): plug-in %.2f / %.2f, plain %.2f / %.2f\n",
                    row.label.c_str(), plugin - pluginCopy, pluginCopy, plain - plainCopy, plainCopy);
    }
    for (const BenchRow& row : rows)
        if (row.details.contains("checked"))
            std::printf("  %s: %s\n", row.label.c_str(), row.details.value("checked", "").c_str());
}

nlohmann::json AsJson(const std::vector<BenchRow>& rows, const nlohmann::json& context, int runs)
{
    nlohmann::json result = {{"context", context}, {"runs", runs}, {"rows", nlohmann::json::array()}};
    for (const BenchRow& row : rows) {
        nlohmann::json entry = {{"kind", row.kind}, {"label", row.label}, {"plugin", SamplesJson(row.plugin)},
                                {"details", row.details}};
        if (row.bytes > 0)
            entry["bytes"] = row.bytes;
        if (!row.plain.empty())
            entry["plain"] = SamplesJson(row.plain);
        const std::vector<double> ratios = Ratios(row);
        if (!ratios.empty()) {
            const Statistics statistics = StatisticsOf(ratios);
            const OrderedRatios order = ByOrder(ratios);
            entry["pluginToPlain"] = {{"of", row.ratio == RatioKind::Time ? "time" : "rate"},
                                      {"perPair", ratios},
                                      {"pluginFirstMedian", order.pluginFirst},
                                      {"plainFirstMedian", order.plainFirst},
                                      {"min", statistics.min},
                                      {"median", statistics.median},
                                      {"max", statistics.max},
                                      {"goal", row.goal}};
        }
        result["rows"].push_back(entry);
    }
    return result;
}

} // namespace

int RunBench(const Options& options)
{
    const std::string jsonPath = WritableJsonPath(options.jsonPath, "bench.json");

    nlohmann::json context = MachineContext();
    context["hostVersion"] = HostVersion();
    Progress progress(!options.quiet);
    const BenchSettings settings{options.runs, options.draws, &progress};
    std::vector<BenchRow> rows;
    for (const RowKind& kind : RowKinds) {
        if (!options.benchOnly.empty() && options.benchOnly != kind.name)
            continue;
        for (BenchRow& row : kind.measure(settings))
            rows.push_back(std::move(row));
    }
    progress.Clear();
    const nlohmann::json after = MachineContext();
    if (after.contains("loadAverage"))
        context["loadAverageAtEnd"] = after["loadAverage"];

    PrintContext(context);
    PrintTable(rows);
    PrintOrders(rows);
    PrintPhases(rows);
    std::ofstream file(Widen(jsonPath).c_str());
    file << AsJson(rows, context, options.runs).dump(1) << "\n";
    if (!file.flush())
        throw HostFailure("cannot write " + jsonPath);
    std::printf("\nsamples and context: %s\n", FullPath(jsonPath).c_str());
    return ExitDone;
}
