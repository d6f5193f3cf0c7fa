// The measurements of `bench`. Every figure is a row: samples through the plug-in and,
// where there is one, its floor, the same work as plain Direct3D 9 calls on the
// benchmark's own device, taken in interleaved pairs (which goes first alternates), so
// that each pair shares the machine's state of the moment and the ratio is taken per
// pair. A kind of row is a function in a file of its own (BenchFrames.cpp,
// BenchTransfers.cpp, BenchDraws.cpp, BenchCpuCost.cpp); BenchCommand.cpp lists them;
// the plain baselines are in plain/. The numbers are for people to read; the pixels
// each side produced are checked, and wrong ones end the benchmark with exit 1.
#pragma once

#include "common/Progress.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// How the plug-in's samples compare with the floor's.
enum class RatioKind {
    None,  // no floor: a reference figure
    Time,  // plug-in time / plain time per pair: lower is better
    Rate,  // plain time / plug-in time per pair (the plug-in's rate over the plain rate): higher is better
};

struct BenchRow {
    std::string kind;              // "frame", "upload", "read-back", "memcpy", "cpu-cost"
    std::string label;             // as the table shows it, e.g. "frame 1920 x 1080"
    RatioKind ratio = RatioKind::None;
    double goal = 0;               // the ratio to meet (at most for Time, at least for Rate); 0: none
    double bytes = 0;              // bytes moved by one sample: shown as MB/s when set
    double scale = 1e3;            // seconds to the unit shown (1e3: ms, 1e9: ns)
    std::string unit = "ms";
    std::vector<double> plugin;    // seconds per sample
    std::vector<double> plain;     // the floor's samples, paired with the plug-in's
    nlohmann::json details;        // anything else worth keeping, in the JSON
};

struct BenchSettings {
    int runs = 15;
    int draws = 2000;  // draws a frame of the draw-heavy row
    Progress* progress = nullptr;
};

// Calls `sample(pluginFirst)` `runs` times, with `pluginFirst` alternating: which of a
// pair goes first. Warm-ups (first use of shaders, textures, caches) come before.
template <class Sample> void Interleaved(const BenchSettings& settings, const std::string& label, Sample sample)
{
    for (int run = 0; run < settings.runs; ++run) {
        if (settings.progress)
            settings.progress->Show("bench: " + label + ", pair " + std::to_string(run + 1) + " of " +
                                    std::to_string(settings.runs));
        sample(run % 2 == 0);
    }
}

// A frame of the built-in scene (upload the live sources, draw every pass, read the
// frame back) at 1920 x 1080 and 3840 x 2160: PluginCompositor against PlainCompositor.
std::vector<BenchRow> MeasureFrames(const BenchSettings& settings);

// A 1920 x 1080 A8R8G8B8 image up through SetResourceData (until a draw that samples
// it has finished) and a frame just drawn back through TransferResource + LockResource,
// against the same work as plain 9Ex calls, both sides' pixels checked after every
// pair; memcpy of the same bytes and an upload through a kept texture beside them.
std::vector<BenchRow> MeasureTransfers(const BenchSettings& settings);

// Frames of `draws` 2 x 2 quads, each selected, drawn and deselected as a host does,
// against plain Direct3D 9 with its declaration made once: time a draw; every frame's
// pixels checked after every pair.
std::vector<BenchRow> MeasureDraws(const BenchSettings& settings);

// The plug-in's own CPU time per SelectResource (vertex and index buffer) + Draw +
// DeSelectResource, in a child process whose Direct3D does nothing.
std::vector<BenchRow> MeasureCpuCost(const BenchSettings& settings);
