// Drawing on the true-colour display, checked by reading the pixels back
// from a 24-bit target.
#include "image/dibdraw.h"

#include "imagetest.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using imagetest::Picture;

// A memory device context holding a top-down 32-bit DIB section.
class Target {
public:
    Target(int width, int height, DWORD fill) : width_(width) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels_ = static_cast<DWORD*>(bits);
        old_ = SelectObject(dc_, bitmap_);
        for (int i = 0; i < width * height; ++i)
            pixels_[i] = fill;
    }
    ~Target() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    // 0x00RRGGBB.
    DWORD At(int x, int y) {
        GdiFlush();
        return pixels_[y * width_ + x] & 0xFFFFFF;
    }

private:
    int width_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* pixels_;
};

constexpr DWORD BACKGROUND = 0x00C000; // green

// 4 x 2 at 8 bits: index (x + 2y) % 4 with colours red, blue, white, grey.
void MakeIndexed(DIBIMAGE* p) {
    RGBQUAD table[4] = {{0, 0, 255, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}, {128, 128, 128, 0}};
    ASSERT_EQ(DibCreate(p, 4, 2, 8, table, 4), IMG_OK);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            p->bits[(1 - y) * p->stride + x] = static_cast<BYTE>((x + 2 * y) % 4);
}

const DWORD INDEXED[4] = {0xFF0000, 0x0000FF, 0xFFFFFF, 0x808080};

TEST(DibDraw, OpaquePictureIsCopiedAsIs) {
    Picture p;
    MakeIndexed(p.get());
    Target target(8, 4, BACKGROUND);
    EXPECT_EQ(DibDraw(p.get(), target.dc(), 2, 1, nullptr, SRCCOPY), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.At(2 + x, 1 + y), INDEXED[(x + 2 * y) % 4]) << x << "," << y;
    EXPECT_EQ(target.At(1, 1), BACKGROUND);
    EXPECT_EQ(target.At(6, 2), BACKGROUND);
}

TEST(DibDraw, PaletteIndexPictureDrawsThroughTheSelectedPalette) {
    // Logical palette: the picture's colours in reverse order; with identity
    // indices pixel index i must show palette entry i, not colour i.
    Picture p;
    MakeIndexed(p.get());
    struct {
        WORD version, count;
        PALETTEENTRY entries[4];
    } log = {0x300, 4, {{0, 0, 255, 0}, {128, 128, 128, 0}, {255, 255, 0, 0}, {255, 0, 0, 0}}};
    const DWORD shown[4] = {0x0000FF, 0x808080, 0xFFFF00, 0xFF0000};
    HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
    ASSERT_NE(palette, nullptr);
    DibUseIdentityIndices(p.get());
    RGBQUAD before[256];
    std::memcpy(before, p->colors, sizeof before);
    Target target(4, 2, BACKGROUND);
    HPALETTE old = SelectPalette(target.dc(), palette, FALSE);
    RealizePalette(target.dc());
    EXPECT_EQ(DibDraw(p.get(), target.dc(), 0, 0, nullptr, SRCCOPY), 2);
    SelectPalette(target.dc(), old, FALSE);
    DeleteObject(palette);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(target.At(x, y), shown[(x + 2 * y) % 4]) << x << "," << y;
    EXPECT_EQ(std::memcmp(before, p->colors, sizeof before), 0);
}

TEST(DibDraw, TransparentIndexedPictureLeavesTheBackground) {
    Picture p;
    MakeIndexed(p.get());
    ASSERT_TRUE(DibSetTransparent(p.get(), 3, 0, FALSE));
    Target target(4, 2, BACKGROUND);
    EXPECT_EQ(DibDraw(p.get(), target.dc(), 0, 0, nullptr, SRCCOPY), 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            int index = (x + 2 * y) % 4;
            EXPECT_EQ(target.At(x, y), index == 3 ? BACKGROUND : INDEXED[index]) << x << "," << y;
        }
    // The paint table stays: entry 3 black, the rest the true colours.
    EXPECT_EQ(p->colors[3].rgbRed | p->colors[3].rgbGreen | p->colors[3].rgbBlue, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(std::memcmp(&p->colors[i], &p->fileColors[i], sizeof(RGBQUAD)), 0);
    DibClearTransparent(p.get());
    EXPECT_EQ(std::memcmp(p->colors, p->fileColors, sizeof p->colors), 0);
}

// 5 x 3 at 24 bits: magenta is the key colour on the diagonal.
void MakeKeyed(DIBIMAGE* p) {
    ASSERT_EQ(imagetest::Make24(p, 5, 3, [](int x, int y) { return x == y ? 0xFF00FFu : 0x102030u * (x + 1); }),
              IMG_OK);
}

TEST(DibDraw, TransparentTrueColourPictureUsesItsMask) {
    for (bool ownMaskDc : {true, false}) {
        SCOPED_TRACE(ownMaskDc ? "given mask DC" : "no mask DC");
        Picture p;
        MakeKeyed(p.get());
        ASSERT_TRUE(DibSetTransparent(p.get(), -1, RGB(255, 0, 255), FALSE));
        ASSERT_NE(p->hbmMask, nullptr);
        Target target(7, 5, BACKGROUND);
        SetBkColor(target.dc(), RGB(1, 2, 3));
        SetTextColor(target.dc(), RGB(4, 5, 6));
        HDC maskDc = ownMaskDc ? CreateCompatibleDC(target.dc()) : nullptr;
        EXPECT_EQ(DibDraw(p.get(), target.dc(), 1, 1, maskDc, SRCCOPY), 3);
        if (maskDc)
            DeleteDC(maskDc);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(target.At(1 + x, 1 + y), x == y ? BACKGROUND : 0x102030u * (x + 1)) << x << "," << y;
        EXPECT_EQ(target.At(0, 0), BACKGROUND);
        EXPECT_EQ(GetBkColor(target.dc()), RGB(1, 2, 3));
        EXPECT_EQ(GetTextColor(target.dc()), RGB(4, 5, 6));
    }
}

TEST(DibDraw, TransparentTrueColourPictureWithoutMaskIsOpaque) {
    Picture p;
    MakeKeyed(p.get());
    p->transparent = 1;
    p->transparentColor = RGB(255, 0, 255);
    Target target(5, 3, BACKGROUND);
    EXPECT_EQ(DibDraw(p.get(), target.dc(), 0, 0, nullptr, SRCCOPY), 3);
    EXPECT_EQ(target.At(1, 1), 0xFF00FFu);
}

TEST(DibDrawPlain, TransparentColourComesOutBlack) {
    Picture p;
    MakeIndexed(p.get());
    ASSERT_TRUE(DibSetTransparent(p.get(), 2, 0, FALSE));
    Target target(4, 2, BACKGROUND);
    EXPECT_EQ(DibDrawPlain(p.get(), target.dc(), 0, 0, SRCCOPY), 2);
    EXPECT_EQ(target.At(2, 0), 0u);
    EXPECT_EQ(target.At(0, 0), INDEXED[0]);
}

TEST(DibDrawStretched, SourceRectangleCountsFromTheTop) {
    Picture p;
    MakeKeyed(p.get());
    Target target(8, 8, BACKGROUND);
    // The top-right 2 x 2 of the picture, doubled.
    EXPECT_GT(DibDrawStretched(p.get(), target.dc(), 0, 0, 4, 4, nullptr, 3, 0, 2, 2, SRCCOPY), 0);
    EXPECT_EQ(target.At(0, 0), 0x102030u * 4);
    EXPECT_EQ(target.At(3, 3), 0x102030u * 5);
    EXPECT_EQ(target.At(1, 3), 0x102030u * 4);

    ASSERT_TRUE(DibSetTransparent(p.get(), -1, RGB(255, 0, 255), FALSE));
    Target keyed(8, 8, BACKGROUND);
    EXPECT_GT(DibDrawStretched(p.get(), keyed.dc(), 0, 0, 4, 4, nullptr, 1, 1, 2, 2, SRCCOPY), 0);
    EXPECT_EQ(keyed.At(0, 0), BACKGROUND); // picture (1, 1) is the key colour
    EXPECT_EQ(keyed.At(3, 0), 0x102030u * 3);
}

TEST(DibSetTransparent, ChoosesTheColourByCornerIndexOrColour) {
    Picture p;
    MakeIndexed(p.get());
    EXPECT_TRUE(DibSetTransparent(p.get(), -1, 0, TRUE));
    EXPECT_EQ(p->transparentColor, 0u); // index of the top-left pixel
    EXPECT_TRUE(DibSetTransparent(p.get(), -1, RGB(128, 128, 128), FALSE));
    EXPECT_EQ(p->transparentColor, 3u);
    EXPECT_FALSE(DibSetTransparent(p.get(), 4, 0, FALSE)); // beyond the 4 colours
    EXPECT_FALSE(DibSetTransparent(p.get(), -1, RGB(1, 2, 3), FALSE));
    EXPECT_EQ(std::memcmp(p->colors, p->fileColors, sizeof p->colors), 0);

    Picture keyed;
    MakeKeyed(keyed.get());
    EXPECT_TRUE(DibSetTransparent(keyed.get(), -1, 0, TRUE));
    EXPECT_EQ(keyed->transparentColor, RGB(255, 0, 255));
    DibClearTransparent(keyed.get());
    EXPECT_EQ(keyed->hbmMask, nullptr);
    EXPECT_FALSE(keyed->transparent);
}

TEST(DibColorModes, IndicesFollowTheModeAndSurviveTransparency) {
    Picture p24;
    MakeKeyed(p24.get());
    DibUseIdentityIndices(p24.get());
    EXPECT_EQ(p24->colorUse, static_cast<DWORD>(DIB_RGB_COLORS));

    Picture p4;
    auto table = imagetest::Table(16);
    ASSERT_EQ(DibCreate(p4.get(), 4, 4, 4, table.data(), 0), IMG_OK);
    DibUseIdentityIndices(p4.get());
    EXPECT_EQ(p4->colorUse, static_cast<DWORD>(DIB_PAL_COLORS));
    const WORD* indices = reinterpret_cast<const WORD*>(p4->colors);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(indices[i], i);

    ASSERT_TRUE(DibSetTransparent(p4.get(), 6, 0, FALSE));
    const WORD* mask = reinterpret_cast<const WORD*>(p4->maskColors);
    const WORD* paint = reinterpret_cast<const WORD*>(p4->paintColors);
    EXPECT_EQ(mask[6], 255);
    EXPECT_EQ(mask[5], 0);
    EXPECT_EQ(paint[6], 0);
    EXPECT_EQ(paint[5], 5);
    std::memcpy(p4->colors, p4->paintColors, sizeof p4->colors); // as a draw leaves it
    DibClearTransparent(p4.get());
    EXPECT_EQ(indices[6], 6);

    DibUseRgbColors(p4.get());
    EXPECT_EQ(p4->colorUse, static_cast<DWORD>(DIB_RGB_COLORS));
    EXPECT_EQ(std::memcmp(p4->colors, p4->fileColors, sizeof p4->colors), 0);
}

TEST(DibMapToPalette, IndicesAreTheNearestEntries) {
    Picture p;
    MakeIndexed(p.get());
    struct {
        WORD version, count;
        PALETTEENTRY entries[3];
    } log = {0x300, 3, {{0, 0, 0, 0}, {0, 0, 250, 0}, {250, 0, 0, 0}}};
    HPALETTE palette = CreatePalette(reinterpret_cast<LOGPALETTE*>(&log));
    ASSERT_NE(palette, nullptr);
    DibMapToPalette(p.get(), palette);
    DeleteObject(palette);
    const WORD* indices = reinterpret_cast<const WORD*>(p->colors);
    EXPECT_EQ(indices[0], 2); // red
    EXPECT_EQ(indices[1], 1); // blue
    EXPECT_EQ(p->colorUse, static_cast<DWORD>(DIB_PAL_COLORS));
}

TEST(DibCreateBitmap, HoldsThePicturesPixels) {
    Picture p;
    MakeKeyed(p.get());
    HBITMAP bitmap = DibCreateBitmap(p.get(), nullptr);
    ASSERT_NE(bitmap, nullptr);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0x20, 0x40, 0x60));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(255, 0, 255));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

} // namespace
