#include "player/avm1/text.h"

namespace avm1 {

static bool IsAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

std::u16string ToUnits(const std::string& s, bool unicode) {
    std::u16string out;
    out.reserve(s.size());
    if (!unicode || IsAscii(s)) {
        for (unsigned char c : s)
            out += static_cast<char16_t>(c);
        return out;
    }
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        unsigned code = c;
        size_t extra = 0;
        if (c >= 0xC2 && c < 0xE0) {
            code = c & 0x1F;
            extra = 1;
        } else if (c >= 0xE0 && c < 0xF0) {
            code = c & 0x0F;
            extra = 2;
        } else if (c >= 0xF0 && c < 0xF5) {
            code = c & 0x07;
            extra = 3;
        }
        bool valid = extra > 0 && i + extra < s.size();
        for (size_t k = 1; valid && k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80)
                valid = false;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += static_cast<char16_t>(c);
            ++i;
            continue;
        }
        i += extra + 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

void AppendCode(std::string* out, unsigned code, bool unicode) {
    if (!unicode) {
        *out += static_cast<char>(code & 0xFF);
        return;
    }
    if (code < 0x80) {
        *out += static_cast<char>(code);
    } else if (code < 0x800) {
        *out += static_cast<char>(0xC0 | (code >> 6));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        *out += static_cast<char>(0xE0 | (code >> 12));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (code >> 18));
        *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string FromUnits(const std::u16string& units, bool unicode) {
    std::string out;
    out.reserve(units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        unsigned code = units[i];
        if (unicode && code >= 0xD800 && code < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (unicode && code >= 0xD800 && code < 0xE000) {
            code = 0xFFFD; // half a pair has no UTF-8 of its own
        }
        AppendCode(&out, code, unicode);
    }
    return out;
}

size_t UnitLength(const std::string& s, bool unicode) {
    if (!unicode || IsAscii(s))
        return s.size();
    return ToUnits(s, unicode).size();
}

static char16_t Upper(char16_t c) {
    if (c >= 'a' && c <= 'z')
        return static_cast<char16_t>(c - 32);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char16_t>(c - 32);
    if (c == 0xFF)
        return 0x178;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper ? (c % 2 == 0) : (c % 2 == 1))
            return static_cast<char16_t>(c - 1);
        return c;
    }
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2)
        return static_cast<char16_t>(c - 32);
    if (c >= 0x430 && c <= 0x44F)
        return static_cast<char16_t>(c - 32);
    if (c >= 0x450 && c <= 0x45F)
        return static_cast<char16_t>(c - 80);
    return c;
}

static char16_t Lower(char16_t c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<char16_t>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    if (c == 0x178)
        return 0xFF;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 && c != 0x17F) {
        bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper ? (c % 2 == 1) : (c % 2 == 0))
            return static_cast<char16_t>(c + 1);
        return c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 80);
    return c;
}

std::u16string UpperUnits(const std::u16string& s) {
    std::u16string out = s;
    for (char16_t& c : out)
        c = Upper(c);
    return out;
}

std::u16string LowerUnits(const std::u16string& s) {
    std::u16string out = s;
    for (char16_t& c : out)
        c = Lower(c);
    return out;
}

} // namespace avm1
