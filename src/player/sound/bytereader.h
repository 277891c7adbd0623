// ByteReader: little-endian reading over a byte range it does not own. A read
// past the end yields zero and sets a sticky failure flag, so a parser reads a
// record and checks Failed() once. Kept apart from the player's reader because
// the sound library links nothing of the player.
#pragma once

#include <cstddef>
#include <cstdint>

namespace snd {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}

    uint8_t U8() { return Has(1) ? data_[pos_++] : 0; }
    uint16_t U16() {
        if (!Has(2))
            return 0;
        uint16_t v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t U32() {
        uint32_t lo = U16();
        return lo | static_cast<uint32_t>(U16()) << 16;
    }
    int16_t S16() { return static_cast<int16_t>(U16()); }
    void Skip(size_t n) {
        if (Has(n))
            pos_ += n;
    }

    size_t Remaining() const { return size_ - pos_; }
    const uint8_t* Here() const { return data_ + pos_; }
    bool Failed() const { return failed_; }

private:
    bool Has(size_t n) {
        if (size_ - pos_ >= n)
            return true;
        pos_ = size_;
        failed_ = true;
        return false;
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    bool failed_ = false;
};

} // namespace snd
