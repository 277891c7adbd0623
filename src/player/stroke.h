// Strokes: turns the edges of one line style into filled outlines (a piece
// per edge plus the joins and caps) added to a rasterizer, to be swept with
// the non-zero rule. Widths are in canvas pixels; lines thinner than a pixel
// are drawn one pixel wide.
#pragma once

#include "player/raster.h"
#include "player/shape.h"

#include <vector>

void StrokeSegments(const std::vector<Segment>& segments, const SwfMatrix& toDevice, float width,
                    const LineStyle& style, Rasterizer* raster);
