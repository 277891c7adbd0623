// Packs hand-written bit fields into bytes, most significant bit first, for
// the parser fixtures.
#pragma once

#include <cstdint>
#include <vector>

struct BitPacker {
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    int used = 0;
    BitPacker& Put(int32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            acc = acc << 1 | ((static_cast<uint32_t>(value) >> i) & 1);
            if (++used == 8) {
                bytes.push_back(static_cast<uint8_t>(acc));
                acc = 0;
                used = 0;
            }
        }
        return *this;
    }
    BitPacker& Byte(uint8_t b) {
        Align();
        bytes.push_back(b);
        return *this;
    }
    BitPacker& Align() {
        while (used)
            Put(0, 1);
        return *this;
    }
};
