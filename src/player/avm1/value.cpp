#include "player/avm1/value.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace avm1 {

std::string NumberToString(double n) {
    if (std::isnan(n))
        return "NaN";
    if (std::isinf(n))
        return n > 0 ? "Infinity" : "-Infinity";
    if (n == 0)
        return "0";
    // "%.14e" rounds to the 15 significant digits scripts see, correctly
    // (mingw's own printf is used in C++ programs).
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.14e", n);
    const char* p = buffer;
    std::string out;
    if (*p == '-') {
        out += '-';
        ++p;
    }
    std::string digits;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9')
            digits += *p;
    int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    if (exponent < -5 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += 'e';
        out += exponent < 0 ? '-' : '+';
        out += std::to_string(exponent < 0 ? -exponent : exponent);
        return out;
    }
    if (exponent < 0) {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    size_t whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
        out += digits;
        out.append(whole - digits.size(), '0');
    } else {
        out.append(digits, 0, whole);
        out += '.';
        out.append(digits, whole, std::string::npos);
    }
    return out;
}

std::string NumberToRadixString(double n, int radix) {
    if (radix == 10 || radix < 2 || radix > 36 || !std::isfinite(n))
        return NumberToString(n);
    long long value = DoubleToInt32(n);
    bool negative = value < 0;
    if (negative)
        value = -value;
    std::string out;
    do {
        int digit = static_cast<int>(value % radix);
        out.insert(out.begin(), static_cast<char>(digit < 10 ? '0' + digit : 'a' + digit - 10));
        value /= radix;
    } while (value);
    if (negative)
        out.insert(out.begin(), '-');
    return out;
}

static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Length of the decimal number at s[i] ([sign] digits [. digits] [e [sign] digits]),
// 0 when there is none.
static size_t DecimalLength(const std::string& s, size_t i) {
    size_t start = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t mantissa = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++mantissa;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++mantissa;
        }
    }
    if (mantissa == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && IsDigit(s[j])) {
            while (j < s.size() && IsDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i - start;
}

static double ParseDecimal(const std::string& s, size_t start, size_t length) {
    std::string part = s.substr(start, length);
    return std::strtod(part.c_str(), nullptr);
}

double StringToNumber(const std::string& s, int version) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    if (i == s.size())
        return NAN;
    bool negative = false;
    size_t j = i;
    if (s[j] == '-' || s[j] == '+') {
        negative = s[j] == '-';
        ++j;
    }
    // Hexadecimal ("0x1F") and octal ("017") texts count from version 6 on,
    // and only without leading white space.
    bool prefixes = version >= 6 && i == 0;
    if (prefixes && j + 1 < s.size() && s[j] == '0' && (s[j + 1] == 'x' || s[j + 1] == 'X')) {
        size_t k = j + 2;
        // "0x-10" is -16: the sign may also follow the prefix.
        if (k < s.size() && (s[k] == '-' || s[k] == '+')) {
            negative = negative != (s[k] == '-');
            ++k;
        }
        if (k == s.size())
            return NAN;
        uint32_t value = 0;
        for (; k < s.size(); ++k) {
            int digit = HexDigitValue(s[k]);
            if (digit < 0)
                return NAN;
            value = value * 16 + static_cast<uint32_t>(digit);
        }
        double result = static_cast<int32_t>(value);
        return negative ? -result : result;
    }
    if (prefixes && j + 1 < s.size() && s[j] == '0') {
        bool octal = true;
        uint32_t value = 0;
        for (size_t k = j + 1; k < s.size() && octal; ++k) {
            octal = s[k] >= '0' && s[k] <= '7';
            value = value * 8 + static_cast<uint32_t>(s[k] - '0');
        }
        if (octal) {
            double result = static_cast<int32_t>(value);
            return negative ? -result : result;
        }
    }
    size_t length = DecimalLength(s, i);
    if (length == 0 || i + length != s.size())
        return NAN;
    return ParseDecimal(s, i, length);
}

double StringToNumberSwf4(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    size_t length = DecimalLength(s, i);
    return length ? ParseDecimal(s, i, length) : 0;
}

double ParseFloatPrefix(const std::string& s) {
    // The players' own reading: digits accumulate one by one (fraction
    // digits as digit times a shrinking scale), a second point is skipped
    // and then takes the exponent away, the exponent wraps as a 32-bit
    // integer.
    size_t i = 0;
    while (i < s.size() && IsSpace(s[i]))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    double whole = 0, fraction = 0, scale = 0.1;
    bool point = false, secondPoint = false;
    size_t digits = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (IsDigit(c)) {
            if (!point) {
                whole = whole * 10 + (c - '0');
            } else {
                fraction += (c - '0') * scale;
                scale /= 10;
            }
            ++digits;
        } else if (c == '.') {
            if (point)
                secondPoint = true;
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0)
        return NAN;
    double value = whole + fraction;
    if (!secondPoint && i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            negativeExponent = s[j] == '-';
            ++j;
        }
        if (j < s.size() && IsDigit(s[j])) {
            uint32_t exponent = 0;
            for (; j < s.size() && IsDigit(s[j]); ++j)
                exponent = exponent * 10 + static_cast<uint32_t>(s[j] - '0');
            double e = static_cast<int32_t>(exponent);
            value *= std::pow(10.0, negativeExponent ? -e : e);
        }
    }
    return negative ? -value : value;
}

int32_t DoubleToInt32(double n) { return static_cast<int32_t>(DoubleToUint32(n)); }

uint32_t DoubleToUint32(double n) {
    if (!std::isfinite(n))
        return 0;
    double t = std::trunc(n);
    double m = std::fmod(t, 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    return static_cast<uint32_t>(m);
}

double DoubleToInteger(double n) {
    if (std::isnan(n))
        return 0;
    return std::trunc(n);
}

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool EqualNames(const std::string& a, const std::string& b, bool caseSensitive) {
    if (caseSensitive)
        return a == b;
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

std::string FoldName(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        c = FoldCase(c);
    return out;
}

} // namespace avm1
