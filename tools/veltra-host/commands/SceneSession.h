// What the commands that draw a scene share: the scene from its file or the built-in
// one, the output size, the frames to make with the effects' time of each, and the
// frame plan built once the plug-in tells the shader level.
#pragma once

#include "commands/CommandLine.h"
#include "scene/FramePlan.h"
#include "scene/Scene.h"

#include <VeltraRender/IRender.h>

#include <optional>

Scene SceneFor(const Options& options);

struct OutputSize {
    int width, height;
};
OutputSize OutputSizeFor(const Scene& scene, const Options& options);

FramePlan PlanFor(const Scene& scene, OutputSize size, VeltraRender::IRender& render);

// The frames of an animation of `count` frames (--frames, or the scene's), of which
// `first` to `last` are made (--range), numbered from 1; or one frame at a set time.
struct FrameSchedule {
    int count = 1;
    int first = 1, last = 1;
    std::optional<double> time;  // --time, or the scene's time for a single frame

    int Frames() const { return last - first + 1; }
    // The effects' time of frame `number`: 0 on the first frame to 1 on the last.
    double TimeOf(int number) const;
};
// Throws UsageError when --range goes past the animation's last frame.
FrameSchedule ScheduleFor(const Scene& scene, const Options& options);

// The effects' time of frame `index` (from 0) of `count`: 0 to 1, or the scene's time
// for a single frame.
double FrameTime(int index, int count, const Scene& scene);
