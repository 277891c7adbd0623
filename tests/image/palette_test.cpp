// Palettes on the true-colour display (this program runs on the 24-bit one).
#include "image/palette.h"

#include "image/quantize.h"
#include "imagetest.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct Palette {
    LOGPALETTE* p = nullptr;
    ~Palette() { FreePalette(&p); }
};

using imagetest::Quantizer;

const BYTE STANDARD[16][3] = {
    {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

void ExpectEntry(const PALETTEENTRY& e, int r, int g, int b) {
    EXPECT_EQ(e.peRed, r);
    EXPECT_EQ(e.peGreen, g);
    EXPECT_EQ(e.peBlue, b);
    EXPECT_EQ(e.peFlags, 0);
}

TEST(DisplayColours, TrueColourDisplayHasNoPaletteSize) {
    EXPECT_EQ(GetDisplayColorCount(), -1);
    EXPECT_GT(GetDisplayBitsPerPixel(), 8);
}

TEST(AllocPalette, SizesOutsideOneTo256GiveNone) {
    int s = 99;
    Palette none;
    none.p = AllocPalette(TRUE, 0, &s); // the display's -1 leaves n at 0
    EXPECT_EQ(none.p, nullptr);
    EXPECT_EQ(AllocPalette(FALSE, -3, nullptr), nullptr);
    EXPECT_EQ(AllocPalette(FALSE, 257, nullptr), nullptr);
}

TEST(AllocPalette, WithoutSystemColoursEveryEntryIsWhite) {
    int s = 99;
    Palette five;
    five.p = AllocPalette(FALSE, 5, &s);
    ASSERT_NE(five.p, nullptr);
    EXPECT_EQ(s, 0);
    EXPECT_EQ(five.p->palVersion, 0x300);
    EXPECT_EQ(five.p->palNumEntries, 5);
    for (int i = 0; i < 5; ++i)
        ExpectEntry(five.p->palPalEntry[i], 255, 255, 255);
}

TEST(AllocPalette, WithoutADisplayPaletteTheStandardColoursTakeBothEnds) {
    struct Case {
        int n, s;
    } cases[] = {{256, 16}, {16, 16}, {5, 4}, {1, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.n);
        int s = -1;
        Palette pal;
        pal.p = AllocPalette(TRUE, c.n, &s);
        ASSERT_NE(pal.p, nullptr);
        EXPECT_EQ(pal.p->palNumEntries, c.n);
        EXPECT_EQ(s, c.s);
        for (int i = 0; i < c.s / 2; ++i) {
            ExpectEntry(pal.p->palPalEntry[i], STANDARD[i][0], STANDARD[i][1], STANDARD[i][2]);
            const BYTE* top = STANDARD[15 - i];
            ExpectEntry(pal.p->palPalEntry[c.n - 1 - i], top[0], top[1], top[2]);
        }
        if (c.n > c.s)
            ExpectEntry(pal.p->palPalEntry[c.s / 2], 255, 255, 255);
    }
}

TEST(QuantMakeCubePalette, LevelsAreEvenStepsWithBlueFastest) {
    Quantizer q;
    ASSERT_NE(QuantMakeCubePalette(q.get(), 6, 6, 6, FALSE), nullptr);
    EXPECT_EQ(q->firstIndex, 0);
    EXPECT_EQ(q->leafCount, 256u);
    const int levels[6] = {0, 51, 102, 153, 204, 255};
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                ExpectEntry(q->palette->palPalEntry[r * 36 + g * 6 + b], levels[r], levels[g], levels[b]);
    ExpectEntry(q->palette->palPalEntry[216], 255, 255, 255);

    Quantizer seven;
    EXPECT_EQ(QuantMakeCubePalette(seven.get(), 7, 7, 7, FALSE), nullptr);
    EXPECT_EQ(seven->palette, nullptr);

    Quantizer odd;
    ASSERT_NE(QuantMakeCubePalette(odd.get(), 7, 3, 2, FALSE), nullptr);
    const int seven_levels[7] = {0, 42, 85, 127, 170, 212, 255};
    for (int r = 0; r < 7; ++r)
        EXPECT_EQ(odd->palette->palPalEntry[r * 6].peRed, seven_levels[r]);
    EXPECT_EQ(odd->palette->palPalEntry[3].peGreen, 127);
}

TEST(QuantMakeCubePalette, SystemColoursMoveTheCubeUp) {
    Quantizer q;
    ASSERT_NE(QuantMakeCubePalette(q.get(), 6, 6, 6, TRUE), nullptr);
    EXPECT_EQ(q->firstIndex, 8);
    ExpectEntry(q->palette->palPalEntry[7], 192, 192, 192);
    ExpectEntry(q->palette->palPalEntry[8], 0, 0, 0);
    ExpectEntry(q->palette->palPalEntry[8 + 215], 255, 255, 255);
    ExpectEntry(q->palette->palPalEntry[255], 255, 255, 255);
    ExpectEntry(q->palette->palPalEntry[248], 128, 128, 128);
    // 241 cells do not fit between 16 static colours.
    Quantizer big;
    EXPECT_EQ(QuantMakeCubePalette(big.get(), 241, 1, 1, TRUE), nullptr);
    EXPECT_EQ(big->palette, nullptr);
}

TEST(QuantMakeDisplayPalette, WithoutADisplayPaletteItIsTheCube) {
    Quantizer q;
    ASSERT_NE(QuantMakeDisplayPalette(q.get()), nullptr);
    EXPECT_EQ(q->palette->palNumEntries, 256);
    EXPECT_EQ(q->firstIndex, 8);
    ExpectEntry(q->palette->palPalEntry[8 + 1], 0, 0, 51);
}

} // namespace
