// The small records shared by every SWF structure: rectangles, matrices,
// colour transforms and colours, their parsing from a SwfReader and the
// arithmetic the display list needs (composition, inversion, application).
// Coordinates are in twips (1/20 pixel) until a matrix maps them elsewhere.
#pragma once

#include "player/swfreader.h"

#include <cstdint>

struct SwfRect {
    int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool Empty() const { return xMax <= xMin || yMax <= yMin; }
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty (a, d scale; b, c rotate and skew).
struct SwfMatrix {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    // The matrix that applies inner first, then this.
    SwfMatrix operator*(const SwfMatrix& inner) const;
    double X(double x, double y) const { return a * x + c * y + tx; }
    double Y(double x, double y) const { return b * x + d * y + ty; }
    // False (and the identity) when the matrix cannot be inverted.
    bool Invert(SwfMatrix* out) const;
    bool operator==(const SwfMatrix& o) const {
        return a == o.a && b == o.b && c == o.c && d == o.d && tx == o.tx && ty == o.ty;
    }
    bool operator!=(const SwfMatrix& o) const { return !(*this == o); }
    static SwfMatrix Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static SwfMatrix Scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
};

// Straight (not premultiplied) colour.
struct SwfColor {
    uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const SwfColor& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};

// c' = clamp(c * mul + add) per channel, mul 1.0 for the identity, add in 0..255 units.
struct SwfColorTransform {
    float mulR = 1, mulG = 1, mulB = 1, mulA = 1;
    float addR = 0, addG = 0, addB = 0, addA = 0;

    // The transform that applies inner first, then this.
    SwfColorTransform operator*(const SwfColorTransform& inner) const;
    SwfColor Apply(SwfColor c) const;
    bool IsIdentity() const {
        return mulR == 1 && mulG == 1 && mulB == 1 && mulA == 1 && addR == 0 && addG == 0 && addB == 0 && addA == 0;
    }
    bool operator==(const SwfColorTransform& o) const;
    bool operator!=(const SwfColorTransform& o) const { return !(*this == o); }
};

// Blend modes of PlaceObject3.
enum : uint8_t {
    BLEND_NORMAL = 1,
    BLEND_LAYER = 2,
    BLEND_MULTIPLY = 3,
    BLEND_SCREEN = 4,
    BLEND_LIGHTEN = 5,
    BLEND_DARKEN = 6,
    BLEND_DIFFERENCE = 7,
    BLEND_ADD = 8,
    BLEND_SUBTRACT = 9,
    BLEND_INVERT = 10,
    BLEND_ALPHA = 11,
    BLEND_ERASE = 12,
    BLEND_OVERLAY = 13,
    BLEND_HARDLIGHT = 14,
};

SwfRect ReadRect(SwfReader& r);
SwfMatrix ReadMatrix(SwfReader& r);
SwfColorTransform ReadColorTransform(SwfReader& r, bool withAlpha);
SwfColor ReadRgb(SwfReader& r);
SwfColor ReadRgba(SwfReader& r);
