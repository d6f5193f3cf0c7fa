// The built-in scene: every feature of the host on one frame. Its image is the one
// shipped in assets/images/ beside the program.
#pragma once

#include "scene/Scene.h"

Scene DefaultScene();
