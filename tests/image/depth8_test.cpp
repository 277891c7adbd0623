// The palette display: this program runs on the 8-bit screen, where the
// system reports RC_PALETTE, 256 entries and 20 reserved colours.
#include "image/dibdraw.h"
#include "image/dither.h"
#include "image/palette.h"
#include "image/quantize.h"

#include "imagetest.h"

#include <gtest/gtest.h>

#include <cstring>

#include <vector>

namespace {

using imagetest::Picture;

using imagetest::Quantizer;

std::vector<PALETTEENTRY> SystemPalette() {
    std::vector<PALETTEENTRY> entries(256);
    HDC dc = GetDC(nullptr);
    GetSystemPaletteEntries(dc, 0, 256, entries.data());
    ReleaseDC(nullptr, dc);
    return entries;
}

bool SameColour(const PALETTEENTRY& a, const PALETTEENTRY& b) {
    return a.peRed == b.peRed && a.peGreen == b.peGreen && a.peBlue == b.peBlue;
}

TEST(PaletteDisplay, ReportsItsPaletteSize) {
    EXPECT_EQ(GetDisplayColorCount(), 256);
    EXPECT_EQ(GetDisplayBitsPerPixel(), 8);
}

TEST(PaletteDisplay, SystemColoursFillTheWholeTableAtFirst) {
    int s = 0;
    LOGPALETTE* palette = AllocPalette(TRUE, 0, &s);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(s, 20);
    ASSERT_EQ(palette->palNumEntries, 256);
    auto system = SystemPalette();
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(SameColour(palette->palPalEntry[i], system[i])) << i;
    FreePalette(&palette);

    // A smaller request is raised to the display's size.
    palette = AllocPalette(TRUE, 16, &s);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->palNumEntries, 256);
    FreePalette(&palette);
}

TEST(PaletteDisplay, CubeStartsAfterTheLowerStaticColours) {
    Quantizer q;
    ASSERT_NE(QuantMakeCubePalette(q.get(), 6, 6, 6, TRUE), nullptr);
    EXPECT_EQ(q->firstIndex, 10);
    EXPECT_EQ(q->leafCount, 256u);
    const int levels[6] = {0, 51, 102, 153, 204, 255};
    for (int i = 0; i < 216; ++i) {
        const PALETTEENTRY& e = q->palette->palPalEntry[10 + i];
        EXPECT_EQ(e.peRed, levels[i / 36]);
        EXPECT_EQ(e.peGreen, levels[(i / 6) % 6]);
        EXPECT_EQ(e.peBlue, levels[i % 6]);
    }
    auto system = SystemPalette();
    EXPECT_TRUE(SameColour(q->palette->palPalEntry[255], system[255]));
    EXPECT_TRUE(SameColour(q->palette->palPalEntry[9], system[9]));
    Quantizer seven;
    EXPECT_EQ(QuantMakeCubePalette(seven.get(), 7, 7, 7, TRUE), nullptr);
}

TEST(PaletteDisplay, DisplayPaletteIsTheHalftonePalette) {
    Quantizer q;
    ASSERT_NE(QuantMakeDisplayPalette(q.get()), nullptr);
    EXPECT_EQ(q->palette->palNumEntries, 256);
}

TEST(PaletteDisplay, QuantiserChoosesDepthFourForTheDisplay) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 0), 0);
    EXPECT_EQ(q->depth, 4u);
}

// Entries with blue 77 are the picture's (its colours all have it); the
// static colours keep both ends. Returns the count of the picture's entries.
int CheckStaticEnds(const LOGPALETTE* palette) {
    auto system = SystemPalette();
    int quantised = 0;
    for (int i = 0; i < 256; ++i) {
        bool ours = palette->palPalEntry[i].peBlue == 77;
        quantised += ours;
        if (i < 10 || i >= 246) {
            EXPECT_FALSE(ours) << i;
            EXPECT_TRUE(SameColour(palette->palPalEntry[i], system[i])) << i;
        }
    }
    return quantised;
}

// 64 x 64 colours that all have blue 77, so the quantised entries are the
// ones with blue 77.
void MakeGradient(DIBIMAGE* p) {
    ASSERT_EQ(imagetest::Make24(p, 64, 64,
                                [](int x, int y) { return static_cast<DWORD>((x * 4) << 16 | (y * 4) << 8 | 77); }),
              IMG_OK);
}

TEST(PaletteDisplay, QuantisedColoursFillEntriesTenTo245) {
    // 236 colours in 236 cells of the tree: no reduction, every free entry used.
    Picture p;
    ASSERT_EQ(imagetest::Make24(p.get(), 236, 1,
                                [](int x, int) {
                                    return static_cast<DWORD>((16 * (x / 16) + 8) << 16 | (16 * (x % 16) + 8) << 8 |
                                                              77);
                                }),
              IMG_OK);
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 0), 0);
    ASSERT_EQ(QuantAddImage(q.get(), p.get()), IMG_OK);
    LOGPALETTE* palette = QuantBuildPalette(q.get(), 0, TRUE);
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->palNumEntries, 256);
    EXPECT_EQ(q->firstIndex, 10);
    EXPECT_EQ(CheckStaticEnds(palette), 236);
}

TEST(PaletteDisplay, ManyColoursReduceWithinTheFreeEntries) {
    Picture p;
    MakeGradient(p.get());
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 0), 0);
    ASSERT_EQ(QuantAddImage(q.get(), p.get()), IMG_OK);
    LOGPALETTE* palette = QuantBuildPalette(q.get(), 0, TRUE);
    ASSERT_NE(palette, nullptr);
    int quantised = CheckStaticEnds(palette);
    // Reduction merges whole levels of equal weight at once: well below 236.
    EXPECT_GT(quantised, 16);
    EXPECT_LE(quantised, 236);
    EXPECT_EQ(palette->palPalEntry[10].peBlue, 77);
}

TEST(PaletteDisplay, PreviewPathGivesAnEightBitPictureDrawnThroughItsPalette) {
    // The settings dialog's road: quantise, dither, make the GDI palette,
    // switch to palette indices and draw.
    Picture p;
    MakeGradient(p.get());
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 0), 0);
    ASSERT_EQ(QuantAddImage(q.get(), p.get()), IMG_OK);
    ASSERT_NE(QuantBuildPalette(q.get(), 0, TRUE), nullptr);
    DITHER d = {};
    ASSERT_EQ(DibExpandTo24(&d, p.get()), IMG_OK);
    ASSERT_EQ(DitherInit(&d, q.get(), FALSE, 6, 6, 6, 2), IMG_OK);
    ASSERT_EQ(DitherImage(&d, p.get()), IMG_OK);
    DitherFree(&d);
    ASSERT_EQ(p->info.biBitCount, 8);

    HPALETTE palette = CreatePalette(q->palette);
    ASSERT_NE(palette, nullptr);
    DibUseIdentityIndices(p.get());
    ASSERT_EQ(p->colorUse, static_cast<DWORD>(DIB_PAL_COLORS));
    RGBQUAD indices[256];
    std::memcpy(indices, p->colors, sizeof indices);

    HDC screen = GetDC(nullptr);
    // Realised in the foreground, the palette's colours enter the system palette.
    HPALETTE oldScreenPalette = SelectPalette(screen, palette, FALSE);
    RealizePalette(screen);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HPALETTE oldPalette = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
    EXPECT_EQ(DibDraw(p.get(), dc, 0, 0, nullptr, SRCCOPY), 64);
    EXPECT_EQ(std::memcmp(indices, p->colors, sizeof indices), 0);
    // The display shows each logical entry as near as its colour map allows;
    // every pixel must look exactly like its palette entry drawn directly.
    std::vector<COLORREF> drawn;
    for (int y = 0; y < 64; y += 3)
        for (int x = 0; x < 64; x += 3)
            drawn.push_back(GetPixel(dc, x, y));
    size_t i = 0;
    int same = 0;
    for (int y = 0; y < 64; y += 3)
        for (int x = 0; x < 64; x += 3) {
            SetPixel(dc, x, y, PALETTEINDEX(DibGetPixelIndex(p.get(), x, y)));
            same += GetPixel(dc, x, y) == drawn[i++];
        }
    EXPECT_EQ(same, 22 * 22);
    SelectPalette(dc, oldPalette, FALSE);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    SelectPalette(screen, oldScreenPalette, FALSE);
    ReleaseDC(nullptr, screen);
    DeleteObject(palette);
}

} // namespace
