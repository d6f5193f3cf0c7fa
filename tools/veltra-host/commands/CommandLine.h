// The command line of veltra-host (Usage.cpp has the text that explains it):
//   veltra-host --help | -h | --version
//   veltra-host COMMAND [OPTIONS] [--help]
// with the commands info, render, display, validate, bench and soak, and bench-cpu,
// the benchmark's own child process.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct Options {
    std::string command;        // empty with --help or --version alone
    bool help = false;          // --help or -h: usage on standard output
    bool version = false;       // --version

    // Scenes: render and display take one, validate one or more.
    std::vector<std::string> scenes;
    std::string scenePath;      // the first of `scenes`; empty: the built-in scene
    int width = 0, height = 0;  // --size; 0: the scene's size
    int frames = 0;             // --frames; 0: the scene's
    int firstFrame = 0;         // --range FIRST-LAST, numbered from 1; 0: every frame
    int lastFrame = 0;
    std::optional<double> time; // --time: one frame at this effect time

    // render
    std::string output = "render.png";  // a file, or a pattern such as out-%04d.png
    bool overwrite = false;     // -y
    bool quiet = false;         // -q: no progress and no summary

    // display
    double seconds = 0;         // 0: not given

    // bench, soak
    std::string jsonPath;       // empty: bench.json or soak.json in the current folder
    int runs = 15;
    int draws = 2000;           // bench: draws a frame of the draw-heavy row
    std::string benchOnly;      // bench: one kind of row (frames, transfers, draws, cpu); empty: all
    long cycles = 10000;        // soak: create/use/destroy cycles per kind of object
    long lifecycles = 200;      // soak: Initialize/Shutdown cycles of the only render
    bool baseline = false;      // soak: the platform without the plug-in instead

    // bench-cpu
    int batches = 9;
    int iterations = 100000;
};

// Throws UsageError for anything it does not understand.
Options ParseCommandLine(const std::vector<std::string>& arguments);

// The overview of every command, or the full usage of one.
std::string UsageText();
std::string CommandUsage(const std::string& command);
