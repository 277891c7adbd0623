#include "player/font.h"

#include <cstring>

int Font::GlyphOf(uint16_t code) const {
    auto it = glyphOfCode.find(code);
    return it == glyphOfCode.end() ? -1 : it->second;
}

namespace {

// Each glyph lies between two offsets of the table that starts at base.
void ReadGlyphs(const uint8_t* base, size_t tableSize, const std::vector<uint32_t>& offsets, uint32_t end,
                Font* out) {
    for (size_t i = 0; i < offsets.size(); ++i) {
        uint32_t from = offsets[i];
        uint32_t to = i + 1 < offsets.size() ? offsets[i + 1] : end;
        Shape shape;
        if (from < to && to <= tableSize) {
            SwfReader g(base + from, to - from);
            ShapeRecords records;
            ParseGlyphRecords(g, &records);
            BuildShape(records, &shape);
        }
        out->glyphs.push_back(std::move(shape));
    }
}

} // namespace

bool ParseDefineFont(SwfReader& r, Font* out) {
    size_t base = r.Position();
    uint16_t first = r.U16();
    if (r.Failed())
        return false;
    size_t count = first / 2;
    std::vector<uint32_t> offsets{first};
    for (size_t i = 1; i < count && !r.Failed(); ++i)
        offsets.push_back(r.U16());
    if (r.Failed())
        return false;
    size_t tableSize = r.Size() - base;
    ReadGlyphs(r.Data() + base, tableSize, offsets, static_cast<uint32_t>(tableSize), out);
    return true;
}

bool ParseDefineFont2(SwfReader& r, int version, Font* out) {
    uint8_t flags = r.U8();
    bool hasLayout = flags & 0x80, wideOffsets = flags & 0x08, wideCodes = flags & 0x04;
    out->italic = flags & 0x02;
    out->bold = flags & 0x01;
    out->emSize = version == 3 ? 20480.0f : 1024.0f;
    r.U8(); // language
    int nameLength = r.U8();
    const uint8_t* name = nullptr;
    if (!r.Bytes(nameLength, &name))
        return false;
    out->name.assign(reinterpret_cast<const char*>(name), nameLength);
    while (!out->name.empty() && out->name.back() == 0)
        out->name.pop_back();
    int count = r.U16();
    size_t base = r.Position();
    std::vector<uint32_t> offsets;
    for (int i = 0; i < count && !r.Failed(); ++i)
        offsets.push_back(wideOffsets ? r.U32() : r.U16());
    uint32_t codeOffset = count > 0 || r.Remaining() >= (wideOffsets ? 4u : 2u) ? (wideOffsets ? r.U32() : r.U16()) : 0;
    if (r.Failed())
        return false;
    size_t tableSize = r.Size() - base;
    ReadGlyphs(r.Data() + base, tableSize, offsets, codeOffset, out);
    if (codeOffset > tableSize)
        return true; // glyphs without codes: usable by static text only
    SwfReader c(r.Data() + base + codeOffset, tableSize - codeOffset);
    for (int i = 0; i < count; ++i) {
        uint16_t code = wideCodes || version == 3 ? c.U16() : c.U8();
        if (c.Failed())
            return true;
        out->codes.push_back(code);
        out->glyphOfCode.emplace(code, i);
    }
    if (hasLayout) {
        out->ascent = c.U16();
        out->descent = c.U16();
        out->leading = c.S16();
        for (int i = 0; i < count; ++i)
            out->advances.push_back(c.S16());
        out->hasLayout = !c.Failed();
        if (!out->hasLayout)
            out->advances.clear();
    }
    return true;
}

bool ParseDefineText(SwfReader& r, int version, StaticText* out) {
    out->bounds = ReadRect(r);
    out->matrix = ReadMatrix(r);
    int glyphBits = r.U8();
    int advanceBits = r.U8();
    if (glyphBits > 32 || advanceBits > 32)
        return false;
    TextRun state;
    float penX = 0;
    for (;;) {
        uint8_t head = r.U8();
        if (r.Failed())
            return false;
        if (head == 0)
            return true;
        TextRun run;
        run.fontId = state.fontId;
        run.color = state.color;
        run.height = state.height;
        run.y = state.y;
        if (head & 0x08)
            run.fontId = r.U16();
        if (head & 0x04)
            run.color = version == 2 ? ReadRgba(r) : ReadRgb(r);
        if (head & 0x01)
            penX = r.S16();
        if (head & 0x02)
            run.y = r.S16();
        if (head & 0x08)
            run.height = r.U16();
        int count = r.U8();
        run.x = penX;
        float x = 0;
        for (int i = 0; i < count; ++i) {
            TextGlyph g;
            g.index = static_cast<uint16_t>(r.UB(glyphBits));
            g.x = x;
            x += static_cast<float>(r.SB(advanceBits));
            run.glyphs.push_back(g);
        }
        r.Align();
        if (r.Failed())
            return false;
        penX += x;
        state = run;
        out->runs.push_back(std::move(run));
    }
}

bool ParseDefineEditText(SwfReader& r, EditTextDef* out) {
    out->bounds = ReadRect(r);
    uint8_t f1 = r.U8(), f2 = r.U8();
    bool hasText = f1 & 0x80;
    out->wordWrap = f1 & 0x40;
    out->multiline = f1 & 0x20;
    out->password = f1 & 0x10;
    out->readOnly = f1 & 0x08;
    bool hasColor = f1 & 0x04, hasMaxLength = f1 & 0x02;
    out->hasFont = f1 & 0x01;
    bool hasFontClass = f2 & 0x80;
    out->autoSize = f2 & 0x40;
    bool hasLayout = f2 & 0x20;
    out->border = f2 & 0x08;
    out->html = f2 & 0x02;
    out->useOutlines = f2 & 0x01;
    if (out->hasFont)
        out->fontId = r.U16();
    if (hasFontClass)
        r.String();
    if (out->hasFont || hasFontClass)
        out->height = r.U16();
    if (hasColor)
        out->color = ReadRgba(r);
    if (hasMaxLength)
        out->maxLength = r.U16();
    if (hasLayout) {
        out->align = r.U8();
        out->leftMargin = r.U16();
        out->rightMargin = r.U16();
        out->indent = r.U16();
        out->leading = r.S16();
    }
    out->variable = r.String();
    if (hasText)
        out->text = r.String();
    return !r.Failed();
}
