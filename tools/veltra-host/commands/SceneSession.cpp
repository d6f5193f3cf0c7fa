#include "commands/SceneSession.h"

#include "common/HostErrors.h"
#include "scene/CgCompiler.h"
#include "scene/DefaultScene.h"
#include "scene/SceneLoader.h"

Scene SceneFor(const Options& options)
{
    return options.scenePath.empty() ? DefaultScene() : LoadSceneFile(options.scenePath);
}

OutputSize OutputSizeFor(const Scene& scene, const Options& options)
{
    return options.width ? OutputSize{options.width, options.height} : OutputSize{scene.width, scene.height};
}

FramePlan PlanFor(const Scene& scene, OutputSize size, VeltraRender::IRender& render)
{
    return BuildFramePlan(scene, size.width, size.height, std::make_shared<CgCompiler>(render.GetShaderLevel()));
}

double FrameSchedule::TimeOf(int number) const
{
    if (time)
        return *time;
    return count > 1 ? static_cast<double>(number - 1) / (count - 1) : 0.0;
}

FrameSchedule ScheduleFor(const Scene& scene, const Options& options)
{
    FrameSchedule schedule;
    if (options.time) {
        schedule.time = options.time;
        return schedule;
    }
    schedule.count = options.frames ? options.frames : scene.frames;
    if (schedule.count == 1)
        schedule.time = scene.time;
    schedule.first = options.firstFrame ? options.firstFrame : 1;
    schedule.last = options.firstFrame ? options.lastFrame : schedule.count;
    if (schedule.last > schedule.count)
        throw UsageError("--range " + std::to_string(schedule.first) + "-" + std::to_string(schedule.last) +
                         " goes past the last of the animation's " + std::to_string(schedule.count) +
                         (schedule.count == 1 ? " frame" : " frames") + " (--frames sets how many there are)");
    return schedule;
}

double FrameTime(int index, int count, const Scene& scene)
{
    return count > 1 ? static_cast<double>(index) / (count - 1) : scene.time;
}
