// Filters of PlaceObject3 that the renderer applies: blur, drop shadow,
// glow and colour matrix (others are read past and ignored). ParseFilters
// reads a filter list; ApplyFilters works on a layer the object was drawn
// into, inside box, with blur sizes scaled by scale (canvas pixels per stage
// pixel). The layer's pixels outside box are left alone; shadows take a
// plane of box's size for their own while they are made.
#pragma once

#include "player/paint.h"
#include "player/swfreader.h"

#include <vector>

enum : uint8_t { FILTER_DROP_SHADOW = 0, FILTER_BLUR = 1, FILTER_GLOW = 2, FILTER_COLOR_MATRIX = 6 };

struct Filter {
    uint8_t type = FILTER_BLUR;
    SwfColor color;
    float blurX = 0, blurY = 0; // stage pixels
    float angle = 0, distance = 0;
    float strength = 1;
    bool inner = false, knockout = false, hideObject = false;
    int passes = 1;
    float matrix[20] = {};
};

// False when the list does not fit its bytes; filters read up to there are kept.
bool ParseFilters(SwfReader& r, std::vector<Filter>* out);
// How far filters reach beyond what was drawn, in canvas pixels.
int FilterReach(const std::vector<Filter>& filters, float scale);
void ApplyFilters(const std::vector<Filter>& filters, const Canvas& layer, const ClipBox& box, float scale);
