// Reads a scene from JSON (the format is described in SCENES.md). Every mistake ends
// in a SceneError whose message names the file and the place: "scene.json:
// layers[2].blend: unknown blend mode "burn" ...".
#pragma once

#include "scene/Scene.h"

#include <string>

Scene LoadSceneFile(const std::string& path);

// `name` labels messages; relative paths in the scene are resolved against `folder`.
Scene ParseScene(const std::string& text, const std::string& name, const std::string& folder);
