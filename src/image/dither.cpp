#include "image/dither.h"

#include "image/dibdraw.h"
#include "image/palette.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int RANGE_BYTES = 768;
constexpr int ERROR_LIMIT_ENTRIES = 512;

int Percent(long long pos, long long total) {
    return total > 0 ? static_cast<int>(pos * 100 / total) : 0;
}

int OutputDepth(int entries) {
    return entries > 16 ? 8 : entries > 2 ? 4 : 1;
}

void FillErrorLimit(LONG* limit, int levels) {
    // Slope 1 up to q, then 1/2 up to 2q, 1/4 up to 3q, ...
    const int q = 256 >> (levels - 1);
    limit[0] = 0;
    LONG out = 1;
    int step = 1;
    int countdown = 1;
    for (int i = 1; i <= 255; ++i) {
        limit[i] = out;
        limit[-i] = -out;
        if (--countdown == 0) {
            countdown = step;
            ++out;
        }
        if (step < 256 && i % q == 0)
            step *= 2;
    }
}

// Writes palette indices into an output row at 8, 4 or 1 bits per pixel.
template <int Depth> struct RowWriter {
    BYTE* out;
    int bit = 7;

    void Put(int x, int index) {
        if (Depth == 8) {
            out[x] = static_cast<BYTE>(index);
        } else if (Depth == 4) {
            BYTE& byte = out[x >> 1];
            if (x & 1)
                byte = static_cast<BYTE>((byte & 0xF0) | (index & 0x0F));
            else
                byte = static_cast<BYTE>((byte & 0x0F) | (index << 4));
        } else {
            BYTE& byte = out[x >> 3];
            if (bit == 7)
                byte = 0;
            byte = static_cast<BYTE>(byte | ((index & 1) << bit));
            if (--bit < 0)
                bit = 7;
        }
    }
};

// The two error rows: width + 2 slots of red, green, blue; slot x of a row is
// at (x + 1) * 3, with a guard slot at each end.
struct ErrorRows {
    LONG* first;
    LONG* second;
};

// Spreads a pixel's error: 7 to the right, 3, 5, 1 below left, below, below right.
inline void Spread(LONG* current, LONG* next, int channel, LONG e) {
    current[3 + channel] += 7 * e;
    next[-3 + channel] += 3 * e;
    next[channel] += 5 * e;
    next[3 + channel] += e;
}

// The engine's frame, the same in both modes: rows in storage order, pixels
// left to right, the transparent colour, the error read back, the entry and
// the error passed on. The mode decides what is transparent, how the error is
// limited and how the entry is found.
template <int Depth, typename Mode>
int Engine(DITHER* d, DIBIMAGE* image, DWORD newStride, ErrorRows rows, Mode& mode) {
    const PALETTEENTRY* palette = d->source->palette->palPalEntry;
    const int width = image->info.biWidth;
    const int height = image->info.biHeight;
    for (int y = 0; y < height; ++y) {
        image->progressPos = y;
        if (d->progress && d->progress(Percent(y, image->progressTotal), d->progressData))
            return IMG_ERR_CANCELLED;
        LONG* current = (y & 1) ? rows.second : rows.first;
        LONG* next = (y & 1) ? rows.first : rows.second;
        const BYTE* in = image->bits + static_cast<size_t>(y) * image->stride;
        RowWriter<Depth> writer{image->bits + static_cast<size_t>(y) * newStride};
        for (int x = 0; x < width; ++x) {
            if (image->cancel)
                return IMG_ERR_CANCELLED;
            const BYTE* p = in + 3 * x;
            int blue = p[0], green = p[1], red = p[2];
            LONG* slot = current + 3 * (x + 1);
            LONG* below = next + 3 * (x + 1);
            if (mode.IsKey(red, green, blue)) {
                // The reserved entry, and no error passed on.
                writer.Put(x, mode.keyIndex);
                slot[0] = slot[1] = slot[2] = 0;
                continue;
            }
            red = mode.WithError(red, slot[0]);
            green = mode.WithError(green, slot[1]);
            blue = mode.WithError(blue, slot[2]);
            slot[0] = slot[1] = slot[2] = 0;
            int index = mode.Index(red, green, blue);
            const PALETTEENTRY& entry = palette[index];
            writer.Put(x, index);
            Spread(slot, below, 0, red - entry.peRed);
            Spread(slot, below, 1, green - entry.peGreen);
            Spread(slot, below, 2, blue - entry.peBlue);
        }
    }
    return IMG_OK;
}

// Entries found through the source's tree, answers cached per key cell.
struct OctreeMode {
    explicit OctreeMode(DITHER* dither)
        : d(dither), q(dither->source), keyIndex(q->hiddenIndex), twoEntries(q->palette->palNumEntries == 2) {}

    bool IsKey(int red, int green, int blue) const {
        return keyIndex > -1 && red == d->transparentRed && green == d->transparentGreen && blue == d->transparentBlue;
    }
    int WithError(int value, LONG error) const { return d->rangeLimit[value + d->errorLimit[error >> 4]]; }
    int Index(int red, int green, int blue) {
        if (twoEntries)
            return (red + green + blue) / 384;
        DWORD key = ((static_cast<DWORD>(blue) >> d->blueShift) << d->bluePosition) |
                    ((static_cast<DWORD>(green) >> d->greenShift) << d->greenPosition) |
                    ((static_cast<DWORD>(red) >> d->redShift) << d->redPosition);
        if (d->cache[key] < 0)
            d->cache[key] = static_cast<SHORT>(QuantFindNearest(q, red, green, blue, -1));
        return d->cache[key];
    }

    DITHER* d;
    QUANTIZER* q;
    int keyIndex;
    bool twoEntries;
};

// Entries computed as cells of a uniform colour cube, through cubeMap.
struct CubeMode {
    CubeMode(DITHER* dither, const DIBIMAGE* image)
        : d(dither), entries(dither->source->palette->palNumEntries), firstIndex(dither->source->firstIndex),
          key(image->transparentColor), transparent(image->transparent != 0) {
        LONG cell = d->transparentCubeIndex;
        keyIndex = d->cubeMap[cell >= 0 && cell < 256 ? cell : 0];
    }

    bool IsKey(int red, int green, int blue) const {
        return transparent && red == GetRValue(key) && green == GetGValue(key) && blue == GetBValue(key);
    }
    int WithError(int value, LONG error) const { return d->rangeLimit[value + (error >> 4)]; }
    int Index(int red, int green, int blue) const {
        // Fields of cube mode: red stride, red step, green stride, green step, blue step.
        int cell = Level(red, d->redPosition, d->bitsRed) * d->redShift +
                   Level(green, d->greenPosition, d->bitsGreen) * d->greenShift +
                   Level(blue, d->blueShift, d->bitsBlue) + firstIndex;
        int index = d->cubeMap[cell >= 0 && cell < 256 ? cell : 0];
        return index >= 0 && index < entries ? index : 0;
    }
    // Large level counts round the step down; the top cell stays in range.
    static int Level(int value, LONG step, LONG levels) {
        int cell = value / step;
        return cell < levels ? cell : levels - 1;
    }

    DITHER* d;
    int entries;
    int firstIndex;
    COLORREF key;
    bool transparent;
    int keyIndex;
};

void Finish(DIBIMAGE* image, const LOGPALETTE* palette) {
    int n = palette->palNumEntries;
    BITMAPINFOHEADER& info = image->info;
    info.biClrUsed = 0;
    info.biClrImportant = 0;
    info.biSizeImage = 0;
    info.biBitCount = static_cast<WORD>(n > 16 ? 8 : n > 2 ? 4 : n > 0 ? 1 : 24);
    image->stride = static_cast<DWORD>(DibStride(info.biWidth, info.biBitCount));
    for (int i = 0; i < n && i < 256; ++i) {
        const PALETTEENTRY& e = palette->palPalEntry[i];
        image->colors[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
    std::memcpy(image->fileColors, image->colors, (n < 256 ? n : 256) * sizeof(RGBQUAD));
    image->colorUse = DIB_RGB_COLORS;
}

// The mask storage holds a bitmap handle at 24 bits and colour tables below.
void DropMaskBitmap(DIBIMAGE* image) {
    if (image->info.biBitCount > 8 && image->hbmMask)
        DeleteObject(image->hbmMask);
    std::memset(image->maskColors, 0, sizeof image->maskColors);
}

} // namespace

int DitherInit(DITHER* d, QUANTIZER* source, BOOL cubeMode, int red, int green, int blue, int levels) {
    d->source = source;
    d->progress = nullptr;
    d->progressData = nullptr;
    d->block = nullptr;
    const bool maskDither = !source && red == 0 && green == 0 && blue == 0;
    if (cubeMode) {
        if (red < 2 || green < 2 || blue < 2 || red > 256 || green > 256 || blue > 256)
            return IMG_ERR_FORMAT;
    } else if (red < 0 || green < 0 || blue < 0 || red > 8 || green > 8 || blue > 8 || levels > 9) {
        return IMG_ERR_FORMAT;
    }
    d->bitsRed = red;
    d->bitsGreen = green;
    d->bitsBlue = blue;
    d->cacheBits = cubeMode ? 0 : red + green + blue;
    d->cacheSize = 1u << d->cacheBits;
    if (maskDither) {
        d->bitsRed = 252;
        d->bitsGreen = 248;
        d->bitsBlue = 248;
    }
    if (cubeMode) {
        d->redShift = d->bitsBlue * d->bitsGreen; // red stride
        d->redPosition = 255 / (d->bitsRed - 1);  // red step
        d->greenShift = d->bitsBlue;              // green stride
        d->greenPosition = 255 / (d->bitsGreen - 1);
        d->blueShift = 255 / (d->bitsBlue - 1);
        d->bluePosition = 0;
    } else {
        d->redShift = 8 - red;
        d->redPosition = 0;
        d->greenShift = 8 - green;
        d->greenPosition = red;
        d->blueShift = 8 - blue;
        d->bluePosition = red + green;
    }

    // The cache is rounded up to whole 32-bit words so that errorLimit stays aligned.
    size_t cacheBytes = cubeMode ? 0 : (2 * static_cast<size_t>(d->cacheSize) + 3) & ~static_cast<size_t>(3);
    size_t size = RANGE_BYTES + (cubeMode ? 0 : cacheBytes + ERROR_LIMIT_ENTRIES * sizeof(LONG));
    BYTE* block = static_cast<BYTE*>(std::malloc(size));
    if (!block)
        return IMG_ERR_MEMORY;
    d->block = block;
    d->rangeLimit = block + 256;
    for (int v = -256; v < 512; ++v)
        d->rangeLimit[v] = static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);

    if (cubeMode) {
        d->cache = nullptr;
        d->errorLimit = nullptr;
        for (int i = 0; i < 256; ++i)
            d->cubeMap[i] = i;
        return IMG_OK;
    }
    d->cache = reinterpret_cast<SHORT*>(block + RANGE_BYTES);
    for (DWORD i = 0; i < d->cacheSize; ++i)
        d->cache[i] = -1;
    d->errorLimit = reinterpret_cast<LONG*>(block + RANGE_BYTES + cacheBytes) + 256;
    std::memset(d->errorLimit - 256, 0, ERROR_LIMIT_ENTRIES * sizeof(LONG));
    if (levels > 0)
        FillErrorLimit(d->errorLimit, levels);
    return IMG_OK;
}

int DitherImage(DITHER* d, DIBIMAGE* image) {
    QUANTIZER* q = d->source;
    // The engine reads three bytes a pixel of every row.
    if (!d->block || !q || !q->palette || q->palette->palNumEntries == 0 || !image->bits ||
        image->info.biBitCount != 24)
        return IMG_ERR_FORMAT;
    image->progressPos = 0;
    image->progressTotal = image->info.biHeight;
    const int entries = q->palette->palNumEntries;
    const int depth = OutputDepth(entries);
    const DWORD newStride = static_cast<DWORD>(DibStride(image->info.biWidth, depth));
    const size_t rowLongs = 3 * (static_cast<size_t>(image->info.biWidth) + 2);
    LONG* errors = static_cast<LONG*>(AllocZeroed(2 * rowLongs * sizeof(LONG)));
    if (!errors)
        return IMG_ERR_MEMORY;
    ErrorRows rows{errors, errors + rowLongs};

    int result;
    if (!d->cache) {
        // One byte a pixel whatever the palette's size.
        CubeMode mode(d, image);
        result = Engine<8>(d, image, newStride, rows, mode);
    } else {
        OctreeMode mode(d);
        if (depth == 8)
            result = Engine<8>(d, image, newStride, rows, mode);
        else if (depth == 4)
            result = Engine<4>(d, image, newStride, rows, mode);
        else
            result = Engine<1>(d, image, newStride, rows, mode);
    }
    FreeAlloc(errors);

    if (result == IMG_OK) {
        DropMaskBitmap(image);
        Finish(image, q->palette);
    }
    if (image->transparent && q->hiddenIndex >= 0)
        image->transparentColor = static_cast<DWORD>(q->hiddenIndex);
    else
        image->transparent = 0;
    // The converted picture draws its transparency through colour tables.
    if (result == IMG_OK && image->transparent)
        DibBuildMaskColors(image);
    return result;
}

void DitherFree(DITHER* d) {
    FreeAlloc(d->block);
    d->cache = nullptr;
    d->errorLimit = nullptr;
    d->rangeLimit = nullptr;
}

int DibExpandTo24(DITHER* d, DIBIMAGE* image) {
    const int bitCount = image->info.biBitCount;
    if (bitCount == 24)
        return IMG_OK;
    const int width = image->info.biWidth;
    const int height = image->info.biHeight;
    image->progressPos = 0;
    image->progressTotal = height;
    // A 24-bit row of this width must fit the stride rule.
    if ((bitCount != 1 && bitCount != 4 && bitCount != 8) || !image->bits || width <= 0 || height <= 0 ||
        width > DibMaxWidth(24))
        return IMG_ERR_FORMAT;
    const DWORD newStride = static_cast<DWORD>(DibStride(width, 24));
    uint64_t size = static_cast<uint64_t>(newStride) * static_cast<uint64_t>(height);
    if (size > 0x7FFFFFFF)
        return IMG_ERR_MEMORY;
    BYTE* expanded = static_cast<BYTE*>(std::malloc(static_cast<size_t>(size)));
    if (!expanded)
        return IMG_ERR_MEMORY;
    for (int y = 0; y < height; ++y) {
        image->progressPos = y;
        bool stop = d && d->progress && d->progress(Percent(y, image->progressTotal), d->progressData);
        const BYTE* row = image->bits + static_cast<size_t>(y) * image->stride;
        BYTE* out = expanded + static_cast<size_t>(y) * newStride;
        for (int x = 0; x < width && !stop; ++x) {
            if (image->cancel) {
                stop = true;
                break;
            }
            int index;
            if (bitCount == 8)
                index = row[x];
            else if (bitCount == 4)
                index = (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
            else
                index = (row[x >> 3] >> (7 - (x & 7))) & 1;
            const RGBQUAD& c = image->fileColors[index];
            out[3 * x] = c.rgbBlue;
            out[3 * x + 1] = c.rgbGreen;
            out[3 * x + 2] = c.rgbRed;
        }
        if (stop) {
            FreeAlloc(expanded);
            return IMG_ERR_CANCELLED;
        }
    }
    FreeAlloc(image->bits);
    image->bits = expanded;
    DWORD wasTransparent = image->transparent;
    if (wasTransparent) {
        const RGBQUAD& c = image->fileColors[image->transparentColor & 0xFF];
        image->transparentColor = RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    // The colour tables of the mask give way to a mask bitmap.
    std::memset(image->maskColors, 0, sizeof image->maskColors);
    BITMAPINFOHEADER& info = image->info;
    info.biBitCount = 24;
    info.biClrUsed = 0;
    info.biClrImportant = 0;
    info.biSizeImage = 0;
    image->stride = newStride;
    image->colorUse = DIB_RGB_COLORS;
    if (wasTransparent)
        DibBuildMaskBitmap(image);
    return IMG_OK;
}

void DitherSetTransparent(DITHER* d, DIBIMAGE* image) {
    if (image->transparent) {
        if (image->info.biBitCount <= 8) {
            const RGBQUAD& c = image->fileColors[image->transparentColor & 0xFF];
            d->transparentRed = c.rgbRed;
            d->transparentGreen = c.rgbGreen;
            d->transparentBlue = c.rgbBlue;
        } else {
            d->transparentRed = GetRValue(image->transparentColor);
            d->transparentGreen = GetGValue(image->transparentColor);
            d->transparentBlue = GetBValue(image->transparentColor);
        }
    }
    if (!d->source)
        return;
    QuantShowHidden(d->source);
    if (image->transparent)
        QuantHideNearest(d->source, d->transparentRed, d->transparentGreen, d->transparentBlue);
}

void DitherSetProgress(DITHER* d, PROGRESSPROC proc, void* data) {
    d->progress = proc;
    d->progressData = data;
}

int DitherBuildCubeMap(DITHER* d) {
    QUANTIZER* source = d->source;
    if (!source || !source->palette)
        return IMG_ERR_FORMAT;
    int entries = source->palette->palNumEntries;
    if (entries > 256)
        return IMG_ERR_MEMORY;
    RGBQUAD table[256];
    for (int i = 0; i < entries; ++i) {
        const PALETTEENTRY& e = source->palette->palPalEntry[i];
        table[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
    }
    QUANTIZER cube = {};
    if (!QuantMakeCubePalette(&cube, d->bitsRed, d->bitsGreen, d->bitsBlue, FALSE))
        return IMG_ERR_MEMORY;
    const int cells = d->bitsRed * d->bitsGreen * d->bitsBlue;
    for (int j = 0; j < cells && source->firstIndex + j < 256; ++j) {
        const PALETTEENTRY& c = cube.palette->palPalEntry[j];
        if (source->firstIndex + j >= 0)
            d->cubeMap[source->firstIndex + j] = FindNearestColor(RGB(c.peRed, c.peGreen, c.peBlue), table, entries);
    }
    QuantFree(&cube);
    return IMG_OK;
}

int FindNearestColor(COLORREF color, const RGBQUAD* table, int count) {
    const int red = GetRValue(color), green = GetGValue(color), blue = GetBValue(color);
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < count; ++i) {
        int distance =
            std::abs(table[i].rgbRed - red) + std::abs(table[i].rgbGreen - green) + std::abs(table[i].rgbBlue - blue);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
            if (distance == 0)
                break;
        }
    }
    return best;
}

int FindExactColor(COLORREF color, const RGBQUAD* table, int count) {
    for (int i = 0; i < count; ++i) {
        if (RGB(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue) == color)
            return i;
    }
    return -1;
}
