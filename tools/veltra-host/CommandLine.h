// The command line of veltra-host:
//   info
//   render  [SCENE.json] [-o OUT.png] [--size WxH] [--frames N]
//   display [SCENE.json] [--size WxH] [--seconds S] [--frames N]
//   bench   [--runs N] [--json OUT.json]
//   bench-cpu [--batches N] [--iterations N]   (the benchmark's child process)
#pragma once

#include <string>
#include <vector>

struct Options {
    std::string command;
    std::string scenePath;      // empty: the built-in scene
    std::string output = "render.png";
    int width = 0, height = 0;  // 0: the scene's size
    int frames = 0;             // 0: not given
    double seconds = 0;         // 0: not given
    int runs = 7;
    std::string jsonPath;       // empty: bench.json beside the program
    int batches = 9;
    int iterations = 100000;
};

// Throws UsageError for anything it does not understand.
Options ParseCommandLine(const std::vector<std::string>& arguments);

const char* UsageText();
