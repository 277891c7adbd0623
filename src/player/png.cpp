#include "player/png.h"

#include <cstdlib>
#include <cstring>

namespace {

uint32_t Be32(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

uint8_t Paeth(int a, int b, int c) {
    int p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

} // namespace

bool IsPng(const uint8_t* data, size_t size) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    return size >= 8 && memcmp(data, signature, 8) == 0;
}

bool DecodePng(const uint8_t* data, size_t size, Bitmap* out) {
    *out = Bitmap();
    if (!IsPng(data, size))
        return false;
    uint32_t width = 0, height = 0;
    int depth = 0, type = -1, interlace = 0;
    uint32_t palette[256];
    for (uint32_t& p : palette)
        p = 0xFF000000u;
    int paletteSize = 0;
    int transparentGrey = -1, transparentR = -1, transparentG = -1, transparentB = -1;
    std::vector<uint8_t> packed;
    size_t pos = 8;
    while (pos + 12 <= size) {
        uint32_t length = Be32(data + pos);
        const uint8_t* kind = data + pos + 4;
        const uint8_t* body = data + pos + 8;
        if (length > size - pos - 12)
            break; // a cut chunk: use what came before it
        if (memcmp(kind, "IHDR", 4) == 0 && length >= 13) {
            width = Be32(body);
            height = Be32(body + 4);
            depth = body[8];
            type = body[9];
            interlace = body[12];
        } else if (memcmp(kind, "PLTE", 4) == 0) {
            paletteSize = static_cast<int>(length / 3 > 256 ? 256 : length / 3);
            for (int i = 0; i < paletteSize; ++i)
                palette[i] = 0xFF000000u | body[3 * i] << 16 | body[3 * i + 1] << 8 | body[3 * i + 2];
        } else if (memcmp(kind, "tRNS", 4) == 0) {
            if (type == 3) {
                for (uint32_t i = 0; i < length && i < 256; ++i) {
                    uint32_t a = body[i], c = palette[i];
                    uint32_t r = ((c >> 16) & 255) * a / 255, g = ((c >> 8) & 255) * a / 255, b = (c & 255) * a / 255;
                    palette[i] = a << 24 | r << 16 | g << 8 | b;
                }
            } else if (type == 0 && length >= 2) {
                transparentGrey = body[1];
            } else if (type == 2 && length >= 6) {
                transparentR = body[1];
                transparentG = body[3];
                transparentB = body[5];
            }
        } else if (memcmp(kind, "IDAT", 4) == 0) {
            packed.insert(packed.end(), body, body + length);
        } else if (memcmp(kind, "IEND", 4) == 0) {
            break;
        }
        pos += 12 + length;
    }
    int channels = type == 0 ? 1 : type == 2 ? 3 : type == 3 ? 1 : type == 4 ? 2 : type == 6 ? 4 : 0;
    bool depthOk = depth == 8 || ((type == 0 || type == 3) && (depth == 1 || depth == 2 || depth == 4));
    if (!channels || !depthOk || interlace != 0 || !BitmapSizeAllowed(width, height))
        return false;
    size_t bitsPerPixel = static_cast<size_t>(channels) * depth;
    size_t stride = (width * bitsPerPixel + 7) / 8;
    size_t bpp = (bitsPerPixel + 7) / 8; // bytes to the left pixel for the filters
    std::vector<uint8_t> raw;
    InflateBounded(packed.data(), packed.size(), (stride + 1) * height, &raw);
    raw.resize((stride + 1) * height, 0);
    out->width = static_cast<int>(width);
    out->height = static_cast<int>(height);
    out->pixels.assign(static_cast<size_t>(width) * height, 0);
    std::vector<uint8_t> previous(stride, 0), line(stride);
    bool opaque = true;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = raw.data() + y * (stride + 1);
        uint8_t filter = src[0];
        for (size_t i = 0; i < stride; ++i) {
            int a = i >= bpp ? line[i - bpp] : 0, b = previous[i], c = i >= bpp ? previous[i - bpp] : 0;
            int x = src[1 + i];
            switch (filter) {
            case 1: x += a; break;
            case 2: x += b; break;
            case 3: x += (a + b) / 2; break;
            case 4: x += Paeth(a, b, c); break;
            default: break;
            }
            line[i] = static_cast<uint8_t>(x);
        }
        uint32_t* dst = out->pixels.data() + static_cast<size_t>(y) * width;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t r, g, b, a = 255;
            if (depth < 8) {
                int perByte = 8 / depth;
                int shift = 8 - depth * (1 + static_cast<int>(x % perByte));
                int v = (line[x / perByte] >> shift) & ((1 << depth) - 1);
                if (type == 3) {
                    dst[x] = palette[v];
                    opaque = opaque && (palette[v] >> 24) == 255;
                    continue;
                }
                r = g = b = static_cast<uint32_t>(v * 255 / ((1 << depth) - 1));
                if (v == transparentGrey)
                    a = 0;
            } else {
                const uint8_t* p = line.data() + x * channels;
                if (type == 3) {
                    dst[x] = palette[p[0]];
                    opaque = opaque && (palette[p[0]] >> 24) == 255;
                    continue;
                }
                if (type == 0 || type == 4) {
                    r = g = b = p[0];
                    if (type == 4)
                        a = p[1];
                    else if (p[0] == transparentGrey)
                        a = 0;
                } else {
                    r = p[0];
                    g = p[1];
                    b = p[2];
                    if (type == 6)
                        a = p[3];
                    else if (static_cast<int>(r) == transparentR && static_cast<int>(g) == transparentG &&
                             static_cast<int>(b) == transparentB)
                        a = 0;
                }
            }
            opaque = opaque && a == 255;
            dst[x] = a << 24 | (r * a / 255) << 16 | (g * a / 255) << 8 | b * a / 255;
        }
        previous.swap(line);
        line.assign(stride, 0);
    }
    out->opaque = opaque;
    return true;
}
