// Shape definitions: fill and line styles, the shape records of DefineShape
// 1 to 4, glyphs and morph shapes, and the conversion of records into paths
// ready for drawing.
//
// ParseShapeRecords reads styles and records; BuildShape turns records into a
// Shape whose fill paths hold, per fill style, every edge bordering it,
// oriented so that the style lies on one side (a closed outline per region
// whatever order the edges came in), and whose line paths hold, per line
// style, the edges drawn with it. Records and shapes own plain vectors only.
#pragma once

#include "player/swfrecords.h"

#include <cstdint>
#include <vector>

enum FillKind : uint8_t { FILL_SOLID, FILL_LINEAR, FILL_RADIAL, FILL_FOCAL, FILL_BITMAP };

enum : uint8_t { SPREAD_PAD = 0, SPREAD_REFLECT = 1, SPREAD_REPEAT = 2 };
enum : uint8_t { INTERPOLATE_RGB = 0, INTERPOLATE_LINEAR_RGB = 1 };
enum : uint8_t { CAP_ROUND = 0, CAP_NONE = 1, CAP_SQUARE = 2 };
enum : uint8_t { JOIN_ROUND = 0, JOIN_BEVEL = 1, JOIN_MITER = 2 };

struct GradientStop {
    uint8_t ratio = 0;
    SwfColor color;
};

struct FillStyle {
    FillKind kind = FILL_SOLID;
    SwfColor color;
    SwfMatrix matrix; // gradient square or bitmap pixels to shape twips
    std::vector<GradientStop> stops;
    uint8_t spread = SPREAD_PAD;
    uint8_t interpolation = INTERPOLATE_RGB;
    float focal = 0; // -1..1 along the gradient's x axis
    uint16_t bitmapId = 0;
    bool repeat = true;
    bool smooth = true;
};

struct LineStyle {
    float width = 20; // twips
    SwfColor color;
    uint8_t startCap = CAP_ROUND, endCap = CAP_ROUND, join = JOIN_ROUND;
    float miterLimit = 3;
    bool noHScale = false, noVScale = false, noClose = false;
    bool hasFill = false;
    FillStyle fill;
};

struct StyleGroup {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
};

enum : uint8_t { REC_STYLE, REC_LINE, REC_CURVE };
enum : uint8_t { STYLE_MOVE = 1, STYLE_FILL0 = 2, STYLE_FILL1 = 4, STYLE_LINE = 8, STYLE_NEW = 16 };

struct ShapeRecord {
    uint8_t kind = REC_STYLE;
    uint8_t flags = 0; // STYLE_ bits of a style record
    uint16_t fill0 = 0, fill1 = 0, line = 0;
    float x = 0, y = 0;   // move target, or line delta, or curve control delta
    float ax = 0, ay = 0; // curve anchor delta
};

struct ShapeRecords {
    std::vector<StyleGroup> groups; // groups[0] before the first STYLE_NEW record
    std::vector<ShapeRecord> records;
};

// One edge in twips; a curve is quadratic with control point (cx, cy).
struct Segment {
    float x0, y0, cx, cy, x1, y1;
    bool curve;
};

struct ShapeLayer {
    StyleGroup styles;
    std::vector<std::vector<Segment>> fillPaths; // per fill style
    std::vector<std::vector<Segment>> linePaths; // per line style, in drawing order
};

struct Shape {
    SwfRect bounds;
    bool nonZero = false; // fill rule of DefineShape4's flag; even-odd otherwise
    std::vector<ShapeLayer> layers;
};

// version 1 to 4 as in DefineShapeN; 0 reads a glyph (no style arrays, the
// given bit counts). Returns false when the data ran out or made no sense;
// out then holds what was read up to there.
bool ParseStyles(SwfReader& r, int version, StyleGroup* out);
bool ParseFillStyle(SwfReader& r, int version, FillStyle* out);
bool ParseShapeRecords(SwfReader& r, int version, ShapeRecords* out);
bool ParseGlyphRecords(SwfReader& r, ShapeRecords* out);

// Every fill index and line index that points at no style is ignored. A glyph
// (no style groups) gets one black solid fill for any nonzero fill index.
void BuildShape(const ShapeRecords& records, Shape* out);

// DefineShape 1 to 4 after the character id.
bool ParseDefineShape(SwfReader& r, int version, Shape* out);

// Morph shapes: styles in start/end pairs and two record lists of equal edge count.
struct MorphShape {
    SwfRect startBounds, endBounds;
    std::vector<FillStyle> startFills, endFills;
    std::vector<LineStyle> startLines, endLines;
    std::vector<ShapeRecord> startRecords, endRecords;
};
bool ParseDefineMorphShape(SwfReader& r, int version, MorphShape* out);
// The shape at ratio 0..65535.
void BuildMorphShape(const MorphShape& morph, uint16_t ratio, Shape* out);
