#include "image/dibrle.h"

#include <cstdint>
#include <cstring>

namespace {

// Output positions are 64-bit: end-of-line escapes may push the row start
// beyond the picture, and no count of them may wrap it back inside.
struct RleOutput {
    BYTE* data;
    uint64_t size;
    uint64_t pos = 0;
    uint64_t rowStart = 0;
    int lowHalf = 0; // RLE4: the next pixel goes to the low nibble

    // RLE4: one pixel at the current half byte; false when outside.
    bool PutNibble(int value) {
        if (pos >= size)
            return false;
        if (lowHalf) {
            data[pos] = static_cast<BYTE>(data[pos] | (value & 0x0F));
            ++pos;
        } else {
            data[pos] = static_cast<BYTE>(value << 4);
        }
        lowHalf ^= 1;
        return true;
    }
};

int DecodeRle(DIBIMAGE* image, DWORD length, bool fourBit) {
    uint64_t size = static_cast<uint64_t>(image->stride) * static_cast<uint64_t>(image->info.biHeight);
    // Cleared, so that pixels the data skips come out as index 0.
    BYTE* plain = static_cast<BYTE*>(AllocZeroed(static_cast<size_t>(size)));
    if (!plain)
        return IMG_ERR_MEMORY;
    const BYTE* src = image->bits;
    const uint64_t stride = image->stride;
    RleOutput out{plain, size};
    uint64_t s = 0;
    int result = IMG_ERR_FORMAT;
    for (;;) {
        if (s + 1 >= length)
            break; // truncated, or no end of bitmap
        int first = src[s];
        int second = src[s + 1];
        if (first) {
            if (fourBit) {
                bool inside = true;
                for (int i = 0; i < first && inside; ++i)
                    inside = out.PutNibble((i & 1) ? second & 0x0F : second >> 4);
                if (!inside)
                    break;
            } else {
                if (out.pos + first > size)
                    break;
                std::memset(plain + out.pos, second, first);
                out.pos += first;
            }
            s += 2;
        } else if (second == 0) {
            out.rowStart += stride;
            out.pos = out.rowStart;
            out.lowHalf = 0;
            s += 2;
        } else if (second == 1) {
            result = IMG_OK;
            break;
        } else if (second == 2) {
            if (s + 3 >= length)
                break;
            uint64_t dx = src[s + 2];
            uint64_t dy = src[s + 3];
            if (fourBit) {
                out.pos += (out.lowHalf + dx) / 2;
                out.lowHalf = static_cast<int>((out.lowHalf + dx) & 1);
            } else {
                out.pos += dx;
            }
            out.pos += dy * stride;
            out.rowStart += dy * stride;
            if (out.pos > size)
                break; // a move outside the picture
            s += 4;
        } else {
            int count = second;
            if (fourBit) {
                uint64_t bytes = (count + 1) / 2;
                bool inside = true;
                for (int i = 0; i < count && inside; ++i) {
                    uint64_t at = s + 2 + i / 2;
                    inside = at < length && out.PutNibble((i & 1) ? src[at] & 0x0F : src[at] >> 4);
                }
                if (!inside)
                    break;
                s += 2 + bytes + (bytes & 1);
            } else {
                if (s + 2 + count > length || out.pos + count > size)
                    break;
                std::memcpy(plain + out.pos, src + s + 2, count);
                out.pos += count;
                s += 2 + count + (count & 1);
            }
        }
    }
    if (result != IMG_OK) {
        FreeAlloc(plain);
        return result;
    }
    FreeAlloc(image->bits);
    image->bits = plain;
    image->info.biCompression = BI_RGB;
    image->info.biSizeImage = 0;
    return IMG_OK;
}

// Appends units to the encoded buffer while they fit with 8 bytes to spare.
struct RleSink {
    BYTE* data;
    size_t limit;
    size_t used = 0;
    bool full = false;

    void Put(const BYTE* bytes, size_t count) {
        if (full || count > limit || used > limit - count) {
            full = true;
            return;
        }
        std::memcpy(data + used, bytes, count);
        used += count;
    }
    void Unit(int first, int second) {
        BYTE unit[2] = {static_cast<BYTE>(first), static_cast<BYTE>(second)};
        Put(unit, 2);
    }
};

// One row's pixel values (one per byte) into units for 8 or 4 bits per pixel.
class RowEncoder {
public:
    RowEncoder(bool fourBit, BYTE* scratch) : fourBit_(fourBit), scratch_(scratch) {}

    // Runs of three or more equal pixels as encoded runs, the rest as
    // absolute runs; returns the encoded length.
    size_t Mixed(const BYTE* pixels, int width) {
        used_ = 0;
        int i = 0;
        while (i < width) {
            int run = RunAt(pixels, i, width);
            if (run >= 3) {
                Encoded(run, pixels[i]);
                i += run;
                continue;
            }
            int j = i;
            while (j < width && j - i < 255 && RunAt(pixels, j, width) < 3)
                ++j;
            Literal(pixels + i, j - i);
            i = j;
        }
        return used_;
    }

    // Absolute runs only, for rows that mixed runs would make longer.
    size_t Absolute(const BYTE* pixels, int width) {
        used_ = 0;
        for (int i = 0; i < width;) {
            int count = width - i < 255 ? width - i : 255;
            Literal(pixels + i, count);
            i += count;
        }
        return used_;
    }

private:
    static int RunAt(const BYTE* pixels, int i, int width) {
        int run = 1;
        while (i + run < width && run < 255 && pixels[i + run] == pixels[i])
            ++run;
        return run;
    }

    void Byte(int value) { scratch_[used_++] = static_cast<BYTE>(value); }

    void Encoded(int count, int value) {
        Byte(count);
        Byte(fourBit_ ? (value << 4) | value : value);
    }

    // An absolute run needs three pixels at least; shorter pieces become
    // encoded runs of one or two equal pixels.
    void Literal(const BYTE* pixels, int count) {
        if (count < 3) {
            for (int i = 0; i < count;) {
                int run = (i + 1 < count && pixels[i + 1] == pixels[i]) ? 2 : 1;
                Encoded(run, pixels[i]);
                i += run;
            }
            return;
        }
        Byte(0);
        Byte(count);
        int bytes = 0;
        if (fourBit_) {
            for (int i = 0; i < count; i += 2, ++bytes)
                Byte((pixels[i] << 4) | (i + 1 < count ? pixels[i + 1] : 0));
        } else {
            for (int i = 0; i < count; ++i, ++bytes)
                Byte(pixels[i]);
        }
        if (bytes & 1)
            Byte(0);
    }

    bool fourBit_;
    BYTE* scratch_;
    size_t used_ = 0;
};

BYTE* EncodeRle(const DIBIMAGE* image, DWORD* length, bool fourBit) {
    *length = 0;
    const int width = image->info.biWidth;
    const int height = image->info.biHeight;
    size_t size = static_cast<size_t>(image->stride) * height;
    if (!image->bits || width <= 0 || height <= 0 || size <= 8)
        return nullptr;
    BYTE* data = static_cast<BYTE*>(std::malloc(size));
    // Pixel values of one row, then its encoding: at most two bytes a pixel
    // plus the padding of one absolute run in every 255 pixels.
    BYTE* pixels = static_cast<BYTE*>(std::malloc(width));
    BYTE* units = static_cast<BYTE*>(std::malloc(2 * static_cast<size_t>(width) + 16));
    if (!data || !pixels || !units) {
        FreeAlloc(data);
        FreeAlloc(pixels);
        FreeAlloc(units);
        return nullptr;
    }
    RleSink sink{data, size - 8};
    RowEncoder encoder(fourBit, units);
    const size_t rowBytes = fourBit ? (width + 1) / 2 : width;
    for (int y = 0; y < height && !sink.full; ++y) {
        const BYTE* row = image->bits + static_cast<size_t>(y) * image->stride;
        for (int x = 0; x < width; ++x)
            pixels[x] = fourBit ? ((x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4) : row[x];
        size_t used = encoder.Mixed(pixels, width);
        if (used > rowBytes)
            used = encoder.Absolute(pixels, width);
        sink.Put(units, used);
        sink.Unit(0, 0);
    }
    sink.Unit(0, 1);
    FreeAlloc(pixels);
    FreeAlloc(units);
    if (sink.full) {
        FreeAlloc(data);
        return nullptr;
    }
    *length = static_cast<DWORD>(sink.used);
    return data;
}

} // namespace

int DibDecodeRle8(DIBIMAGE* image, DWORD length) {
    return DecodeRle(image, length, false);
}

int DibDecodeRle4(DIBIMAGE* image, DWORD length) {
    return DecodeRle(image, length, true);
}

BYTE* DibEncodeRle8(const DIBIMAGE* image, DWORD* length) {
    return EncodeRle(image, length, false);
}

BYTE* DibEncodeRle4(const DIBIMAGE* image, DWORD* length) {
    return EncodeRle(image, length, true);
}
