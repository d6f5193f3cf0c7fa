// The measurements of `bench`. Each runs the same work several times and keeps the
// median; none of them is a test: the numbers are for people to read.
#pragma once

#include "Scene.h"

#include <string>

// One frame of a scene (upload the live sources, draw every pass, read the frame
// back), through the plug-in and as plain Direct3D 9 calls, alternating.
struct FrameTimes {
    int width = 0, height = 0;
    int passes = 0;
    double pluginSeconds = 0;
    double plainSeconds = 0;
    int largestDifference = 0;  // between the two frames, per channel
};
FrameTimes MeasureFrames(const Scene& scene, int width, int height, int runs);

// 1920 x 1080 A8R8G8B8 through the plug-in: SetResourceData, and TransferResource +
// LockResource + copy out; memcpy of the same bytes beside them.
struct TransferRates {
    int width = 1920, height = 1080;
    double uploadSeconds = 0;
    double readBackSeconds = 0;
    double memcpySeconds = 0;
};
TransferRates MeasureTransfers(int runs);

// The plug-in's own CPU time per SelectResource (vertex and index buffer) + Draw +
// DeSelectResource, measured in a child process whose Direct3D does nothing.
struct CpuCost {
    double nanosecondsPerDraw = 0;
    int batches = 0;
    int iterations = 0;
    std::string adapter;
};
CpuCost MeasureCpuCost();
