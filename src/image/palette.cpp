#include "image/palette.h"

#include "image/quantize.h"

#include <cstdlib>

namespace {

// The standard 16-colour table, red, green, blue.
const BYTE STANDARD_COLORS[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

constexpr int MAX_ENTRIES = 256;

void SetEntry(PALETTEENTRY* entry, int red, int green, int blue) {
    entry->peRed = static_cast<BYTE>(red);
    entry->peGreen = static_cast<BYTE>(green);
    entry->peBlue = static_cast<BYTE>(blue);
    entry->peFlags = 0;
}

void SetStandard(PALETTEENTRY* entry, int index) {
    SetEntry(entry, STANDARD_COLORS[index][0], STANDARD_COLORS[index][1], STANDARD_COLORS[index][2]);
}

bool IsPaletteDevice(HDC dc) {
    return (GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE) != 0;
}

} // namespace

int GetDisplayColorCount() {
    HDC dc = GetDC(nullptr);
    int count = IsPaletteDevice(dc) ? GetDeviceCaps(dc, SIZEPALETTE) : GetDeviceCaps(dc, NUMCOLORS);
    ReleaseDC(nullptr, dc);
    return count;
}

int GetDisplayBitsPerPixel() {
    HDC dc = GetDC(nullptr);
    int bits = GetDeviceCaps(dc, BITSPIXEL);
    ReleaseDC(nullptr, dc);
    return bits;
}

LOGPALETTE* AllocPalette(BOOL withSystem, int n, int* staticOut) {
    int s = 0;
    if (withSystem) {
        int d = GetDisplayColorCount();
        if (d > 0 && d <= MAX_ENTRIES && n < d)
            n = d;
    }
    if (n <= 0 || n > MAX_ENTRIES)
        return nullptr;
    LOGPALETTE* palette = static_cast<LOGPALETTE*>(std::malloc(8 + 4 * n));
    if (!palette)
        return nullptr;
    for (int i = 0; i < n; ++i)
        SetEntry(&palette->palPalEntry[i], 255, 255, 255);
    if (withSystem) {
        HDC dc = GetDC(nullptr);
        if (IsPaletteDevice(dc)) {
            GetSystemPaletteEntries(dc, 0, n, palette->palPalEntry);
            s = GetDeviceCaps(dc, NUMRESERVED);
            if (s < 0 || s > n)
                s = 0;
        } else {
            // Half of the table at each end; a palette of fewer than 16
            // entries keeps only as many as fit.
            int half = n / 2 < 8 ? n / 2 : 8;
            for (int i = 0; i < half; ++i) {
                SetStandard(&palette->palPalEntry[i], i);
                SetStandard(&palette->palPalEntry[n - 1 - i], 15 - i);
            }
            s = 2 * half;
        }
        ReleaseDC(nullptr, dc);
    }
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(n);
    if (staticOut)
        *staticOut = s;
    return palette;
}

void FreePalette(LOGPALETTE** palette) {
    std::free(*palette);
    *palette = nullptr;
}

LOGPALETTE* QuantMakeCubePalette(QUANTIZER* q, int redLevels, int greenLevels, int blueLevels, BOOL withSystem) {
    if (redLevels <= 0 || greenLevels <= 0 || blueLevels <= 0 || redLevels * greenLevels * blueLevels > MAX_ENTRIES)
        return nullptr;
    FreePalette(&q->palette);
    int s = 0;
    q->palette = AllocPalette(withSystem, MAX_ENTRIES, &s);
    if (!q->palette)
        return nullptr;
    int entries = q->palette->palNumEntries;
    if (entries - s < redLevels * greenLevels * blueLevels) {
        FreePalette(&q->palette);
        return nullptr;
    }
    q->leafCount = static_cast<DWORD>(entries);
    q->firstIndex = s / 2;
    // Each level is the whole part of an accumulated single-precision step;
    // counting the levels keeps rounding from adding or losing one.
    PALETTEENTRY* entry = q->palette->palPalEntry + q->firstIndex;
    const float redStep = redLevels > 1 ? 255.0f / (redLevels - 1) : 0.0f;
    const float greenStep = greenLevels > 1 ? 255.0f / (greenLevels - 1) : 0.0f;
    const float blueStep = blueLevels > 1 ? 255.0f / (blueLevels - 1) : 0.0f;
    float red = 0.0f;
    for (int r = 0; r < redLevels; ++r, red += redStep) {
        float green = 0.0f;
        for (int g = 0; g < greenLevels; ++g, green += greenStep) {
            float blue = 0.0f;
            for (int b = 0; b < blueLevels; ++b, blue += blueStep) {
                auto level = [](float v) { return v > 255.0f ? 255 : static_cast<int>(v); };
                SetEntry(entry++, level(red), level(green), level(blue));
            }
        }
    }
    return q->palette;
}

LOGPALETTE* QuantMakeDisplayPalette(QUANTIZER* q) {
    HDC dc = GetDC(nullptr);
    bool paletteDevice = IsPaletteDevice(dc);
    ReleaseDC(nullptr, dc);
    if (!paletteDevice)
        return QuantMakeCubePalette(q, 6, 6, 6, TRUE);

    FreePalette(&q->palette);
    q->palette = AllocPalette(FALSE, MAX_ENTRIES, nullptr);
    if (!q->palette)
        return nullptr;
    dc = GetDC(nullptr);
    HPALETTE halftone = CreateHalftonePalette(dc);
    ReleaseDC(nullptr, dc);
    if (!halftone) {
        FreePalette(&q->palette);
        return nullptr;
    }
    GetPaletteEntries(halftone, 0, MAX_ENTRIES, q->palette->palPalEntry);
    DeleteObject(halftone);
    return q->palette;
}
