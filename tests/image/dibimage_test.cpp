#include "image/dibimage.h"

#include "image/dibdraw.h"
#include "imagetest.h"

#include <gtest/gtest.h>

#include <cstring>

#include <malloc.h>

namespace {

using imagetest::Header;
using imagetest::Picture;

TEST(DibStride, RowsAreWholeWordsUpToTheMaskLimits) {
    struct Case {
        int width, bitCount, stride;
    } cases[] = {
        {1, 1, 4},        {33, 1, 8},        {9, 4, 8},         {5, 8, 8},          {1, 24, 4},
        {300, 24, 900},   {32, 1, 4},        {8, 4, 4},         {4, 8, 4},          {298, 8, 300},
        {65504, 1, 8188}, {65528, 4, 32764}, {65532, 8, 65532}, {21844, 24, 65532},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " at " << c.bitCount);
        EXPECT_EQ(DibStride(c.width, c.bitCount), c.stride);
        EXPECT_LE(c.width, DibMaxWidth(c.bitCount));
    }
}

struct ValidationCase {
    const char* what;
    int width, height, bitCount;
    DWORD compression, clrUsed;
    int expected;
};

TEST(DibValidateHeader, TakesOnlyTheDepthsSizesAndTablesTheLibraryHandles) {
    const ValidationCase cases[] = {
        {"1 bit", 4, 4, 1, BI_RGB, 0, IMG_OK},
        {"4 bits RLE4", 4, 4, 4, BI_RLE4, 0, IMG_OK},
        {"8 bits RLE8", 4, 4, 8, BI_RLE8, 256, IMG_OK},
        {"24 bits", 4, 4, 24, BI_RGB, 0, IMG_OK},
        {"widest 24-bit", 21844, 1, 24, BI_RGB, 0, IMG_OK},
        {"4 bits with RLE8", 4, 4, 4, BI_RLE8, 0, IMG_ERR_FORMAT},
        {"8 bits with RLE4", 4, 4, 8, BI_RLE4, 0, IMG_ERR_FORMAT},
        {"1 bit with RLE8", 4, 4, 1, BI_RLE8, 0, IMG_ERR_FORMAT},
        {"24 bits with bitfields", 4, 4, 24, BI_BITFIELDS, 0, IMG_ERR_FORMAT},
        {"16 bits", 4, 4, 16, BI_RGB, 0, IMG_ERR_FORMAT},
        {"32 bits", 4, 4, 32, BI_RGB, 0, IMG_ERR_FORMAT},
        {"257 colours", 4, 4, 8, BI_RGB, 257, IMG_ERR_FORMAT},
        {"zero width", 0, 4, 8, BI_RGB, 0, IMG_ERR_FORMAT},
        {"negative width", -4, 4, 8, BI_RGB, 0, IMG_ERR_FORMAT},
        {"zero height", 4, 0, 8, BI_RGB, 0, IMG_ERR_FORMAT},
        {"top-down", 4, -4, 8, BI_RGB, 0, IMG_ERR_FORMAT},
        {"beyond the 24-bit stride", 21845, 1, 24, BI_RGB, 0, IMG_ERR_FORMAT},
        {"beyond the 1-bit stride", 65505, 1, 1, BI_RGB, 0, IMG_ERR_FORMAT},
        {"more than 2 GB of rows", 20000, 40000, 24, BI_RGB, 0, IMG_ERR_FORMAT},
    };
    for (const ValidationCase& c : cases) {
        for (DWORD cancel : {0u, 1u}) {
            SCOPED_TRACE(testing::Message() << c.what << (cancel ? ", cancelled" : ""));
            Picture p;
            p->info = Header(c.width, c.height, c.bitCount, c.compression, c.clrUsed);
            p->info.biSize = 124;
            p->cancel = cancel;
            p->transparent = 1;
            p->colorUse = DIB_PAL_COLORS;
            // A rejected header stays rejected when cancel is set; a good one
            // reports the cancel.
            int expected = (c.expected == IMG_OK && cancel) ? IMG_ERR_CANCELLED : c.expected;
            EXPECT_EQ(DibValidateHeader(p.get()), expected);
            EXPECT_EQ(p->info.biSize, 40u);
            EXPECT_EQ(p->loadedCompression, c.compression);
            EXPECT_EQ(p->transparent, 0u);
            EXPECT_EQ(p->colorUse, static_cast<DWORD>(DIB_RGB_COLORS));
        }
    }
}

TEST(DibValidateHeader, PlainSizeOtherThanTheRowsIsDropped) {
    // 5 x 3 at 8 bits: rows of 8 bytes, 24 in all.
    struct Case {
        DWORD compression, sizeImage, kept;
    } cases[] = {
        {BI_RGB, 24, 24}, {BI_RGB, 10, 0}, {BI_RGB, 4000, 0}, {BI_RLE8, 10, 10}, {BI_RLE8, 4000, 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sizeImage);
        Picture p;
        p->info = Header(5, 3, 8, c.compression, 0, c.sizeImage);
        ASSERT_EQ(DibValidateHeader(p.get()), IMG_OK);
        EXPECT_EQ(p->info.biSizeImage, c.kept);
    }
}

TEST(DibImageSize, SizeImageWinsOverTheRows) {
    Picture p;
    p->info = Header(10, 10, 24, BI_RGB, 0, 157500);
    EXPECT_EQ(DibImageSize(p.get()), 157500);
    p->info.biSizeImage = 0;
    EXPECT_EQ(DibImageSize(p.get()), 320);
}

TEST(DibFree, TwiceIsHarmlessAndClearsCancel) {
    Picture p;
    ASSERT_EQ(DibCreate(p.get(), 3, 2, 24, nullptr, 0), IMG_OK);
    p->cancel = 1;
    DibFree(p.get());
    EXPECT_EQ(p->bits, nullptr);
    EXPECT_EQ(p->cancel, 0u);
    DibFree(p.get());
    EXPECT_EQ(p->bits, nullptr);
    EXPECT_EQ(p->info.biWidth, 3); // the header stays for inspection
}

TEST(DibCreate, FillsHeaderTablesAndABufferOfTheRows) {
    auto table = imagetest::Table(16);
    Picture p;
    p->transparent = 1;
    ASSERT_EQ(DibCreate(p.get(), 9, 5, 4, table.data(), 16), IMG_OK);
    EXPECT_EQ(p->info.biSize, 40u);
    EXPECT_EQ(p->info.biPlanes, 1);
    EXPECT_EQ(p->info.biClrUsed, 16u);
    EXPECT_EQ(p->stride, 8u);
    EXPECT_EQ(p->transparent, 0u);
    EXPECT_EQ(p->colorUse, static_cast<DWORD>(DIB_RGB_COLORS));
    EXPECT_EQ(std::memcmp(p->fileColors, table.data(), 16 * sizeof(RGBQUAD)), 0);
    EXPECT_EQ(std::memcmp(p->colors, table.data(), 16 * sizeof(RGBQUAD)), 0);
    EXPECT_GE(_msize(p->bits), 40u);

    Picture bad;
    EXPECT_EQ(DibCreate(bad.get(), 0, 5, 8, nullptr, 0), IMG_ERR_FORMAT);
    EXPECT_EQ(DibCreate(bad.get(), 5, 5, 16, nullptr, 0), IMG_ERR_FORMAT);
    EXPECT_EQ(bad->bits, nullptr);
}

TEST(DibCopy, GivesTheCopyItsOwnPixelsAndMask) {
    Picture src;
    ASSERT_EQ(imagetest::Make24(src.get(), 4, 3, [](int x, int) { return x == 1 ? 0xFF0000u : 0x00FF00u; }), IMG_OK);
    ASSERT_TRUE(DibSetTransparent(src.get(), -1, RGB(255, 0, 0), FALSE));
    ASSERT_NE(src->hbmMask, nullptr);
    Picture dst;
    ASSERT_EQ(DibCopy(dst.get(), src.get()), IMG_OK);
    EXPECT_NE(dst->bits, src->bits);
    EXPECT_EQ(std::memcmp(dst->bits, src->bits, DibImageSize(src.get())), 0);
    EXPECT_NE(dst->hbmMask, nullptr);
    EXPECT_NE(dst->hbmMask, src->hbmMask);
    EXPECT_TRUE(dst->transparent);
    // Freeing the copy leaves the original's mask alive.
    DibFree(dst.get());
    BITMAP info;
    EXPECT_EQ(GetObjectA(src->hbmMask, sizeof info, &info), static_cast<int>(sizeof info));
}

TEST(DibColorCount, UsedThenImportantThenTheDepth) {
    struct Case {
        int bitCount;
        DWORD used, important;
        int count;
    } cases[] = {
        {8, 16, 5, 16}, {8, 0, 5, 5}, {1, 0, 0, 2}, {4, 0, 0, 16}, {8, 0, 0, 256}, {24, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Picture p;
        p->info = Header(4, 4, c.bitCount, BI_RGB, c.used);
        p->info.biClrImportant = c.important;
        EXPECT_EQ(DibColorCount(p.get()), c.count);
        EXPECT_EQ(DibColorTableSize(p.get()), 4 * c.count);
        EXPECT_EQ(DibHeaderSize(p.get()), 40 + 4 * c.count);
    }
}

TEST(DibPixels, GetAndSetAddressRowsFromTheTop) {
    auto table = imagetest::Table(16);
    for (int bitCount : {1, 4, 8}) {
        SCOPED_TRACE(bitCount);
        Picture p;
        int n = 1 << (bitCount < 8 ? bitCount : 4);
        ASSERT_EQ(DibCreate(p.get(), 11, 3, bitCount, table.data(), n), IMG_OK);
        std::memset(p->bits, 0, DibImageSize(p.get()));
        const RGBQUAD& c = table[n - 1];
        DibSetPixel(p.get(), 9, 0, RGB(c.rgbRed, c.rgbGreen, c.rgbBlue), nullptr);
        EXPECT_EQ(DibGetPixelIndex(p.get(), 9, 0), n - 1);
        EXPECT_EQ(DibGetPixelIndex(p.get(), 8, 0), 0);
        EXPECT_EQ(DibGetPixelIndex(p.get(), 10, 0), 0);
        EXPECT_EQ(DibGetPixelIndex(p.get(), 9, 2), 0);
        EXPECT_EQ(DibGetPixel(p.get(), 9, 0, nullptr), RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
        // The top row is the last one stored.
        EXPECT_NE(p->bits[2 * p->stride + (9 * bitCount) / 8], 0);
        // Outside the picture nothing is read or written.
        DibSetPixel(p.get(), 11, 0, 0, nullptr);
        EXPECT_EQ(DibGetPixel(p.get(), -1, 0, nullptr), 0u);
    }
    Picture p24;
    ASSERT_EQ(DibCreate(p24.get(), 2, 2, 24, nullptr, 0), IMG_OK);
    DibSetPixel(p24.get(), 1, 0, 0x123456, nullptr);
    EXPECT_EQ(DibGetPixel(p24.get(), 1, 0, nullptr), 0x123456u);
    const BYTE* top = p24->bits + p24->stride + 3;
    EXPECT_EQ(top[0], 0x56); // blue, green, red
    EXPECT_EQ(top[2], 0x12);
}

} // namespace
