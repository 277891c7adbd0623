// SwfWriter: writes SWF movies from code, for the demo movie and for test
// fixtures. It covers what those need: shapes with solid, gradient and
// bitmap fills and lines, lossless bitmaps, sprites, fonts made of glyph
// shapes with static text, morph shapes, and the display-list tags.
//
// Call order: define characters and add timeline tags (each Define returns
// the new character id; ids count up from 1), then Finish, which returns the
// whole file. A SpriteWriter collects a sprite's own timeline and is turned
// into a DefineSprite with DefineSprite. Nothing here can fail; values that
// do not fit their fields are clamped.
#pragma once

#include "player/shape.h"
#include "player/swffile.h"
#include "player/swfrecords.h"

#include <cstdint>
#include <string>
#include <vector>

class SwfBits {
public:
    void U8(uint32_t v) { Align(), bytes.push_back(static_cast<uint8_t>(v)); }
    void U16(uint32_t v);
    void U32(uint32_t v);
    void UB(uint32_t v, int n);
    void SB(int32_t v, int n);
    void Align();
    void Bytes(const std::vector<uint8_t>& b);
    void String(const std::string& s);
    void Rect(const SwfRect& r);
    void Matrix(const SwfMatrix& m);
    void ColorTransform(const SwfColorTransform& c, bool alpha);
    void Rgb(SwfColor c);
    void Rgba(SwfColor c);
    std::vector<uint8_t> bytes;

private:
    uint32_t acc_ = 0;
    int used_ = 0;
};

// Bits needed for a signed value (at least 1).
int SignedBits(int32_t v);

// Builds shape records: styles first, then pen moves and edges in twips.
class ShapeBuilder {
public:
    int AddSolidFill(SwfColor c);                                        // returns the 1-based index
    int AddGradientFill(FillKind kind, const SwfMatrix& m, const std::vector<GradientStop>& stops,
                        uint8_t spread = SPREAD_PAD, float focal = 0);
    int AddBitmapFill(uint16_t bitmapId, const SwfMatrix& m, bool repeat, bool smooth);
    int AddLine(float widthTwips, SwfColor c);
    void Style(int fill0, int fill1, int line); // -1 keeps a value
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void CurveTo(int cx, int cy, int x, int y);
    // A closed rectangle or polygon with the current styles.
    void Rect(int x0, int y0, int x1, int y1);
    void Polygon(const std::vector<std::pair<int, int>>& points);
    // An ellipse from eight curves.
    void Ellipse(int cx, int cy, int rx, int ry);

    StyleGroup styles;
    SwfRect Bounds() const;

private:
    friend class SwfWriter;
    struct Op {
        uint8_t kind; // 0 style, 1 line, 2 curve
        int fill0, fill1, line;
        bool move;
        int x, y, ax, ay;
    };
    std::vector<Op> ops_;
    int x_ = 0, y_ = 0;
    int minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
    bool any_ = false;
    void Touch(int x, int y);
};

struct PlaceArgs {
    uint16_t characterId = 0; // 0: modify the object at the depth
    SwfMatrix matrix;
    bool hasMatrix = true;
    SwfColorTransform cxform;
    bool hasCxform = false;
    int ratio = -1;
    std::string name;
    int clipDepth = 0;
    int blendMode = 0;
};

class TimelineWriter {
public:
    void Place(int depth, const PlaceArgs& args);
    void Remove(int depth);
    void ShowFrame();
    void Label(const std::string& label);
    void Tag(int code, const std::vector<uint8_t>& body);
    int frames = 0;
    std::vector<uint8_t> tags;
};

class SwfWriter : public TimelineWriter {
public:
    SwfWriter(int version, int widthPx, int heightPx, float frameRate);
    void Background(SwfColor c);
    uint16_t DefineShape(const ShapeBuilder& shape, int version = 3);
    uint16_t DefineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end);
    uint16_t DefineSprite(const TimelineWriter& sprite);
    // Straight (not premultiplied) RGBA pixels, row by row.
    uint16_t DefineBitmap(int width, int height, const std::vector<SwfColor>& pixels);
    // Glyphs in em units of 1024 (y down, baseline at 0), codes and advances.
    uint16_t DefineFont(const std::string& name, const std::vector<ShapeBuilder>& glyphs,
                        const std::vector<uint16_t>& codes, const std::vector<int>& advances, int ascent, int descent);
    // One line of static text in the font; heightTwips per em; glyph indices from codes.
    uint16_t DefineText(uint16_t fontId, const std::vector<uint16_t>& codes, const std::vector<int>& advances,
                        const std::string& text, int heightTwips, SwfColor color, const SwfRect& bounds);
    std::vector<uint8_t> Finish(bool compress);

private:
    static void WriteStyles(SwfBits& w, const StyleGroup& styles, int version);
    static void WriteRecords(SwfBits& w, const ShapeBuilder& s, int fillBits, int lineBits);
    int version_;
    SwfRect frame_;
    float rate_;
    uint16_t nextId_ = 1;
    std::vector<uint8_t> definitions_;
};
