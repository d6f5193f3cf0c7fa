#include "soak/SoakPhase.h"

#include "common/Timing.h"

#include <algorithm>

void SoakPhase::Fail(long cycle, const std::string& what)
{
    if (failures++ == 0)
        firstFailure = "cycle " + std::to_string(cycle) + ": " + what;
}

int64_t SoakPhase::Growth() const
{
    return samples.empty() ? 0
                           : static_cast<int64_t>(samples.back().figures.privateBytes) -
                                 static_cast<int64_t>(samples.front().figures.privateBytes);
}

uint64_t SoakPhase::AllowedGrowth() const
{
    const long sampled = samples.empty() ? 0 : samples.back().cycle - samples.front().cycle;
    return GrowthTolerance + allowance * static_cast<uint64_t>(sampled);
}

int SoakPhase::HandleGrowth() const
{
    return samples.empty() ? 0
                           : static_cast<int>(samples.back().figures.handles) -
                                 static_cast<int>(samples.front().figures.handles);
}

bool SoakPhase::TooFewCycles() const
{
    return cycles > 0 && cycles < 2 * FullWarmUp;
}

bool SoakPhase::Passed() const
{
    return Failures().empty();
}

std::string SoakPhase::Failures() const
{
    std::string text;
    if (failures)
        text += std::to_string(failures) + " failed cycles, the first " + firstFailure + "; ";
    if (!TooFewCycles() && Growth() > static_cast<int64_t>(AllowedGrowth()))
        text += "private bytes grew by " + std::to_string(Growth()) + ", more than the " +
                std::to_string(AllowedGrowth()) + " allowed; ";
    if (!TooFewCycles() && HandleGrowth() > 0)
        text += "handles grew by " + std::to_string(HandleGrowth()) + "; ";
    if (references && referencesBefore != referencesAfter)
        text += "the device's references went from " + std::to_string(referencesBefore) + " to " +
                std::to_string(referencesAfter) + ": Direct3D objects outlived the host's references; ";
    return text;
}

nlohmann::json SoakPhase::Json() const
{
    nlohmann::json series = nlohmann::json::array();
    for (const Sample& sample : samples)
        series.push_back({sample.cycle, sample.figures.privateBytes, sample.figures.handles});
    nlohmann::json result = {{"name", name},
                             {"cycles", cycles},
                             {"seconds", seconds},
                             {"privateBytesGrowth", Growth()},
                             {"privateBytesAllowed", AllowedGrowth()},
                             {"handleGrowth", HandleGrowth()},
                             {"failedCycles", failures},
                             {"passed", Passed()},
                             {"growthJudged", !TooFewCycles()},
                             {"samples", {{"columns", {"cycle", "privateBytes", "handles"}}, {"rows", series}}}};
    if (!firstFailure.empty())
        result["firstFailure"] = firstFailure;
    if (references)
        result["deviceReferences"] = {referencesBefore, referencesAfter};
    return result;
}

void RunPhase(SoakPhase& phase, const std::function<void(long, SoakPhase&)>& cycle,
              const std::function<void()>& housekeeping, Progress& progress)
{
    if (phase.cycles <= 0)
        return;
    const long warmUp = std::min(std::max(FullWarmUp, phase.cycles / 10), std::max(1L, phase.cycles / 2));
    const long interval = std::max(1L, (phase.cycles - warmUp) / 50);
    const double start = Now();
    for (long c = 0; c < phase.cycles; ++c) {
        progress.Show("soak: " + phase.name + ", cycle " + std::to_string(c + 1) + " of " +
                      std::to_string(phase.cycles));
        cycle(c, phase);
        const long done = c + 1;
        if (done < warmUp || ((done - warmUp) % interval != 0 && done != phase.cycles))
            continue;
        if (housekeeping)
            housekeeping();
        // Counted from the first sample: the warm-up's first draws leave the device the
        // vertex declarations of their stream layouts, which it keeps for its life.
        if (phase.references && phase.samples.empty())
            phase.referencesBefore = phase.references();
        phase.samples.push_back({done, MeasureProcess()});
    }
    phase.seconds = Now() - start;
}
