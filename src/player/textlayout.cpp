#include "player/font.h"

#include <cstdlib>
#include <cstring>

namespace {

struct StyledChar {
    uint32_t code;
    SwfColor color;
    float height;
    const Font* font;
};

struct TextStyle {
    SwfColor color;
    float height;
    std::string face;
    bool bold, italic;
    const Font* font;
};

// Next code point of UTF-8 text; a byte that starts no valid sequence stands for itself.
uint32_t NextCodePoint(const std::string& s, size_t* i) {
    unsigned char c = static_cast<unsigned char>(s[*i]);
    int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 && c < 0xF0 ? 2 : c >= 0xC0 && c < 0xE0 ? 1 : 0;
    if (extra == 0 || *i + extra >= s.size()) {
        ++*i;
        return c;
    }
    uint32_t v = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char n = static_cast<unsigned char>(s[*i + k]);
        if ((n & 0xC0) != 0x80) {
            ++*i;
            return c;
        }
        v = v << 6 | (n & 0x3F);
    }
    *i += extra + 1;
    return v;
}

std::string AttributeValue(const std::string& tag, const char* name) {
    size_t at = 0;
    size_t len = strlen(name);
    while ((at = tag.find(name, at)) != std::string::npos) {
        size_t p = at + len;
        while (p < tag.size() && tag[p] == ' ')
            ++p;
        if (p < tag.size() && tag[p] == '=') {
            ++p;
            while (p < tag.size() && tag[p] == ' ')
                ++p;
            char quote = p < tag.size() && (tag[p] == '"' || tag[p] == '\'') ? tag[p++] : 0;
            size_t end = p;
            while (end < tag.size() && (quote ? tag[end] != quote : tag[end] != ' ' && tag[end] != '>'))
                ++end;
            return tag.substr(p, end - p);
        }
        at = p;
    }
    return std::string();
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

void Decode(const EditTextDef& def, const std::string& text, const Font* base, const FontFinder& find,
            std::vector<StyledChar>* out) {
    std::vector<TextStyle> styles{{def.color, def.height, base->name, base->bold, base->italic, base}};
    auto restyle = [&](TextStyle style) {
        if (find) {
            const Font* f = find(style.face, style.bold, style.italic);
            style.font = f && !f->glyphs.empty() ? f : styles.front().font;
        }
        styles.push_back(style);
    };
    if (def.html) {
        // In HTML text the tags decide the style; the field's font gives only the face.
        TextStyle plain = styles.front();
        plain.bold = plain.italic = false;
        restyle(plain);
    }
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (def.html && c == '<') {
            size_t end = text.find('>', i);
            if (end == std::string::npos)
                break;
            std::string tag = Lower(text.substr(i + 1, end - i - 1));
            i = end + 1;
            bool closing = !tag.empty() && tag[0] == '/';
            std::string name = tag.substr(closing ? 1 : 0, tag.find_first_of(" /", closing ? 1 : 0) - (closing ? 1 : 0));
            const TextStyle& now = styles.back();
            if (name == "br" || (closing && (name == "p" || name == "li"))) {
                out->push_back({'\n', now.color, now.height, now.font});
            } else if (name == "font" || name == "b" || name == "i") {
                if (closing) {
                    if (styles.size() > 1)
                        styles.pop_back();
                } else {
                    TextStyle style = now;
                    if (name == "b")
                        style.bold = true;
                    if (name == "i")
                        style.italic = true;
                    std::string color = AttributeValue(tag, "color");
                    if (color.size() == 7 && color[0] == '#') {
                        unsigned long v = strtoul(color.c_str() + 1, nullptr, 16);
                        style.color = {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v),
                                       style.color.a};
                    }
                    std::string size = AttributeValue(tag, "size");
                    if (!size.empty()) {
                        long points = strtol(size.c_str(), nullptr, 10);
                        if (size[0] == '+' || size[0] == '-')
                            style.height += points * 20.0f;
                        else if (points > 0 && points < 1000)
                            style.height = points * 20.0f;
                    }
                    std::string face = AttributeValue(tag, "face");
                    if (!face.empty())
                        style.face = face;
                    restyle(style);
                }
            }
            continue;
        }
        uint32_t code;
        if (def.html && c == '&') {
            size_t end = text.find(';', i);
            std::string entity = end == std::string::npos || end - i > 8 ? "" : text.substr(i + 1, end - i - 1);
            code = entity == "amp" ? '&' : entity == "lt" ? '<' : entity == "gt" ? '>' : entity == "quot" ? '"'
                   : entity == "apos" ? '\'' : entity == "nbsp" ? 0xA0 : 0;
            if (code) {
                i = end + 1;
            } else {
                code = '&';
                ++i;
            }
        } else {
            code = NextCodePoint(text, &i);
        }
        if (code == '\r') {
            if (i < text.size() && text[i] == '\n')
                ++i;
            code = '\n';
        }
        if (def.html && code == '\n')
            continue; // in HTML only tags break lines
        out->push_back({code, styles.back().color, styles.back().height, styles.back().font});
    }
}

} // namespace

void LayoutEditText(const EditTextDef& def, const std::string& text, const Font* font, const FontFinder& find,
                    std::vector<TextRun>* out) {
    out->clear();
    if (!font || font->glyphs.empty())
        return;
    std::vector<StyledChar> chars;
    Decode(def, text, font, find, &chars);
    float em = font->emSize;
    const float gutter = 40; // two pixels inside the field's edge
    float left = def.bounds.xMin + gutter + def.leftMargin;
    float right = def.bounds.xMax - gutter - def.rightMargin;
    float ascent = font->hasLayout && font->ascent > 0 ? font->ascent : em * 0.8f;
    float descent = font->hasLayout ? font->descent : em * 0.2f;
    auto glyphOf = [&](const StyledChar& ch) {
        uint32_t code = def.password ? '*' : ch.code;
        return code <= 0xFFFF ? ch.font->GlyphOf(static_cast<uint16_t>(code)) : -1;
    };
    auto advanceOf = [&](const StyledChar& ch, int glyph) {
        if (glyph >= 0 && glyph < static_cast<int>(ch.font->advances.size()))
            return ch.font->advances[glyph] * ch.height / ch.font->emSize;
        return ch.height * 0.55f;
    };
    float baseline = def.bounds.yMin + gutter;
    size_t i = 0;
    bool firstLine = true;
    bool paragraphStart = true;
    while (i < chars.size() || firstLine) {
        firstLine = false;
        // Find the end of the line: a line break, or the last word that fits.
        float x = paragraphStart ? def.indent : 0;
        size_t end = i, lastSpace = std::string::npos;
        float lineHeight = 0;
        while (end < chars.size() && chars[end].code != '\n') {
            const StyledChar& ch = chars[end];
            float w = advanceOf(ch, glyphOf(ch));
            if (ch.height > lineHeight)
                lineHeight = ch.height;
            if (def.wordWrap && x + w > right - left && end > i) {
                if (lastSpace != std::string::npos && lastSpace > i)
                    end = lastSpace + 1;
                break;
            }
            if (ch.code == ' ')
                lastSpace = end;
            x += w;
            ++end;
        }
        if (lineHeight == 0)
            lineHeight = i < chars.size() ? chars[i].height : def.height;
        baseline += ascent * lineHeight / em;
        // Measure without trailing blanks for alignment.
        float width = paragraphStart ? def.indent : 0;
        size_t visibleEnd = end;
        while (visibleEnd > i && chars[visibleEnd - 1].code == ' ')
            --visibleEnd;
        for (size_t k = i; k < visibleEnd; ++k)
            width += advanceOf(chars[k], glyphOf(chars[k]));
        float shift = 0;
        if (def.align == ALIGN_RIGHT)
            shift = right - left - width;
        else if (def.align == ALIGN_CENTER)
            shift = (right - left - width) / 2;
        float pen = left + shift + (paragraphStart ? def.indent : 0);
        TextRun* run = nullptr;
        for (size_t k = i; k < end; ++k) {
            const StyledChar& ch = chars[k];
            int glyph = glyphOf(ch);
            float w = advanceOf(ch, glyph);
            if (glyph >= 0 && ch.code != ' ') {
                if (!run || !(run->color == ch.color) || run->height != ch.height || run->font != ch.font) {
                    out->emplace_back();
                    run = &out->back();
                    run->font = ch.font;
                    run->color = ch.color;
                    run->height = ch.height;
                    run->x = pen;
                    run->y = baseline;
                }
                run->glyphs.push_back({static_cast<uint16_t>(glyph), pen - run->x});
            }
            pen += w;
        }
        baseline += descent * lineHeight / em + (font->hasLayout ? font->leading * lineHeight / em : 0) + def.leading;
        paragraphStart = end < chars.size() && chars[end].code == '\n';
        i = end < chars.size() && chars[end].code == '\n' ? end + 1 : end;
        if (i >= chars.size())
            break;
    }
}
