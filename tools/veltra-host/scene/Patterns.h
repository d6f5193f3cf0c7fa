// Generated sources: a checkerboard, a two-colour gradient and colour bars, made at the
// size of the rectangle they fill so that their edges fall on whole pixels.
#pragma once

#include "scene/Image.h"

enum class PatternKind { Checker, Gradient, Bars };

struct PatternSpec {
    PatternKind kind = PatternKind::Checker;
    double cell = 40;              // checker: square size in scene pixels
    Colour first{0.85f, 0.85f, 0.85f, 1};   // checker and gradient
    Colour second{0.35f, 0.35f, 0.35f, 1};
    bool vertical = false;         // gradient: top to bottom instead of left to right
    float level = 0.75f;           // bars: the intensity of the colour bars
};

// `scale` turns scene pixels into output pixels (the checker's cell).
Image GeneratePattern(const PatternSpec& pattern, int width, int height, double scale);
