// SwfReader: bounded little-endian and bit-field reading over a byte range
// that it does not own. Every read past the end yields zero and sets a sticky
// failure flag instead of touching memory beyond the range, so a parser may
// read a whole record and check Failed() once afterwards.
//
// Byte reads first drop any partly consumed bit buffer (fields in SWF are
// byte-aligned after bit-packed records).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class SwfReader {
public:
    SwfReader() = default;
    SwfReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    int16_t S16() { return static_cast<int16_t>(U16()); }
    // 8.8 and 16.16 fixed-point numbers.
    float Fixed8() { return S16() / 256.0f; }
    float Fixed16() { return static_cast<int32_t>(U32()) / 65536.0f; }
    float Float32();
    // Variable-length encoded 32-bit integer.
    uint32_t EncodedU32();

    // Bit fields, most significant bit first; n up to 32.
    uint32_t UB(int n);
    int32_t SB(int n);
    // Signed 16.16 fixed-point bit field.
    float FB(int n) { return SB(n) / 65536.0f; }
    void Align() { bitCount_ = 0; }

    // A zero-terminated string; on a missing terminator, the rest of the range.
    std::string String();
    // Points at the next n bytes and moves past them; false (and failure) when fewer remain.
    bool Bytes(size_t n, const uint8_t** out);
    void Skip(size_t n);

    size_t Position() const { return pos_; }
    size_t Remaining() const { return size_ - pos_; }
    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }
    bool AtEnd() const { return pos_ >= size_; }
    bool Failed() const { return failed_; }
    // Marks the data as unusable (a parser found a value it cannot accept).
    void Fail() { failed_ = true; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
    uint32_t bits_ = 0; // unread bits of the current byte, in the low bitCount_ bits
    int bitCount_ = 0;
    bool failed_ = false;
};
