// A scene as the host composites it: an output size, a background colour and layers
// drawn in order. Each layer has a source (an image file, a colour or a generated
// pattern) placed in a rectangle, a blend mode, an opacity and an optional effect.
// `where` fields name the place in the scene file, for messages.
#pragma once

#include "scene/Image.h"
#include "scene/Patterns.h"

#include <optional>
#include <string>
#include <vector>

enum class SourceKind { Image, Colour, Pattern };

struct Source {
    SourceKind kind = SourceKind::Colour;
    std::string path;        // image: resolved against the scene's folder
    Colour colour;
    PatternSpec pattern;
    std::string where;       // e.g. "layers[0].image"
};

struct Uniform {
    std::string name;
    std::vector<float> values;  // 1 to 4 values, or 16 for a float4x4
    std::string where;
};

struct Effect {
    std::string name;        // a built-in effect, or empty for a file of the scene's
    std::string path;        // the Cg pixel program, resolved
    std::vector<Uniform> uniforms;
    std::optional<Source> second;
    std::string where;       // e.g. "layers[2].effect.file"
};

// Replace writes the layer as it is: the background, drawn first.
enum class BlendMode { Replace, Over, Add, Multiply, Screen };

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
};

struct Layer {
    Source source;
    std::optional<Rect> rect;  // scene pixels; the whole frame when absent
    BlendMode blend = BlendMode::Over;
    float opacity = 1.0f;
    std::optional<Effect> effect;
    std::string where;         // "layers[N]"
};

struct Scene {
    std::string name;          // the file as given, or "default scene"
    int width = 1280;
    int height = 720;
    Colour background{0, 0, 0, 1};
    int frames = 1;            // frames `render` writes unless told otherwise
    double time = 0.5;         // the effects' time when a single frame is made
    std::vector<Layer> layers;
};
