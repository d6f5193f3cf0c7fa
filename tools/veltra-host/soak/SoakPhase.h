// One phase of the soak: a cycle run many times, the process sampled after a warm-up,
// and what the phase must meet to pass:
//   - every cycle did what it should (a cycle reports what went wrong with Fail);
//   - private bytes grew between the first and the last sample by at most
//     GrowthTolerance, plus `allowance` bytes a cycle that the platform keeps by itself;
//   - the handles at the last sample are no more than at the first;
//     (neither growth is judged for a phase too short to warm up: TooFewCycles)
//   - with `references`, the device's references are back where they were.
#pragma once

#include "common/Progress.h"
#include "soak/ProcessFigures.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

// Heaps (ours, Wine's, Mesa's) settle in steps of pages and arenas, not by the cycle.
const uint64_t GrowthTolerance = 1u << 20;

// The warm-up before the first sample, in cycles; a phase of fewer than twice as many
// cycles warms up for half of them and has too few samples to tell growth apart.
const long FullWarmUp = 10;

struct SoakPhase {
    std::string name;
    long cycles = 0;
    uint64_t allowance = 0;
    std::function<unsigned long()> references;  // the device's references; empty: not checked

    struct Sample {
        long cycle;
        ProcessFigures figures;
    };
    std::vector<Sample> samples;
    double seconds = 0;
    long failures = 0;
    std::string firstFailure;
    unsigned long referencesBefore = 0, referencesAfter = 0;

    void Fail(long cycle, const std::string& what);
    int64_t Growth() const;
    uint64_t AllowedGrowth() const;
    int HandleGrowth() const;
    // Fewer cycles than a full warm-up and samples after it: the process has not
    // settled by the first sample, and growth says nothing.
    bool TooFewCycles() const;
    bool Passed() const;
    // What went wrong, in a line; empty when the phase passed.
    std::string Failures() const;
    nlohmann::json Json() const;
};

// Runs `cycle` `phase.cycles` times. After a warm-up of a tenth of the cycles (at least
// 10, at most half of them) it samples the process about 50 times, each time after
// `housekeeping`.
void RunPhase(SoakPhase& phase, const std::function<void(long cycle, SoakPhase&)>& cycle,
              const std::function<void()>& housekeeping, Progress& progress);
