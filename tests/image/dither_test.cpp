#include "image/dither.h"

#include "image/dibdraw.h"
#include "image/palette.h"
#include "imagetest.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using imagetest::Picture;

using imagetest::Quantizer;

using imagetest::Dither;

// A source palette of the given colours (0x00RRGGBB) whose tree indexes it.
void MakeSource(QUANTIZER* q, const std::vector<DWORD>& colours) {
    ASSERT_EQ(QuantInit(q, 0, 256), 0);
    q->palette = AllocPalette(FALSE, static_cast<int>(colours.size()), nullptr);
    ASSERT_NE(q->palette, nullptr);
    for (size_t i = 0; i < colours.size(); ++i) {
        PALETTEENTRY& e = q->palette->palPalEntry[i];
        e.peRed = static_cast<BYTE>(colours[i] >> 16);
        e.peGreen = static_cast<BYTE>(colours[i] >> 8);
        e.peBlue = static_cast<BYTE>(colours[i]);
    }
    ASSERT_EQ(QuantRebuildTree(q), 0);
    q->hiddenIndex = -1;
}

std::vector<DWORD> Greys(int n) {
    std::vector<DWORD> out;
    for (int i = 0; i < n; ++i) {
        DWORD v = n > 1 ? static_cast<DWORD>(i * 255 / (n - 1)) : 0;
        out.push_back(v << 16 | v << 8 | v);
    }
    return out;
}

TEST(DitherInit, ErrorLimitPassesSmallErrorsAndCompressesLargeOnes) {
    struct Case {
        int levels, error, passed;
    } cases[] = {
        {1, 1, 1},     {1, 128, 128},   {1, 255, 255}, {1, -255, -255}, {2, 128, 128}, {2, 130, 130}, {2, 131, 130},
        {2, 255, 192}, {2, -255, -192}, {3, 64, 64},   {3, 127, 96},    {3, 255, 121}, {0, 255, 0},   {0, -7, 0},
    };
    Quantizer q;
    MakeSource(q.get(), Greys(2));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "level " << c.levels << ", error " << c.error);
        Dither d;
        ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, c.levels), IMG_OK);
        EXPECT_EQ(d->errorLimit[c.error], c.passed);
        EXPECT_EQ(d->errorLimit[0], 0);
        EXPECT_EQ(d->cacheSize, 262144u);
        EXPECT_EQ(d->cache[262143], -1);
        EXPECT_EQ(d->rangeLimit[-256], 0);
        EXPECT_EQ(d->rangeLimit[300], 255);
        EXPECT_EQ(d->rangeLimit[77], 77);
    }
}

TEST(DitherInit, RefusesKeysAndLevelsItCannotHold) {
    Quantizer q;
    MakeSource(q.get(), Greys(2));
    Dither d;
    EXPECT_EQ(DitherInit(d.get(), q.get(), FALSE, 9, 6, 6, 2), IMG_ERR_FORMAT);
    EXPECT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 10), IMG_ERR_FORMAT);
    EXPECT_EQ(DitherInit(d.get(), q.get(), TRUE, 1, 6, 6, 0), IMG_ERR_FORMAT);
    EXPECT_EQ(d->block, nullptr);
}

TEST(DitherImage, OutputDepthFollowsThePaletteSize) {
    struct Case {
        int entries, bitCount;
        DWORD stride;
    } cases[] = {{1, 1, 4}, {2, 1, 4}, {3, 4, 4}, {16, 4, 4}, {17, 8, 8}, {256, 8, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        Quantizer q;
        MakeSource(q.get(), Greys(c.entries));
        Picture p;
        ASSERT_EQ(imagetest::Make24(p.get(), 7, 3, [](int x, int y) { return static_cast<DWORD>(x * 0x242424 + y); }),
                  IMG_OK);
        p->info.biClrImportant = 9;
        Dither d;
        ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 2), IMG_OK);
        ASSERT_EQ(DitherImage(d.get(), p.get()), IMG_OK);
        EXPECT_EQ(p->info.biBitCount, c.bitCount);
        EXPECT_EQ(p->stride, c.stride);
        EXPECT_EQ(p->info.biClrUsed, 0u);
        EXPECT_EQ(p->info.biClrImportant, 0u);
        EXPECT_EQ(p->colorUse, static_cast<DWORD>(DIB_RGB_COLORS));
        for (int i = 0; i < c.entries; ++i) {
            const PALETTEENTRY& e = q->palette->palPalEntry[i];
            EXPECT_EQ(p->colors[i].rgbRed, e.peRed);
            EXPECT_EQ(p->fileColors[i].rgbBlue, e.peBlue);
        }
        EXPECT_EQ(p->progressTotal, 3);
    }
}

TEST(DitherImage, TwoEntriesSplitAtAChannelSumOf384) {
    // Both entries dark: the rule looks at the sum, not at the colours.
    Quantizer q;
    MakeSource(q.get(), {0x100000, 0x000010});
    Picture p;
    const DWORD row[4] = {0x7F8080, 0x808080, 0x000000, 0xFFFFFF}; // sums 383, 384, 0, 765
    ASSERT_EQ(imagetest::Make24(p.get(), 4, 1, [&](int x, int) { return row[x]; }), IMG_OK);
    Dither d;
    ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 0), IMG_OK);
    ASSERT_EQ(DitherImage(d.get(), p.get()), IMG_OK);
    ASSERT_EQ(p->info.biBitCount, 1);
    EXPECT_EQ(DibGetPixelIndex(p.get(), 0, 0), 0);
    EXPECT_EQ(DibGetPixelIndex(p.get(), 1, 0), 1);
    EXPECT_EQ(DibGetPixelIndex(p.get(), 2, 0), 0);
    EXPECT_EQ(DibGetPixelIndex(p.get(), 3, 0), 1);
}

TEST(DitherImage, WithoutErrorLimitEachPixelTakesItsNearestEntry) {
    Quantizer q;
    MakeSource(q.get(), Greys(17));
    Picture p;
    ASSERT_EQ(
        imagetest::Make24(p.get(), 16, 16, [](int x, int y) { return static_cast<DWORD>((x * 16 + y) * 0x010101); }),
        IMG_OK);
    Picture original;
    ASSERT_EQ(DibCopy(original.get(), p.get()), IMG_OK);
    Dither d;
    ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 8, 8, 8, 0), IMG_OK);
    ASSERT_EQ(DitherImage(d.get(), p.get()), IMG_OK);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            DWORD c = DibGetPixel(original.get(), x, y, nullptr);
            EXPECT_EQ(DibGetPixelIndex(p.get(), x, y),
                      QuantFindNearest(q.get(), c >> 16, (c >> 8) & 0xFF, c & 0xFF, -1));
        }
}

TEST(DitherImage, ErrorSpreadsToTheNeighbours) {
    // Mid grey between black and white: diffusion makes about half of a
    // row white.
    for (int levels : {1, 2}) {
        Quantizer bw;
        MakeSource(bw.get(), {0x000000, 0xFFFFFF, 0xFF0000});
        Picture p;
        ASSERT_EQ(imagetest::Make24(p.get(), 8, 2, [](int, int) { return 0x808080u; }), IMG_OK);
        Dither d;
        ASSERT_EQ(DitherInit(d.get(), bw.get(), FALSE, 6, 6, 6, levels), IMG_OK);
        ASSERT_EQ(DitherImage(d.get(), p.get()), IMG_OK);
        int white = 0;
        for (int x = 0; x < 8; ++x)
            white += DibGetPixelIndex(p.get(), x, 0) == 1;
        EXPECT_GE(white, 3);
        EXPECT_LE(white, 5);
    }
}

TEST(DitherImage, TransparentPixelsTakeTheHiddenEntryAndPassNoError) {
    std::vector<DWORD> colours = Greys(17);
    colours.push_back(0xFF00FF); // entry 17, kept for the transparent colour
    Quantizer q;
    MakeSource(q.get(), colours);
    // The first pixel dithered (bottom left) is the key colour; the greys
    // after it are one step off an entry, so an error passed on would show.
    auto run = [&](bool withKey, DIBIMAGE* p) {
        ASSERT_EQ(imagetest::Make24(p, 3, 2,
                                    [&](int x, int y) { return x == 0 && y == 1 && withKey ? 0xFE00FEu : 0x7C7C7Cu; }),
                  IMG_OK);
        Dither d;
        ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 2), IMG_OK);
        if (withKey) {
            ASSERT_TRUE(DibSetTransparent(p, -1, RGB(0xFE, 0, 0xFE), FALSE));
            DitherSetTransparent(d.get(), p);
            EXPECT_EQ(q->hiddenIndex, 17);
        }
        ASSERT_EQ(DitherImage(d.get(), p), IMG_OK);
        QuantShowHidden(q.get());
    };
    Picture keyed, plain;
    run(true, keyed.get());
    run(false, plain.get());
    EXPECT_EQ(DibGetPixelIndex(keyed.get(), 0, 1), 17);
    EXPECT_NE(DibGetPixelIndex(plain.get(), 0, 1), 17);
    EXPECT_TRUE(keyed->transparent);
    EXPECT_EQ(keyed->transparentColor, 17u);
    EXPECT_FALSE(plain->transparent);
    // Drawn through colour tables now.
    EXPECT_EQ(keyed->paintColors[17].rgbRed, 0);
    EXPECT_EQ(keyed->maskColors[17].rgbRed, 255);
    int grey = QuantFindNearest(q.get(), 0x7C, 0x7C, 0x7C, -1);
    for (int x = 1; x < 3; ++x)
        EXPECT_EQ(DibGetPixelIndex(keyed.get(), x, 1), grey) << x;
}

TEST(DitherImage, FourBitRowOfOddWidthKeepsItsLastLowNibble) {
    Quantizer q;
    MakeSource(q.get(), Greys(4));
    Picture p;
    ASSERT_EQ(imagetest::Make24(p.get(), 3, 1, [](int, int) { return 0xFFFFFFu; }), IMG_OK);
    p->bits[1] = 0xA7; // becomes the byte of pixel 2
    Dither d;
    ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 2), IMG_OK);
    ASSERT_EQ(DitherImage(d.get(), p.get()), IMG_OK);
    ASSERT_EQ(p->info.biBitCount, 4);
    EXPECT_EQ(p->bits[1] & 0x0F, 0x07);
    EXPECT_EQ(p->bits[1] >> 4, DibGetPixelIndex(p.get(), 2, 0));
}

TEST(DitherImage, CancelStopsAndTransparencyStillSettles) {
    Quantizer q;
    MakeSource(q.get(), Greys(20));
    Picture p;
    ASSERT_EQ(imagetest::Make24(p.get(), 4, 4, [](int, int) { return 0x404040u; }), IMG_OK);
    p->transparent = 1; // no hidden entry: transparency is dropped
    p->cancel = 1;
    Dither d;
    ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 2), IMG_OK);
    EXPECT_EQ(DitherImage(d.get(), p.get()), IMG_ERR_CANCELLED);
    EXPECT_EQ(p->info.biBitCount, 24);
    EXPECT_EQ(p->transparent, 0u);
    p->cancel = 0;
    DitherSetProgress(
        d.get(), [](int, void*) { return 1; }, nullptr);
    EXPECT_EQ(DitherImage(d.get(), p.get()), IMG_ERR_CANCELLED);
}

TEST(DitherImage, RefusesPicturesThatAreNot24Bit) {
    Quantizer q;
    MakeSource(q.get(), Greys(20));
    auto table = imagetest::Table(256);
    Picture p;
    ASSERT_EQ(DibCreate(p.get(), 4, 4, 8, table.data(), 256), IMG_OK);
    Dither d;
    ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 2), IMG_OK);
    EXPECT_EQ(DitherImage(d.get(), p.get()), IMG_ERR_FORMAT);
    EXPECT_EQ(p->info.biBitCount, 8);
}

TEST(DitherImage, CubeModeComputesTheEntry) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    ASSERT_NE(QuantMakeCubePalette(q.get(), 6, 6, 6, FALSE), nullptr);
    Picture p;
    // Cube colours: (r, g, b) levels 0..5 of 51 each.
    ASSERT_EQ(imagetest::Make24(p.get(), 6, 6,
                                [](int x, int y) { return static_cast<DWORD>((x * 51) << 16 | (y * 51) << 8 | 102); }),
              IMG_OK);
    Dither d;
    ASSERT_EQ(DitherInit(d.get(), q.get(), TRUE, 6, 6, 6, 0), IMG_OK);
    ASSERT_EQ(DitherImage(d.get(), p.get()), IMG_OK);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(DibGetPixelIndex(p.get(), x, y), x * 36 + y * 6 + 2);
}

TEST(DibExpandTo24, TablePicturesBecomeTheirColours) {
    auto table = imagetest::Table(256);
    for (int bitCount : {1, 4, 8}) {
        SCOPED_TRACE(bitCount);
        Picture p;
        int n = 1 << bitCount;
        ASSERT_EQ(DibCreate(p.get(), 13, 3, bitCount, table.data(), n), IMG_OK);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 13; ++x) {
                const RGBQUAD& c = table[(x + y) % n];
                DibSetPixel(p.get(), x, y, RGB(c.rgbRed, c.rgbGreen, c.rgbBlue), nullptr);
            }
        std::string before = imagetest::RgbDump(p.get());
        ASSERT_EQ(DibExpandTo24(nullptr, p.get()), IMG_OK);
        EXPECT_EQ(p->info.biBitCount, 24);
        EXPECT_EQ(p->stride, 40u);
        EXPECT_EQ(p->info.biClrUsed, 0u);
        EXPECT_EQ(imagetest::RgbDump(p.get()), before);
    }
}

TEST(DibExpandTo24, TransparentIndexBecomesItsColour) {
    auto table = imagetest::Table(8);
    table[5] = RGBQUAD{30, 20, 10, 0};
    Picture p;
    ASSERT_EQ(DibCreate(p.get(), 4, 2, 8, table.data(), 8), IMG_OK);
    std::memset(p->bits, 5, DibImageSize(p.get()));
    p->bits[0] = 1;
    ASSERT_TRUE(DibSetTransparent(p.get(), 5, 0, FALSE));
    ASSERT_EQ(DibExpandTo24(nullptr, p.get()), IMG_OK);
    EXPECT_EQ(p->transparentColor, 0x001E140Au);
    EXPECT_TRUE(p->transparent);
    EXPECT_NE(p->hbmMask, nullptr); // a mask bitmap, not the old colour tables
}

TEST(DibExpandTo24, RefusesWhatCannotBecome24Bit) {
    auto table = imagetest::Table(256);
    Picture wide;
    ASSERT_EQ(DibCreate(wide.get(), 30000, 1, 8, table.data(), 256), IMG_OK);
    EXPECT_EQ(DibExpandTo24(nullptr, wide.get()), IMG_ERR_FORMAT);
    EXPECT_EQ(wide->info.biBitCount, 8);
    Picture p;
    ASSERT_EQ(DibCreate(p.get(), 4, 4, 8, table.data(), 256), IMG_OK);
    p->cancel = 1;
    BYTE* bits = p->bits;
    EXPECT_EQ(DibExpandTo24(nullptr, p.get()), IMG_ERR_CANCELLED);
    EXPECT_EQ(p->bits, bits);
    EXPECT_EQ(p->info.biBitCount, 8);
    Picture deep;
    deep->info.biBitCount = 16;
    EXPECT_EQ(DibExpandTo24(nullptr, deep.get()), IMG_ERR_FORMAT);
}

TEST(DitherImage, ExpandedPictureTakesThePaletteOfItsSource) {
    auto table = imagetest::Table(256);
    Picture p;
    ASSERT_EQ(DibCreate(p.get(), 16, 16, 8, table.data(), 256), IMG_OK);
    for (int i = 0; i < 256; ++i)
        p->bits[i] = static_cast<BYTE>(i);
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    ASSERT_NE(QuantAddColors(q.get(), p->fileColors, 256, FALSE), nullptr);
    ASSERT_EQ(QuantRebuildTree(q.get()), 0);
    Dither d;
    ASSERT_EQ(DibExpandTo24(d.get(), p.get()), IMG_OK);
    ASSERT_EQ(DitherInit(d.get(), q.get(), FALSE, 6, 6, 6, 2), IMG_OK);
    ASSERT_EQ(DitherImage(d.get(), p.get()), IMG_OK);
    EXPECT_EQ(p->info.biBitCount, 8);
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& e = q->palette->palPalEntry[i];
        EXPECT_EQ(p->colors[i].rgbRed, e.peRed);
        EXPECT_EQ(p->colors[i].rgbGreen, e.peGreen);
        EXPECT_EQ(p->colors[i].rgbBlue, e.peBlue);
        EXPECT_EQ(std::memcmp(&p->colors[i], &p->fileColors[i], sizeof(RGBQUAD)), 0);
    }
}

TEST(FindColor, NearestByChannelSumsAndExactByEquality) {
    RGBQUAD table[4] = {{0, 0, 0, 0}, {10, 10, 10, 0}, {0, 0, 200, 0}, {10, 10, 10, 0}};
    EXPECT_EQ(FindNearestColor(RGB(5, 5, 5), table, 4), 0); // ties: the first
    EXPECT_EQ(FindNearestColor(RGB(9, 10, 11), table, 4), 1);
    EXPECT_EQ(FindNearestColor(RGB(190, 0, 0), table, 4), 2);
    EXPECT_EQ(FindNearestColor(RGB(1, 2, 3), table, 0), 0);
    EXPECT_EQ(FindExactColor(RGB(10, 10, 10), table, 4), 1);
    EXPECT_EQ(FindExactColor(RGB(200, 0, 0), table, 4), 2);
    EXPECT_EQ(FindExactColor(RGB(0, 0, 200), table, 4), -1);
}

} // namespace
