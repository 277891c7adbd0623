#include "player/swfreader.h"

#include <cstring>

uint8_t SwfReader::U8() {
    bitCount_ = 0;
    if (pos_ >= size_) {
        failed_ = true;
        return 0;
    }
    return data_[pos_++];
}

uint16_t SwfReader::U16() {
    bitCount_ = 0;
    if (size_ - pos_ < 2) {
        failed_ = true;
        pos_ = size_;
        return 0;
    }
    uint16_t v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
}

uint32_t SwfReader::U32() {
    bitCount_ = 0;
    if (size_ - pos_ < 4) {
        failed_ = true;
        pos_ = size_;
        return 0;
    }
    uint32_t v = static_cast<uint32_t>(data_[pos_]) | static_cast<uint32_t>(data_[pos_ + 1]) << 8 |
                 static_cast<uint32_t>(data_[pos_ + 2]) << 16 | static_cast<uint32_t>(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
}

float SwfReader::Float32() {
    uint32_t bits = U32();
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

uint32_t SwfReader::EncodedU32() {
    uint32_t value = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t b = U8();
        value |= static_cast<uint32_t>(b & 0x7F) << (7 * i);
        if (!(b & 0x80))
            break;
    }
    return value;
}

uint32_t SwfReader::UB(int n) {
    uint32_t value = 0;
    while (n > 0) {
        if (bitCount_ == 0) {
            if (pos_ >= size_) {
                failed_ = true;
                return 0;
            }
            bits_ = data_[pos_++];
            bitCount_ = 8;
        }
        int take = n < bitCount_ ? n : bitCount_;
        uint32_t chunk = (bits_ >> (bitCount_ - take)) & ((1u << take) - 1);
        // A shift by 32 is undefined; take is at most 8, so value << take is safe.
        value = (value << take) | chunk;
        bitCount_ -= take;
        n -= take;
    }
    return value;
}

int32_t SwfReader::SB(int n) {
    if (n <= 0)
        return 0;
    uint32_t v = UB(n);
    if (n < 32 && (v & (1u << (n - 1))))
        v |= ~0u << n;
    return static_cast<int32_t>(v);
}

std::string SwfReader::String() {
    bitCount_ = 0;
    size_t start = pos_;
    while (pos_ < size_ && data_[pos_] != 0)
        ++pos_;
    std::string s(reinterpret_cast<const char*>(data_ + start), pos_ - start);
    if (pos_ < size_)
        ++pos_;
    return s;
}

bool SwfReader::Bytes(size_t n, const uint8_t** out) {
    bitCount_ = 0;
    if (size_ - pos_ < n) {
        failed_ = true;
        pos_ = size_;
        *out = nullptr;
        return false;
    }
    *out = data_ + pos_;
    pos_ += n;
    return true;
}

void SwfReader::Skip(size_t n) {
    bitCount_ = 0;
    if (size_ - pos_ < n) {
        failed_ = true;
        pos_ = size_;
        return;
    }
    pos_ += n;
}
