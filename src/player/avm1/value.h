// Script values and the conversions between primitives that need no running
// script: number to text, text to number, the integer casts of the bitwise
// operators.
//
// A Value is undefined, null, a boolean, a number, a string or a reference to
// an Object (a movie clip reference is an Object of kind CLIP). Values are
// plain copies; the Object they refer to belongs to the Heap (heap.h), which
// frees it once nothing reachable refers to it. Strings are 8-bit: UTF-8 from
// version 6 on, the movie's code page before (kept byte for byte).
//
// Conversions that may call script (toString, valueOf) live in the Runtime;
// these functions are their primitive parts.
#pragma once

#include <cstdint>
#include <string>

namespace avm1 {

class Object;

enum class Type : uint8_t { UNDEFINED, NUL, BOOLEAN, NUMBER, STRING, OBJECT };

struct Value {
    Type type = Type::UNDEFINED;
    bool boolean = false;
    double number = 0;
    Object* object = nullptr;
    std::string string;

    Value() = default;
    Value(bool b) : type(Type::BOOLEAN), boolean(b) {}
    Value(double n) : type(Type::NUMBER), number(n) {}
    Value(int n) : type(Type::NUMBER), number(n) {}
    Value(const std::string& s) : type(Type::STRING), string(s) {}
    Value(std::string&& s) : type(Type::STRING), string(std::move(s)) {}
    Value(const char* s) : type(Type::STRING), string(s) {}
    Value(Object* o) : type(o ? Type::OBJECT : Type::NUL), object(o) {}

    static Value Null() {
        Value v;
        v.type = Type::NUL;
        return v;
    }

    bool IsUndefined() const { return type == Type::UNDEFINED; }
    bool IsNull() const { return type == Type::NUL; }
    bool IsNullish() const { return type == Type::UNDEFINED || type == Type::NUL; }
    bool IsNumber() const { return type == Type::NUMBER; }
    bool IsString() const { return type == Type::STRING; }
    bool IsObject() const { return type == Type::OBJECT; }
    bool IsPrimitive() const { return type != Type::OBJECT; }
};

// The text of a number as scripts see it: up to 15 significant digits,
// exponent form from 1e15 up and below 1e-5, "NaN", "Infinity", "-Infinity".
std::string NumberToString(double n);
// Integer text in the given radix (2 to 36), as Number.toString(radix) gives.
std::string NumberToRadixString(double n, int radix);

// Text to number as the arithmetic actions read it (version 5 on): optional
// leading white space, sign, decimal digits with fraction and exponent, and
// from version 6 "0x" hexadecimal and "0" octal integers (as 32-bit signed,
// and only when the text starts with them or their sign);
// anything else is NaN. The empty string is NaN.
double StringToNumber(const std::string& s, int version);
// The version 4 reading: a leading number, the rest ignored, 0 when none.
double StringToNumberSwf4(const std::string& s);
// parseFloat: the longest leading decimal number, NaN when none.
double ParseFloatPrefix(const std::string& s);

// ECMA ToInt32 / ToUint32 on an already converted number.
int32_t DoubleToInt32(double n);
uint32_t DoubleToUint32(double n);
// Truncation towards zero; NaN gives 0, infinities stay.
double DoubleToInteger(double n);

// The value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);

// ASCII case folding for the names of versions before 7.
char FoldCase(char c);
bool EqualNames(const std::string& a, const std::string& b, bool caseSensitive);
std::string FoldName(const std::string& s);

} // namespace avm1
