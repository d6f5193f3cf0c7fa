// What `render` and `display` share: the scene from its file or the built-in one, the
// output size, and the frame plan built once the plug-in tells the shader level.
#pragma once

#include "CommandLine.h"
#include "FramePlan.h"
#include "Scene.h"

#include <VeltraRender/IRender.h>

Scene SceneFor(const Options& options);

struct OutputSize {
    int width, height;
};
OutputSize OutputSizeFor(const Scene& scene, const Options& options);

FramePlan PlanFor(const Scene& scene, OutputSize size, VeltraRender::IRender& render);

// The effects' time of frame `index` of `count`: 0 to 1, or the scene's time for a single frame.
double FrameTime(int index, int count, const Scene& scene);
