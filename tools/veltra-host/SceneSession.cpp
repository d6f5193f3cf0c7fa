#include "SceneSession.h"

#include "CgCompiler.h"
#include "DefaultScene.h"
#include "SceneLoader.h"

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

double FrameTime(int index, int count, const Scene& scene)
{
    return count > 1 ? static_cast<double>(index) / (count - 1) : scene.time;
}
