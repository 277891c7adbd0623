#include "player/shape.h"

#include <cmath>

namespace {

// Shapes beyond this many records are cut: no real movie comes near it, and
// it bounds the memory a hostile tag can ask for.
constexpr size_t MAX_RECORDS = 1u << 21;

SwfColor ReadColor(SwfReader& r, int version) { return version >= 3 ? ReadRgba(r) : ReadRgb(r); }

bool ReadGradient(SwfReader& r, int version, FillStyle* f) {
    f->spread = static_cast<uint8_t>(r.UB(2));
    f->interpolation = static_cast<uint8_t>(r.UB(2));
    int count = static_cast<int>(r.UB(4));
    if (f->spread > SPREAD_REPEAT)
        f->spread = SPREAD_PAD;
    if (f->interpolation > INTERPOLATE_LINEAR_RGB)
        f->interpolation = INTERPOLATE_RGB;
    f->stops.clear();
    for (int i = 0; i < count; ++i) {
        GradientStop s;
        s.ratio = r.U8();
        s.color = ReadColor(r, version);
        f->stops.push_back(s);
    }
    return !r.Failed();
}

bool ReadLineStyle(SwfReader& r, int version, LineStyle* l) {
    l->width = r.U16();
    if (version < 4) {
        l->color = ReadColor(r, version);
        return !r.Failed();
    }
    l->startCap = static_cast<uint8_t>(r.UB(2));
    l->join = static_cast<uint8_t>(r.UB(2));
    l->hasFill = r.UB(1) != 0;
    l->noHScale = r.UB(1) != 0;
    l->noVScale = r.UB(1) != 0;
    r.UB(1); // pixel hinting
    r.UB(5);
    l->noClose = r.UB(1) != 0;
    l->endCap = static_cast<uint8_t>(r.UB(2));
    if (l->join == JOIN_MITER)
        l->miterLimit = r.Fixed8();
    if (l->hasFill) {
        if (!ParseFillStyle(r, version, &l->fill))
            return false;
        l->color = l->fill.kind == FILL_SOLID ? l->fill.color : SwfColor{0, 0, 0, 255};
        if (l->fill.kind == FILL_SOLID)
            l->hasFill = false;
    } else {
        l->color = ReadRgba(r);
    }
    return !r.Failed();
}

int ReadCount(SwfReader& r, int version) {
    int count = r.U8();
    if (count == 0xFF && version >= 2)
        count = r.U16();
    return count;
}

// Records after the bit counts; version 0 for glyphs, -1 for morph shapes
// (neither may bring new styles).
bool ReadRecords(SwfReader& r, int version, ShapeRecords* out) {
    int fillBits = static_cast<int>(r.UB(4));
    int lineBits = static_cast<int>(r.UB(4));
    for (;;) {
        if (r.Failed())
            return false;
        if (out->records.size() >= MAX_RECORDS)
            return false;
        ShapeRecord rec;
        if (r.UB(1) == 0) {
            uint32_t flags = r.UB(5);
            if (flags == 0) {
                r.Align(); // whatever follows a shape starts on a byte
                return !r.Failed();
            }
            rec.kind = REC_STYLE;
            rec.flags = static_cast<uint8_t>(flags & 0x0F);
            if (flags & 1) {
                int n = static_cast<int>(r.UB(5));
                rec.x = static_cast<float>(r.SB(n));
                rec.y = static_cast<float>(r.SB(n));
                rec.flags = static_cast<uint8_t>(rec.flags | STYLE_MOVE);
            }
            if (flags & 2)
                rec.fill0 = static_cast<uint16_t>(r.UB(fillBits));
            if (flags & 4)
                rec.fill1 = static_cast<uint16_t>(r.UB(fillBits));
            if (flags & 8)
                rec.line = static_cast<uint16_t>(r.UB(lineBits));
            if (flags & 16) {
                if (version <= 0)
                    return false;
                StyleGroup group;
                if (!ParseStyles(r, version, &group))
                    return false;
                out->groups.push_back(std::move(group));
                rec.flags = static_cast<uint8_t>(rec.flags | STYLE_NEW);
                fillBits = static_cast<int>(r.UB(4));
                lineBits = static_cast<int>(r.UB(4));
            }
        } else if (r.UB(1) == 1) {
            int n = static_cast<int>(r.UB(4)) + 2;
            rec.kind = REC_LINE;
            if (r.UB(1)) {
                rec.x = static_cast<float>(r.SB(n));
                rec.y = static_cast<float>(r.SB(n));
            } else if (r.UB(1)) {
                rec.y = static_cast<float>(r.SB(n));
            } else {
                rec.x = static_cast<float>(r.SB(n));
            }
        } else {
            int n = static_cast<int>(r.UB(4)) + 2;
            rec.kind = REC_CURVE;
            rec.x = static_cast<float>(r.SB(n));
            rec.y = static_cast<float>(r.SB(n));
            rec.ax = static_cast<float>(r.SB(n));
            rec.ay = static_cast<float>(r.SB(n));
        }
        if (r.Failed())
            return false;
        out->records.push_back(rec);
    }
}

Segment Reversed(const Segment& s) { return {s.x1, s.y1, s.cx, s.cy, s.x0, s.y0, s.curve}; }

float Lerp(float a, float b, float t) { return a + (b - a) * t; }

uint8_t LerpByte(uint8_t a, uint8_t b, float t) { return static_cast<uint8_t>(std::lround(Lerp(a, b, t))); }

SwfColor LerpColor(SwfColor a, SwfColor b, float t) {
    return {LerpByte(a.r, b.r, t), LerpByte(a.g, b.g, t), LerpByte(a.b, b.b, t), LerpByte(a.a, b.a, t)};
}

SwfMatrix LerpMatrix(const SwfMatrix& a, const SwfMatrix& b, float t) {
    return {Lerp(static_cast<float>(a.a), static_cast<float>(b.a), t), Lerp(static_cast<float>(a.b), static_cast<float>(b.b), t),
            Lerp(static_cast<float>(a.c), static_cast<float>(b.c), t), Lerp(static_cast<float>(a.d), static_cast<float>(b.d), t),
            Lerp(static_cast<float>(a.tx), static_cast<float>(b.tx), t), Lerp(static_cast<float>(a.ty), static_cast<float>(b.ty), t)};
}

FillStyle LerpFill(const FillStyle& a, const FillStyle& b, float t) {
    FillStyle f = a;
    f.color = LerpColor(a.color, b.color, t);
    f.matrix = LerpMatrix(a.matrix, b.matrix, t);
    for (size_t i = 0; i < f.stops.size() && i < b.stops.size(); ++i) {
        f.stops[i].ratio = LerpByte(a.stops[i].ratio, b.stops[i].ratio, t);
        f.stops[i].color = LerpColor(a.stops[i].color, b.stops[i].color, t);
    }
    return f;
}

// A morph fill style: the start style into a, the end style into b.
bool ReadMorphFill(SwfReader& r, FillStyle* a, FillStyle* b) {
    int type = r.U8();
    *a = FillStyle();
    if (type == 0x00) {
        a->kind = FILL_SOLID;
        a->color = ReadRgba(r);
        *b = *a;
        b->color = ReadRgba(r);
    } else if (type == 0x10 || type == 0x12 || type == 0x13) {
        a->kind = type == 0x10 ? FILL_LINEAR : FILL_RADIAL;
        a->matrix = ReadMatrix(r);
        SwfMatrix end = ReadMatrix(r);
        int head = r.U8();
        int count = head & 0x0F;
        a->spread = static_cast<uint8_t>((head >> 6) & 3);
        if (a->spread > SPREAD_REPEAT)
            a->spread = SPREAD_PAD;
        a->interpolation = static_cast<uint8_t>((head >> 4) & 1);
        *b = *a;
        b->matrix = end;
        for (int i = 0; i < count; ++i) {
            GradientStop s, e;
            s.ratio = r.U8();
            s.color = ReadRgba(r);
            e.ratio = r.U8();
            e.color = ReadRgba(r);
            a->stops.push_back(s);
            b->stops.push_back(e);
        }
    } else if (type >= 0x40 && type <= 0x43) {
        a->kind = FILL_BITMAP;
        a->bitmapId = r.U16();
        a->repeat = !(type & 1);
        a->smooth = !(type & 2);
        a->matrix = ReadMatrix(r);
        *b = *a;
        b->matrix = ReadMatrix(r);
    } else {
        return false;
    }
    return !r.Failed();
}

bool ReadMorphLine(SwfReader& r, int version, LineStyle* a, LineStyle* b) {
    *a = LineStyle();
    a->width = r.U16();
    float endWidth = r.U16();
    if (version >= 2) {
        a->startCap = static_cast<uint8_t>(r.UB(2));
        a->join = static_cast<uint8_t>(r.UB(2));
        a->hasFill = r.UB(1) != 0;
        a->noHScale = r.UB(1) != 0;
        a->noVScale = r.UB(1) != 0;
        r.UB(1);
        r.UB(5);
        a->noClose = r.UB(1) != 0;
        a->endCap = static_cast<uint8_t>(r.UB(2));
        if (a->join == JOIN_MITER)
            a->miterLimit = r.Fixed8();
    }
    *b = *a;
    b->width = endWidth;
    if (a->hasFill) {
        if (!ReadMorphFill(r, &a->fill, &b->fill))
            return false;
        if (a->fill.kind == FILL_SOLID) {
            a->color = a->fill.color;
            b->color = b->fill.color;
            a->hasFill = b->hasFill = false;
        }
    } else {
        a->color = ReadRgba(r);
        b->color = ReadRgba(r);
    }
    return !r.Failed();
}

} // namespace

bool ParseFillStyle(SwfReader& r, int version, FillStyle* f) {
    int type = r.U8();
    *f = FillStyle();
    if (type == 0x00) {
        f->kind = FILL_SOLID;
        f->color = ReadColor(r, version);
    } else if (type == 0x10 || type == 0x12 || type == 0x13) {
        f->kind = type == 0x10 ? FILL_LINEAR : type == 0x12 ? FILL_RADIAL : FILL_FOCAL;
        f->matrix = ReadMatrix(r);
        if (!ReadGradient(r, version, f))
            return false;
        if (type == 0x13) {
            f->focal = r.Fixed8();
            if (f->focal < -1)
                f->focal = -1;
            if (f->focal > 1)
                f->focal = 1;
        }
    } else if (type >= 0x40 && type <= 0x43) {
        f->kind = FILL_BITMAP;
        f->bitmapId = r.U16();
        f->matrix = ReadMatrix(r);
        f->repeat = !(type & 1);
        f->smooth = !(type & 2);
    } else {
        r.Fail();
        return false;
    }
    return !r.Failed();
}

bool ParseStyles(SwfReader& r, int version, StyleGroup* out) {
    int fills = ReadCount(r, version);
    for (int i = 0; i < fills; ++i) {
        FillStyle f;
        if (!ParseFillStyle(r, version, &f))
            return false;
        out->fills.push_back(std::move(f));
    }
    int lines = ReadCount(r, version);
    for (int i = 0; i < lines; ++i) {
        LineStyle l;
        if (!ReadLineStyle(r, version, &l))
            return false;
        out->lines.push_back(std::move(l));
    }
    return !r.Failed();
}

bool ParseShapeRecords(SwfReader& r, int version, ShapeRecords* out) {
    out->groups.emplace_back();
    if (!ParseStyles(r, version, &out->groups.back()))
        return false;
    return ReadRecords(r, version, out);
}

bool ParseGlyphRecords(SwfReader& r, ShapeRecords* out) { return ReadRecords(r, 0, out); }

void BuildShape(const ShapeRecords& in, Shape* out) {
    out->layers.clear();
    bool glyph = in.groups.empty();
    size_t group = 0;
    auto startLayer = [&](size_t g) {
        ShapeLayer layer;
        if (glyph) {
            layer.styles.fills.emplace_back();
        } else if (g < in.groups.size()) {
            layer.styles = in.groups[g];
        }
        layer.fillPaths.resize(layer.styles.fills.size());
        layer.linePaths.resize(layer.styles.lines.size());
        out->layers.push_back(std::move(layer));
    };
    startLayer(0);
    float x = 0, y = 0;
    unsigned fill0 = 0, fill1 = 0, line = 0;
    for (const ShapeRecord& rec : in.records) {
        if (rec.kind == REC_STYLE) {
            if (rec.flags & STYLE_NEW) {
                startLayer(++group);
                fill0 = fill1 = line = 0;
            }
            if (rec.flags & STYLE_MOVE) {
                x = rec.x;
                y = rec.y;
            }
            if (rec.flags & STYLE_FILL0)
                fill0 = glyph && rec.fill0 ? 1 : rec.fill0;
            if (rec.flags & STYLE_FILL1)
                fill1 = glyph && rec.fill1 ? 1 : rec.fill1;
            if (rec.flags & STYLE_LINE)
                line = rec.line;
            continue;
        }
        Segment s;
        s.x0 = x;
        s.y0 = y;
        if (rec.kind == REC_LINE) {
            s.curve = false;
            s.x1 = x + rec.x;
            s.y1 = y + rec.y;
            s.cx = (s.x0 + s.x1) / 2;
            s.cy = (s.y0 + s.y1) / 2;
        } else {
            s.curve = true;
            s.cx = x + rec.x;
            s.cy = y + rec.y;
            s.x1 = s.cx + rec.ax;
            s.y1 = s.cy + rec.ay;
        }
        x = s.x1;
        y = s.y1;
        ShapeLayer& layer = out->layers.back();
        size_t fills = layer.fillPaths.size();
        if (fill0 != fill1) {
            if (fill1 && fill1 <= fills)
                layer.fillPaths[fill1 - 1].push_back(s);
            if (fill0 && fill0 <= fills)
                layer.fillPaths[fill0 - 1].push_back(Reversed(s));
        }
        if (line && line <= layer.linePaths.size())
            layer.linePaths[line - 1].push_back(s);
    }
}

bool ParseDefineShape(SwfReader& r, int version, Shape* out) {
    out->bounds = ReadRect(r);
    if (version >= 4) {
        ReadRect(r); // edge bounds
        uint8_t flags = r.U8();
        out->nonZero = (flags & 4) != 0;
    }
    ShapeRecords records;
    bool ok = ParseShapeRecords(r, version, &records);
    BuildShape(records, out);
    return ok;
}

bool ParseDefineMorphShape(SwfReader& r, int version, MorphShape* out) {
    out->startBounds = ReadRect(r);
    out->endBounds = ReadRect(r);
    if (version >= 2) {
        ReadRect(r);
        ReadRect(r);
        r.U8();
    }
    uint32_t offset = r.U32();
    size_t endStart = r.Position() + offset;
    int fills = ReadCount(r, 2);
    for (int i = 0; i < fills && !r.Failed(); ++i) {
        FillStyle a, b;
        if (!ReadMorphFill(r, &a, &b))
            return false;
        out->startFills.push_back(std::move(a));
        out->endFills.push_back(std::move(b));
    }
    int lines = ReadCount(r, 2);
    for (int i = 0; i < lines && !r.Failed(); ++i) {
        LineStyle a, b;
        if (!ReadMorphLine(r, version, &a, &b))
            return false;
        out->startLines.push_back(std::move(a));
        out->endLines.push_back(std::move(b));
    }
    ShapeRecords start;
    bool ok = ReadRecords(r, -1, &start);
    out->startRecords = std::move(start.records);
    if (!ok)
        return false;
    if (endStart > r.Position() && endStart < r.Size())
        r.Skip(endStart - r.Position());
    ShapeRecords end;
    ok = ReadRecords(r, -1, &end);
    out->endRecords = std::move(end.records);
    return ok;
}

void BuildMorphShape(const MorphShape& m, uint16_t ratio, Shape* out) {
    float t = ratio / 65535.0f;
    ShapeRecords rec;
    rec.groups.emplace_back();
    StyleGroup& g = rec.groups.back();
    for (size_t i = 0; i < m.startFills.size(); ++i)
        g.fills.push_back(LerpFill(m.startFills[i], m.endFills[i], t));
    for (size_t i = 0; i < m.startLines.size(); ++i) {
        LineStyle l = m.startLines[i];
        const LineStyle& e = m.endLines[i];
        l.width = Lerp(l.width, e.width, t);
        l.color = LerpColor(l.color, e.color, t);
        if (l.hasFill)
            l.fill = LerpFill(l.fill, e.fill, t);
        g.lines.push_back(std::move(l));
    }
    size_t j = 0;
    const std::vector<ShapeRecord>& ends = m.endRecords;
    for (const ShapeRecord& s : m.startRecords) {
        ShapeRecord r = s;
        if (s.kind == REC_STYLE) {
            if (s.flags & STYLE_MOVE) {
                // The end shape's own move pairs with this one.
                size_t k = j;
                while (k < ends.size() && ends[k].kind == REC_STYLE && !(ends[k].flags & STYLE_MOVE))
                    ++k;
                if (k < ends.size() && ends[k].kind == REC_STYLE) {
                    r.x = Lerp(s.x, ends[k].x, t);
                    r.y = Lerp(s.y, ends[k].y, t);
                    j = k + 1;
                }
            }
            rec.records.push_back(r);
            continue;
        }
        while (j < ends.size() && ends[j].kind == REC_STYLE)
            ++j;
        if (j >= ends.size()) {
            rec.records.push_back(r);
            continue;
        }
        ShapeRecord e = ends[j++];
        if (s.kind != e.kind) {
            // A straight edge as a curve: control and anchor at its halves.
            ShapeRecord* line = s.kind == REC_LINE ? &r : &e;
            line->kind = REC_CURVE;
            line->ax = line->x / 2;
            line->ay = line->y / 2;
            line->x /= 2;
            line->y /= 2;
        }
        r.x = Lerp(r.x, e.x, t);
        r.y = Lerp(r.y, e.y, t);
        r.ax = Lerp(r.ax, e.ax, t);
        r.ay = Lerp(r.ay, e.ay, t);
        rec.records.push_back(r);
    }
    out->bounds.xMin = static_cast<int32_t>(Lerp(static_cast<float>(m.startBounds.xMin), static_cast<float>(m.endBounds.xMin), t));
    out->bounds.xMax = static_cast<int32_t>(Lerp(static_cast<float>(m.startBounds.xMax), static_cast<float>(m.endBounds.xMax), t));
    out->bounds.yMin = static_cast<int32_t>(Lerp(static_cast<float>(m.startBounds.yMin), static_cast<float>(m.endBounds.yMin), t));
    out->bounds.yMax = static_cast<int32_t>(Lerp(static_cast<float>(m.startBounds.yMax), static_cast<float>(m.endBounds.yMax), t));
    BuildShape(rec, out);
}
