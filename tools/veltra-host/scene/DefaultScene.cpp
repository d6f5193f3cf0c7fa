#include "scene/DefaultScene.h"

#include "common/HostPaths.h"
#include "scene/SceneLoader.h"

namespace {

// Top row: the photo graded sepia by the colour matrix, darkened at its edges by the
// vignette, and wiping into colour bars (halfway on a single frame). Bottom: a
// gradient over a checkerboard, crossed by four colour bars, one per blend mode.
const char* const DefaultSceneJson = R"({
  "description": "The built-in scene of veltra-host",
  "size": [1280, 720],
  "background": [0.09, 0.1, 0.13, 1],
  "time": 0.5,
  "layers": [
    {"name": "graded photo", "image": "assets/images/harbour.png", "rect": [20, 20, 400, 225],
     "effect": {"name": "colour-matrix", "uniforms": {
        "colourMatrix": [0.393, 0.769, 0.189, 0,  0.349, 0.686, 0.168, 0,  0.272, 0.534, 0.131, 0,  0, 0, 0, 1]}}},
    {"name": "vignetted photo", "image": "assets/images/harbour.png", "rect": [440, 20, 400, 225],
     "effect": {"name": "vignette", "uniforms": {"strength": 0.9}}},
    {"name": "wipe into colour bars", "image": "assets/images/harbour.png", "rect": [860, 20, 400, 225],
     "effect": {"name": "wipe", "second": {"pattern": "bars"}, "uniforms": {"softness": 0.1}}},
    {"name": "gradient", "pattern": "gradient", "rect": [20, 265, 1240, 200]},
    {"name": "checker", "pattern": "checker", "cell": 25, "rect": [20, 465, 1240, 235]},
    {"name": "over", "colour": [0.95, 0.2, 0.15], "opacity": 0.6, "blend": "over", "rect": [60, 250, 260, 465]},
    {"name": "add", "colour": [0.1, 0.35, 0.65], "blend": "add", "rect": [360, 250, 260, 465]},
    {"name": "multiply", "colour": [1.0, 0.6, 0.1], "opacity": 0.85, "blend": "multiply", "rect": [660, 250, 260, 465]},
    {"name": "screen", "colour": [0.15, 0.4, 0.95], "blend": "screen", "rect": [960, 250, 260, 465]}
  ]
})";

} // namespace

Scene DefaultScene()
{
    return ParseScene(DefaultSceneJson, "default scene", ProgramFolder());
}
