#include "swfwriter.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>

void SwfBits::U16(uint32_t v) {
    Align();
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
}

void SwfBits::U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
}

void SwfBits::UB(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) {
        acc_ = acc_ << 1 | ((v >> i) & 1);
        if (++used_ == 8) {
            bytes.push_back(static_cast<uint8_t>(acc_));
            acc_ = 0;
            used_ = 0;
        }
    }
}

void SwfBits::SB(int32_t v, int n) { UB(static_cast<uint32_t>(v), n); }

void SwfBits::Align() {
    if (used_ > 0)
        UB(0, 8 - used_);
}

void SwfBits::Bytes(const std::vector<uint8_t>& b) {
    Align();
    bytes.insert(bytes.end(), b.begin(), b.end());
}

void SwfBits::String(const std::string& s) {
    Align();
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
}

int SignedBits(int32_t v) {
    int n = 1;
    while (n < 32 && (v < -(1 << (n - 1)) || v >= (1 << (n - 1))))
        ++n;
    return n;
}

void SwfBits::Rect(const SwfRect& r) {
    int n = std::max({SignedBits(r.xMin), SignedBits(r.xMax), SignedBits(r.yMin), SignedBits(r.yMax)});
    UB(n, 5);
    SB(r.xMin, n);
    SB(r.xMax, n);
    SB(r.yMin, n);
    SB(r.yMax, n);
    Align();
}

void SwfBits::Matrix(const SwfMatrix& m) {
    auto fixed = [](double v) { return static_cast<int32_t>(std::lround(v * 65536)); };
    bool scale = m.a != 1 || m.d != 1;
    UB(scale, 1);
    if (scale) {
        int n = std::max(SignedBits(fixed(m.a)), SignedBits(fixed(m.d)));
        UB(n, 5);
        SB(fixed(m.a), n);
        SB(fixed(m.d), n);
    }
    bool rotate = m.b != 0 || m.c != 0;
    UB(rotate, 1);
    if (rotate) {
        int n = std::max(SignedBits(fixed(m.b)), SignedBits(fixed(m.c)));
        UB(n, 5);
        SB(fixed(m.b), n);
        SB(fixed(m.c), n);
    }
    int32_t tx = static_cast<int32_t>(std::lround(m.tx)), ty = static_cast<int32_t>(std::lround(m.ty));
    int n = (tx || ty) ? std::max(SignedBits(tx), SignedBits(ty)) : 0;
    UB(n, 5);
    SB(tx, n);
    SB(ty, n);
    Align();
}

void SwfBits::ColorTransform(const SwfColorTransform& c, bool alpha) {
    int32_t mul[4] = {static_cast<int32_t>(std::lround(c.mulR * 256)), static_cast<int32_t>(std::lround(c.mulG * 256)),
                      static_cast<int32_t>(std::lround(c.mulB * 256)), static_cast<int32_t>(std::lround(c.mulA * 256))};
    int32_t add[4] = {static_cast<int32_t>(std::lround(c.addR)), static_cast<int32_t>(std::lround(c.addG)),
                      static_cast<int32_t>(std::lround(c.addB)), static_cast<int32_t>(std::lround(c.addA))};
    int channels = alpha ? 4 : 3;
    int n = 1;
    for (int i = 0; i < channels; ++i)
        n = std::max({n, SignedBits(mul[i]), SignedBits(add[i])});
    UB(1, 1);
    UB(1, 1);
    UB(n, 4);
    for (int i = 0; i < channels; ++i)
        SB(mul[i], n);
    for (int i = 0; i < channels; ++i)
        SB(add[i], n);
    Align();
}

void SwfBits::Rgb(SwfColor c) {
    U8(c.r);
    U8(c.g);
    U8(c.b);
}

void SwfBits::Rgba(SwfColor c) {
    Rgb(c);
    U8(c.a);
}

// ShapeBuilder ----------------------------------------------------------------

int ShapeBuilder::AddSolidFill(SwfColor c) {
    FillStyle f;
    f.color = c;
    styles.fills.push_back(f);
    return static_cast<int>(styles.fills.size());
}

int ShapeBuilder::AddGradientFill(FillKind kind, const SwfMatrix& m, const std::vector<GradientStop>& stops,
                                  uint8_t spread, float focal) {
    FillStyle f;
    f.kind = kind;
    f.matrix = m;
    f.stops = stops;
    f.spread = spread;
    f.focal = focal;
    styles.fills.push_back(f);
    return static_cast<int>(styles.fills.size());
}

int ShapeBuilder::AddBitmapFill(uint16_t id, const SwfMatrix& m, bool repeat, bool smooth) {
    FillStyle f;
    f.kind = FILL_BITMAP;
    f.bitmapId = id;
    f.matrix = m;
    f.repeat = repeat;
    f.smooth = smooth;
    styles.fills.push_back(f);
    return static_cast<int>(styles.fills.size());
}

int ShapeBuilder::AddLine(float width, SwfColor c) {
    LineStyle l;
    l.width = width;
    l.color = c;
    styles.lines.push_back(l);
    return static_cast<int>(styles.lines.size());
}

void ShapeBuilder::Touch(int x, int y) {
    if (!any_) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        any_ = true;
    }
    minX_ = std::min(minX_, x);
    maxX_ = std::max(maxX_, x);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
}

SwfRect ShapeBuilder::Bounds() const {
    int pad = 0;
    for (const LineStyle& l : styles.lines)
        pad = std::max(pad, static_cast<int>(l.width / 2) + 1);
    SwfRect r;
    r.xMin = minX_ - pad;
    r.xMax = maxX_ + pad;
    r.yMin = minY_ - pad;
    r.yMax = maxY_ + pad;
    return r;
}

void ShapeBuilder::Style(int fill0, int fill1, int line) { ops_.push_back({0, fill0, fill1, line, false, 0, 0, 0, 0}); }

void ShapeBuilder::MoveTo(int x, int y) {
    ops_.push_back({0, -1, -1, -1, true, x, y, 0, 0});
    x_ = x;
    y_ = y;
    Touch(x, y);
}

void ShapeBuilder::LineTo(int x, int y) {
    ops_.push_back({1, 0, 0, 0, false, x - x_, y - y_, 0, 0});
    x_ = x;
    y_ = y;
    Touch(x, y);
}

void ShapeBuilder::CurveTo(int cx, int cy, int x, int y) {
    ops_.push_back({2, 0, 0, 0, false, cx - x_, cy - y_, x - cx, y - cy});
    x_ = x;
    y_ = y;
    Touch(cx, cy);
    Touch(x, y);
}

void ShapeBuilder::Rect(int x0, int y0, int x1, int y1) { Polygon({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}); }

void ShapeBuilder::Polygon(const std::vector<std::pair<int, int>>& pts) {
    if (pts.empty())
        return;
    MoveTo(pts[0].first, pts[0].second);
    for (size_t i = 1; i < pts.size(); ++i)
        LineTo(pts[i].first, pts[i].second);
    LineTo(pts[0].first, pts[0].second);
}

void ShapeBuilder::Ellipse(int cx, int cy, int rx, int ry) {
    // Eight 45-degree arcs; each control point lies on the bisector at r / cos(22.5 degrees).
    const double pi = 3.14159265358979, r = 1 / std::cos(pi / 8);
    MoveTo(cx + rx, cy);
    for (int i = 1; i <= 8; ++i) {
        double mid = (i - 0.5) * pi / 4, end = i * pi / 4;
        CurveTo(cx + static_cast<int>(std::lround(rx * r * std::cos(mid))), cy + static_cast<int>(std::lround(ry * r * std::sin(mid))),
                cx + static_cast<int>(std::lround(rx * std::cos(end))), cy + static_cast<int>(std::lround(ry * std::sin(end))));
    }
}

// TimelineWriter ----------------------------------------------------------

void TimelineWriter::Tag(int code, const std::vector<uint8_t>& body) {
    auto put16 = [&](uint32_t v) {
        tags.push_back(static_cast<uint8_t>(v));
        tags.push_back(static_cast<uint8_t>(v >> 8));
    };
    if (body.size() < 63 && code != TAG_DEFINE_BITS_LOSSLESS && code != TAG_DEFINE_BITS_LOSSLESS2) {
        put16(static_cast<uint32_t>(code << 6 | body.size()));
    } else {
        put16(static_cast<uint32_t>(code << 6 | 63));
        put16(static_cast<uint32_t>(body.size() & 0xFFFF));
        put16(static_cast<uint32_t>(body.size() >> 16));
    }
    tags.insert(tags.end(), body.begin(), body.end());
}

void TimelineWriter::Place(int depth, const PlaceArgs& a) {
    SwfBits w;
    bool three = a.blendMode != 0;
    uint8_t flags = 0;
    if (a.characterId == 0)
        flags |= 0x01;
    if (a.characterId)
        flags |= 0x02;
    if (a.hasMatrix)
        flags |= 0x04;
    if (a.hasCxform)
        flags |= 0x08;
    if (a.ratio >= 0)
        flags |= 0x10;
    if (!a.name.empty())
        flags |= 0x20;
    if (a.clipDepth)
        flags |= 0x40;
    w.U8(flags);
    if (three)
        w.U8(0x02);
    w.U16(depth);
    if (a.characterId)
        w.U16(a.characterId);
    if (a.hasMatrix)
        w.Matrix(a.matrix);
    if (a.hasCxform)
        w.ColorTransform(a.cxform, true);
    if (a.ratio >= 0)
        w.U16(a.ratio);
    if (!a.name.empty())
        w.String(a.name);
    if (a.clipDepth)
        w.U16(a.clipDepth);
    if (three)
        w.U8(a.blendMode);
    Tag(three ? TAG_PLACE_OBJECT3 : TAG_PLACE_OBJECT2, w.bytes);
}

void TimelineWriter::Remove(int depth) {
    SwfBits w;
    w.U16(depth);
    Tag(TAG_REMOVE_OBJECT2, w.bytes);
}

void TimelineWriter::ShowFrame() {
    Tag(TAG_SHOW_FRAME, {});
    ++frames;
}

void TimelineWriter::Label(const std::string& label) {
    SwfBits w;
    w.String(label);
    Tag(TAG_FRAME_LABEL, w.bytes);
}

// SwfWriter -------------------------------------------------------------------

SwfWriter::SwfWriter(int version, int widthPx, int heightPx, float rate) : version_(version), rate_(rate) {
    frame_.xMax = widthPx * 20;
    frame_.yMax = heightPx * 20;
}

void SwfWriter::Background(SwfColor c) {
    SwfBits w;
    w.Rgb(c);
    Tag(TAG_SET_BACKGROUND_COLOR, w.bytes);
}

namespace {
void WriteFill(SwfBits& w, const FillStyle& f, int version) {
    if (f.kind == FILL_SOLID) {
        w.U8(0);
        if (version >= 3)
            w.Rgba(f.color);
        else
            w.Rgb(f.color);
        return;
    }
    if (f.kind == FILL_BITMAP) {
        w.U8(0x40 | (f.repeat ? 0 : 1) | (f.smooth ? 0 : 2));
        w.U16(f.bitmapId);
        w.Matrix(f.matrix);
        return;
    }
    w.U8(f.kind == FILL_LINEAR ? 0x10 : f.kind == FILL_RADIAL ? 0x12 : 0x13);
    w.Matrix(f.matrix);
    w.UB(f.spread, 2);
    w.UB(f.interpolation, 2);
    w.UB(static_cast<uint32_t>(std::min<size_t>(f.stops.size(), 15)), 4);
    for (size_t i = 0; i < f.stops.size() && i < 15; ++i) {
        w.U8(f.stops[i].ratio);
        if (version >= 3)
            w.Rgba(f.stops[i].color);
        else
            w.Rgb(f.stops[i].color);
    }
    if (f.kind == FILL_FOCAL)
        w.U16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(f.focal * 256))));
}

int BitsFor(int count) {
    int n = 0;
    while ((1 << n) <= count)
        ++n;
    return n;
}
} // namespace

void SwfWriter::WriteStyles(SwfBits& w, const StyleGroup& styles, int version) {
    size_t fills = std::min<size_t>(styles.fills.size(), 254), lines = std::min<size_t>(styles.lines.size(), 254);
    w.U8(static_cast<uint32_t>(fills));
    for (size_t i = 0; i < fills; ++i)
        WriteFill(w, styles.fills[i], version);
    w.U8(static_cast<uint32_t>(lines));
    for (size_t i = 0; i < lines; ++i) {
        const LineStyle& l = styles.lines[i];
        w.U16(static_cast<uint32_t>(l.width));
        if (version >= 4) {
            w.U8(0); // round caps and joins, no fill, scaling
            w.U8(0);
            w.Rgba(l.color);
        } else if (version >= 3) {
            w.Rgba(l.color);
        } else {
            w.Rgb(l.color);
        }
    }
}

void SwfWriter::WriteRecords(SwfBits& w, const ShapeBuilder& s, int fillBits, int lineBits) {
    w.UB(static_cast<uint32_t>(fillBits), 4);
    w.UB(static_cast<uint32_t>(lineBits), 4);
    for (const ShapeBuilder::Op& op : s.ops_) {
        if (op.kind == 0) {
            uint32_t flags = (op.move ? 1 : 0) | (op.fill0 >= 0 ? 2 : 0) | (op.fill1 >= 0 ? 4 : 0) | (op.line >= 0 ? 8 : 0);
            if (flags == 0)
                continue;
            w.UB(0, 1);
            w.UB(flags, 5);
            if (op.move) {
                int n = std::max(SignedBits(op.x), SignedBits(op.y));
                w.UB(static_cast<uint32_t>(n), 5);
                w.SB(op.x, n);
                w.SB(op.y, n);
            }
            if (flags & 2)
                w.UB(static_cast<uint32_t>(op.fill0), fillBits);
            if (flags & 4)
                w.UB(static_cast<uint32_t>(op.fill1), fillBits);
            if (flags & 8)
                w.UB(static_cast<uint32_t>(op.line), lineBits);
        } else if (op.kind == 1) {
            int n = std::max({SignedBits(op.x), SignedBits(op.y), 2});
            w.UB(1, 1);
            w.UB(1, 1);
            w.UB(static_cast<uint32_t>(n - 2), 4);
            w.UB(1, 1); // general line
            w.SB(op.x, n);
            w.SB(op.y, n);
        } else {
            int n = std::max({SignedBits(op.x), SignedBits(op.y), SignedBits(op.ax), SignedBits(op.ay), 2});
            w.UB(1, 1);
            w.UB(0, 1);
            w.UB(static_cast<uint32_t>(n - 2), 4);
            w.SB(op.x, n);
            w.SB(op.y, n);
            w.SB(op.ax, n);
            w.SB(op.ay, n);
        }
    }
    w.UB(0, 6); // end of shape
    w.Align();
}

uint16_t SwfWriter::DefineShape(const ShapeBuilder& s, int version) {
    SwfBits w;
    uint16_t id = nextId_++;
    w.U16(id);
    w.Rect(s.Bounds());
    if (version >= 4) {
        w.Rect(s.Bounds());
        w.U8(0);
    }
    WriteStyles(w, s.styles, version);
    WriteRecords(w, s, BitsFor(static_cast<int>(s.styles.fills.size())), BitsFor(static_cast<int>(s.styles.lines.size())));
    int code = version == 1 ? TAG_DEFINE_SHAPE : version == 2 ? TAG_DEFINE_SHAPE2 : version == 3 ? TAG_DEFINE_SHAPE3 : TAG_DEFINE_SHAPE4;
    Tag(code, w.bytes);
    return id;
}

uint16_t SwfWriter::DefineMorphShape(const ShapeBuilder& start, const ShapeBuilder& end) {
    SwfBits w;
    uint16_t id = nextId_++;
    w.U16(id);
    w.Rect(start.Bounds());
    w.Rect(end.Bounds());
    SwfBits styles;
    size_t fills = std::min(start.styles.fills.size(), end.styles.fills.size());
    styles.U8(static_cast<uint32_t>(fills));
    for (size_t i = 0; i < fills; ++i) {
        // Solid fills only: the demo and the tests morph colours and outlines.
        styles.U8(0);
        styles.Rgba(start.styles.fills[i].color);
        styles.Rgba(end.styles.fills[i].color);
    }
    size_t lines = std::min(start.styles.lines.size(), end.styles.lines.size());
    styles.U8(static_cast<uint32_t>(lines));
    for (size_t i = 0; i < lines; ++i) {
        styles.U16(static_cast<uint32_t>(start.styles.lines[i].width));
        styles.U16(static_cast<uint32_t>(end.styles.lines[i].width));
        styles.Rgba(start.styles.lines[i].color);
        styles.Rgba(end.styles.lines[i].color);
    }
    SwfBits startRecords, endRecords;
    WriteRecords(startRecords, start, BitsFor(static_cast<int>(fills)), BitsFor(static_cast<int>(lines)));
    WriteRecords(endRecords, end, 0, 0);
    w.U32(static_cast<uint32_t>(styles.bytes.size() + startRecords.bytes.size()));
    w.Bytes(styles.bytes);
    w.Bytes(startRecords.bytes);
    w.Bytes(endRecords.bytes);
    Tag(TAG_DEFINE_MORPH_SHAPE, w.bytes);
    return id;
}

uint16_t SwfWriter::DefineSprite(const TimelineWriter& sprite) {
    SwfBits w;
    uint16_t id = nextId_++;
    w.U16(id);
    w.U16(static_cast<uint32_t>(sprite.frames));
    w.Bytes(sprite.tags);
    w.Bytes({0, 0}); // End
    Tag(TAG_DEFINE_SPRITE, w.bytes);
    return id;
}

uint16_t SwfWriter::DefineBitmap(int width, int height, const std::vector<SwfColor>& pixels) {
    SwfBits w;
    uint16_t id = nextId_++;
    w.U16(id);
    w.U8(5);
    w.U16(static_cast<uint32_t>(width));
    w.U16(static_cast<uint32_t>(height));
    std::vector<uint8_t> raw;
    for (const SwfColor& c : pixels) {
        raw.push_back(c.a);
        raw.push_back(static_cast<uint8_t>(c.r * c.a / 255));
        raw.push_back(static_cast<uint8_t>(c.g * c.a / 255));
        raw.push_back(static_cast<uint8_t>(c.b * c.a / 255));
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(size);
    compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(size);
    w.Bytes(packed);
    Tag(TAG_DEFINE_BITS_LOSSLESS2, w.bytes);
    return id;
}

uint16_t SwfWriter::DefineFont(const std::string& name, const std::vector<ShapeBuilder>& glyphs,
                               const std::vector<uint16_t>& codes, const std::vector<int>& advances, int ascent,
                               int descent) {
    SwfBits w;
    uint16_t id = nextId_++;
    w.U16(id);
    w.U8(0x80 | 0x08 | 0x04); // layout, wide offsets, wide codes
    w.U8(1);
    w.U8(static_cast<uint32_t>(name.size()));
    for (char c : name)
        w.U8(static_cast<uint8_t>(c));
    w.U16(static_cast<uint32_t>(glyphs.size()));
    std::vector<std::vector<uint8_t>> shapes;
    for (const ShapeBuilder& g : glyphs) {
        SwfBits s;
        WriteRecords(s, g, 1, 0);
        shapes.push_back(s.bytes);
    }
    uint32_t offset = static_cast<uint32_t>(4 * glyphs.size() + 4);
    for (const auto& s : shapes) {
        w.U32(offset);
        offset += static_cast<uint32_t>(s.size());
    }
    w.U32(offset); // code table
    for (const auto& s : shapes)
        w.Bytes(s);
    for (uint16_t c : codes)
        w.U16(c);
    w.U16(static_cast<uint32_t>(ascent));
    w.U16(static_cast<uint32_t>(descent));
    w.U16(0);
    for (int a : advances)
        w.U16(static_cast<uint32_t>(static_cast<uint16_t>(a)));
    for (size_t i = 0; i < glyphs.size(); ++i)
        w.Rect(glyphs[i].Bounds());
    w.U16(0); // no kerning
    Tag(TAG_DEFINE_FONT2, w.bytes);
    return id;
}

uint16_t SwfWriter::DefineText(uint16_t fontId, const std::vector<uint16_t>& codes, const std::vector<int>& advances,
                               const std::string& text, int height, SwfColor color, const SwfRect& bounds) {
    SwfBits w;
    uint16_t id = nextId_++;
    w.U16(id);
    w.Rect(bounds);
    w.Matrix(SwfMatrix());
    std::vector<std::pair<int, int>> glyphs; // index, advance in twips
    for (char ch : text) {
        auto it = std::find(codes.begin(), codes.end(), static_cast<uint16_t>(static_cast<unsigned char>(ch)));
        if (it == codes.end())
            continue;
        int index = static_cast<int>(it - codes.begin());
        glyphs.push_back({index, advances[index] * height / 1024});
    }
    int glyphBits = BitsFor(static_cast<int>(codes.size())), advanceBits = 1;
    for (auto& g : glyphs)
        advanceBits = std::max(advanceBits, SignedBits(g.second));
    w.U8(static_cast<uint32_t>(glyphBits));
    w.U8(static_cast<uint32_t>(advanceBits));
    w.U8(0x80 | 0x08 | 0x04 | 0x01 | 0x02);
    w.U16(fontId);
    w.Rgba(color);
    w.U16(0);
    w.U16(0);
    w.U16(static_cast<uint32_t>(height));
    w.U8(static_cast<uint32_t>(std::min<size_t>(glyphs.size(), 255)));
    for (size_t i = 0; i < glyphs.size() && i < 255; ++i) {
        w.UB(static_cast<uint32_t>(glyphs[i].first), glyphBits);
        w.SB(glyphs[i].second, advanceBits);
    }
    w.Align();
    w.U8(0);
    Tag(TAG_DEFINE_TEXT2, w.bytes);
    return id;
}

std::vector<uint8_t> SwfWriter::Finish(bool compress) {
    SwfBits body;
    body.Rect(frame_);
    body.U16(static_cast<uint32_t>(std::lround(rate_ * 256)));
    body.U16(static_cast<uint32_t>(frames));
    body.Bytes(tags);
    body.Bytes({0, 0});
    std::vector<uint8_t> out = {static_cast<uint8_t>(compress ? 'C' : 'F'), 'W', 'S', static_cast<uint8_t>(version_)};
    uint32_t length = static_cast<uint32_t>(8 + body.bytes.size());
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(length >> (8 * i)));
    if (!compress) {
        out.insert(out.end(), body.bytes.begin(), body.bytes.end());
        return out;
    }
    uLongf size = compressBound(static_cast<uLong>(body.bytes.size()));
    std::vector<uint8_t> packed(size);
    ::compress2(packed.data(), &size, body.bytes.data(), static_cast<uLong>(body.bytes.size()), 9);
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<long>(size));
    return out;
}
