// Fonts (DefineFont 1 to 3), static text (DefineText 1 and 2) and the
// definition of dynamic text fields (DefineEditText), plus the layout that
// turns a field's text into positioned glyph runs.
//
// Glyph outlines are built into Shapes in the font's em units (1024 per em,
// 20480 for DefineFont3). A glyph index or code a font lacks is skipped.
#pragma once

#include "player/shape.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

struct Font {
    std::string name;
    bool bold = false, italic = false;
    float emSize = 1024;
    std::vector<Shape> glyphs;
    std::vector<uint16_t> codes;    // per glyph, when the font has a code table
    std::vector<float> advances;    // per glyph in em units, when the font has a layout
    float ascent = 0, descent = 0, leading = 0;
    bool hasLayout = false;
    std::map<uint16_t, int> glyphOfCode;

    int GlyphOf(uint16_t code) const;
};

// After the font id.
bool ParseDefineFont(SwfReader& r, Font* out);
bool ParseDefineFont2(SwfReader& r, int version, Font* out);

struct TextGlyph {
    uint16_t index;
    float x; // pen position in the text's coordinates (twips), relative to the run
};

struct TextRun {
    uint16_t fontId = 0;
    const Font* font = nullptr; // set by text field layout; static text names fontId
    SwfColor color;
    float x = 0, y = 0; // baseline origin in twips
    float height = 240; // twips per em
    std::vector<TextGlyph> glyphs;
};

struct StaticText {
    SwfRect bounds;
    SwfMatrix matrix;
    std::vector<TextRun> runs;
};

// After the character id; version 1 or 2.
bool ParseDefineText(SwfReader& r, int version, StaticText* out);

enum : uint8_t { ALIGN_LEFT = 0, ALIGN_RIGHT = 1, ALIGN_CENTER = 2, ALIGN_JUSTIFY = 3 };

struct EditTextDef {
    SwfRect bounds;
    bool wordWrap = false, multiline = false, password = false, readOnly = false;
    bool autoSize = false, border = false, html = false, useOutlines = false;
    bool hasFont = false;
    uint16_t fontId = 0;
    float height = 240; // twips
    SwfColor color{0, 0, 0, 255};
    int maxLength = 0;
    uint8_t align = ALIGN_LEFT;
    float leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
    std::string variable;
    std::string text;
};

bool ParseDefineEditText(SwfReader& r, EditTextDef* out);

// Finds the movie's font of a face name (case-insensitive) and style; null when it has none.
using FontFinder = std::function<const Font*(const std::string& face, bool bold, bool italic)>;

// Lays the text out inside the field (twips, field coordinates). HTML text
// keeps its characters and line breaks; its tags change colour, size, face,
// bold and italic (a face or style the movie lacks keeps the field's font).
void LayoutEditText(const EditTextDef& def, const std::string& text, const Font* font, const FontFinder& find,
                    std::vector<TextRun>* out);
