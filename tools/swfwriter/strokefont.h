// A small stroke font of our own for the demo movie and the tests: each
// letter is a few polylines on a 600 by 700 grid (y up from the baseline),
// turned into filled glyph outlines (a rectangle per stroke piece and a disc
// at each joint, all wound the same way so that they join when filled with
// the non-zero rule).
#pragma once

#include "swfwriter.h"

#include <string>
#include <vector>

struct StrokeFont {
    std::vector<ShapeBuilder> glyphs;
    std::vector<uint16_t> codes;
    std::vector<int> advances; // em units (1024)
};

// The letters of text that the font knows (A-Z, a-z, digits and space; others are skipped).
StrokeFont MakeStrokeFont(const std::string& letters, int strokeWidth = 80);
