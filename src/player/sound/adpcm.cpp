#include "player/sound/adpcm.h"

#include <algorithm>

namespace snd {

const int16_t kAdpcmSteps[89] = {
    7,    8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,   28,
    31,   34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,  118,
    130,  143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,  494,
    544,  598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878, 2066,
    2272, 2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845, 8630,
    9493, 10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const int8_t* AdpcmIndexTable(int bits) {
    // Only the lower half: the sign bit does not change the index.
    static const int8_t t2[2] = {-1, 2};
    static const int8_t t3[4] = {-1, -1, 2, 4};
    static const int8_t t4[8] = {-1, -1, -1, -1, 2, 4, 6, 8};
    static const int8_t t5[16] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
    switch (bits) {
    case 2:
        return t2;
    case 3:
        return t3;
    case 4:
        return t4;
    default:
        return t5;
    }
}

namespace {

// Most significant bit first, n up to 24 at a time.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    uint64_t BitsLeft() const { return (uint64_t(size_ - pos_) << 3) + count_; }
    uint32_t Read(int n) {
        while (count_ < n) {
            acc_ = (acc_ << 8) | (pos_ < size_ ? data_[pos_++] : 0);
            count_ += 8;
        }
        count_ -= n;
        return static_cast<uint32_t>(acc_ >> count_) & ((1u << n) - 1);
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    uint64_t acc_ = 0;
    int count_ = 0;
};

struct Channel {
    int sample = 0;
    int index = 0;
};

inline int16_t DecodeCode(Channel* c, uint32_t code, int bits, const int8_t* indexTable) {
    const uint32_t sign = 1u << (bits - 1);
    const int step = kAdpcmSteps[c->index];
    int diff = step >> (bits - 1);
    int shift = 0;
    for (uint32_t mask = sign >> 1; mask; mask >>= 1, ++shift) {
        if (code & mask)
            diff += step >> shift;
    }
    c->sample += (code & sign) ? -diff : diff;
    c->sample = std::clamp(c->sample, -32768, 32767);
    c->index = std::clamp(c->index + indexTable[code & (sign - 1)], 0, 88);
    return static_cast<int16_t>(c->sample);
}

} // namespace

size_t SndAdpcmDecode(const uint8_t* data, size_t size, int channels, size_t maxFrames, std::vector<int16_t>* out,
                      size_t* padding) {
    if (padding)
        *padding = 0;
    if (!data || channels < 1 || channels > 2)
        return 0;
    BitReader r(data, size);
    if (r.BitsLeft() < 2)
        return 0;
    const int bits = static_cast<int>(r.Read(2)) + 2;
    const int8_t* indexTable = AdpcmIndexTable(bits);
    // Reserve by what the data can hold, never by what a header claims.
    const uint64_t possible = r.BitsLeft() / (uint64_t(bits) * channels) + 1;
    out->reserve(out->size() + static_cast<size_t>(std::min<uint64_t>(possible, maxFrames)) * channels);

    size_t frames = 0;
    size_t codeFrames = 0; // in the packet being read
    const uint64_t frameBits = uint64_t(bits) * channels;
    auto trailing = [&] {
        // Frames whose bits all lie past the last whole byte but one.
        const uint64_t used = (uint64_t(size) << 3) - r.BitsLeft();
        const uint64_t lastByte = (uint64_t(size) - 1) << 3;
        if (padding && used > lastByte)
            *padding = static_cast<size_t>(std::min<uint64_t>((used - lastByte - 1) / frameBits, codeFrames));
        return frames;
    };
    Channel ch[2];
    while (frames < maxFrames && r.BitsLeft() >= 22u * channels) {
        for (int c = 0; c < channels; ++c) {
            ch[c].sample = static_cast<int16_t>(r.Read(16));
            ch[c].index = static_cast<int>(r.Read(6)); // 0..63, inside the table
            out->push_back(static_cast<int16_t>(ch[c].sample));
        }
        ++frames;
        codeFrames = 0;
        for (int i = 0; i < 4095 && frames < maxFrames; ++i) {
            if (r.BitsLeft() < frameBits)
                return trailing();
            for (int c = 0; c < channels; ++c)
                out->push_back(DecodeCode(&ch[c], r.Read(bits), bits, indexTable));
            ++frames;
            ++codeFrames;
        }
    }
    return frames < maxFrames ? trailing() : frames;
}

} // namespace snd
