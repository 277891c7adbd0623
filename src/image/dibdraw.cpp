#include "image/dibdraw.h"

#include "image/dither.h"

#include <cstring>

namespace {

// In palette-index mode a table holds 16-bit indices in its first 512 bytes.
constexpr size_t INDEX_BYTES = 512;

void SetIndexAt(RGBQUAD* table, int i, WORD value) {
    std::memcpy(reinterpret_cast<BYTE*>(table) + 2 * i, &value, sizeof value);
}

bool HasTable(const DIBIMAGE* image) {
    return image->info.biBitCount <= 8;
}

int TableEntries(const DIBIMAGE* image) {
    int count = DibTableCount(image);
    return count < 256 ? count : 256;
}

int TransparentIndex(const DIBIMAGE* image) {
    return static_cast<int>(image->transparentColor & 0xFF);
}

const BITMAPINFO* InfoOf(const DIBIMAGE* image) {
    return reinterpret_cast<const BITMAPINFO*>(image);
}

struct Rect {
    int x, y, width, height;
};

int Blit(DIBIMAGE* image, HDC dc, const Rect& dest, const Rect& src, DWORD rop) {
    // StretchDIBits counts source rows from the bottom of the picture.
    int srcY = image->info.biHeight - src.height - src.y;
    return StretchDIBits(dc, dest.x, dest.y, dest.width, dest.height, src.x, srcY, src.width, src.height, image->bits,
                         InfoOf(image), image->colorUse, rop);
}

// The mask bitmap is top-down, as the picture looks.
void BlitMask(HDC dc, HDC maskDc, const Rect& dest, const Rect& src, DWORD rop) {
    StretchBlt(dc, dest.x, dest.y, dest.width, dest.height, maskDc, src.x, src.y, src.width, src.height, rop);
}

int Draw(DIBIMAGE* image, HDC dc, const Rect& dest, const Rect& src, HDC maskDc, DWORD rop) {
    if (image->transparent && HasTable(image)) {
        // Opaque pixels clear the area to black, the transparent colour keeps
        // it; then the opaque pixels are ORed in and the transparent colour,
        // now black, changes nothing.
        std::memcpy(image->colors, image->maskColors, sizeof image->colors);
        Blit(image, dc, dest, src, SRCAND);
        std::memcpy(image->colors, image->paintColors, sizeof image->colors);
        return Blit(image, dc, dest, src, SRCPAINT);
    }
    if (image->transparent && image->hbmMask) {
        HDC ownDc = maskDc ? nullptr : CreateCompatibleDC(dc);
        if (!maskDc)
            maskDc = ownDc;
        if (maskDc) {
            HGDIOBJ oldMask = SelectObject(maskDc, image->hbmMask);
            // Mask 1 bits take the background colour, 0 bits the text colour.
            COLORREF oldBack = SetBkColor(dc, RGB(255, 255, 255));
            COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
            BlitMask(dc, maskDc, dest, src, SRCAND);
            int result = Blit(image, dc, dest, src, SRCINVERT);
            // XOR the transparent colour back out where the mask is set.
            SetBkColor(dc, image->transparentColor);
            BlitMask(dc, maskDc, dest, src, SRCINVERT);
            SetBkColor(dc, oldBack);
            SetTextColor(dc, oldText);
            SelectObject(maskDc, oldMask);
            if (ownDc)
                DeleteDC(ownDc);
            return result;
        }
    }
    return Blit(image, dc, dest, src, rop);
}

} // namespace

int DibDraw(DIBIMAGE* image, HDC dc, int x, int y, HDC maskDc, DWORD rop) {
    const int w = image->info.biWidth, h = image->info.biHeight;
    return Draw(image, dc, Rect{x, y, w, h}, Rect{0, 0, w, h}, maskDc, rop);
}

int DibDrawPlain(DIBIMAGE* image, HDC dc, int x, int y, DWORD rop) {
    const int w = image->info.biWidth, h = image->info.biHeight;
    if (image->transparent && HasTable(image))
        std::memcpy(image->colors, image->paintColors, sizeof image->colors);
    return Blit(image, dc, Rect{x, y, w, h}, Rect{0, 0, w, h}, rop);
}

int DibDrawStretched(DIBIMAGE* image, HDC dc, int x, int y, int width, int height, HDC maskDc, int xSrc, int ySrc,
                     int srcWidth, int srcHeight, DWORD rop) {
    return Draw(image, dc, Rect{x, y, width, height}, Rect{xSrc, ySrc, srcWidth, srcHeight}, maskDc, rop);
}

void DibUseIdentityIndices(DIBIMAGE* image) {
    if (!HasTable(image))
        return;
    image->colorUse = DIB_PAL_COLORS;
    for (int i = 0; i < TableEntries(image); ++i)
        SetIndexAt(image->colors, i, static_cast<WORD>(i));
    if (image->transparent)
        DibBuildMaskColors(image);
}

void DibMapToPalette(DIBIMAGE* image, HPALETTE palette) {
    if (!HasTable(image))
        return;
    image->colorUse = DIB_PAL_COLORS;
    for (int i = 0; i < TableEntries(image); ++i) {
        const RGBQUAD& c = image->fileColors[i];
        UINT nearest = GetNearestPaletteIndex(palette, RGB(c.rgbRed, c.rgbGreen, c.rgbBlue));
        SetIndexAt(image->colors, i, static_cast<WORD>(nearest == CLR_INVALID ? 0 : nearest));
    }
    if (image->transparent)
        DibBuildMaskColors(image);
}

void DibUseRgbColors(DIBIMAGE* image) {
    image->colorUse = DIB_RGB_COLORS;
    std::memcpy(image->colors, image->fileColors, sizeof image->colors);
    if (image->transparent && HasTable(image))
        DibBuildMaskColors(image);
}

void DibBuildMaskColors(DIBIMAGE* image) {
    if (!HasTable(image))
        return;
    const int t = TransparentIndex(image);
    std::memset(image->maskColors, 0, sizeof image->maskColors);
    if (image->colorUse == DIB_PAL_COLORS) {
        std::memcpy(image->paintColors, image->colors, INDEX_BYTES);
        // The upper half of the paint table, unused by GDI in this mode, keeps
        // the index table whole so that clearing the transparency restores it.
        std::memcpy(reinterpret_cast<BYTE*>(image->paintColors) + INDEX_BYTES, image->colors, INDEX_BYTES);
        SetIndexAt(image->paintColors, t, 0);
        SetIndexAt(image->maskColors, t, 255);
    } else {
        std::memcpy(image->paintColors, image->fileColors, sizeof image->paintColors);
        image->paintColors[t].rgbBlue = image->paintColors[t].rgbGreen = image->paintColors[t].rgbRed = 0;
        image->maskColors[t].rgbBlue = image->maskColors[t].rgbGreen = image->maskColors[t].rgbRed = 255;
    }
}

void DibClearTransparent(DIBIMAGE* image) {
    if (!image->transparent)
        return;
    if (!HasTable(image)) {
        if (image->hbmMask)
            DeleteObject(image->hbmMask);
        image->hbmMask = nullptr;
    } else if (image->colorUse == DIB_PAL_COLORS) {
        std::memcpy(image->colors, reinterpret_cast<const BYTE*>(image->paintColors) + INDEX_BYTES, INDEX_BYTES);
    } else {
        std::memcpy(image->colors, image->fileColors, sizeof image->colors);
    }
    image->transparent = 0;
}

DWORD DibSetTransparent(DIBIMAGE* image, int index, COLORREF color, BOOL fromTopLeft) {
    DibClearTransparent(image);
    const bool table = HasTable(image);
    const int count = TableEntries(image);
    bool chosen = false;
    DWORD t = 0;
    if (fromTopLeft) {
        if (image->bits) {
            if (table) {
                t = static_cast<DWORD>(DibGetPixelIndex(image, 0, 0));
            } else {
                DWORD p = DibGetPixel(image, 0, 0, nullptr); // 0x00RRGGBB
                t = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
            }
            chosen = true;
        }
    } else if (index >= 0) {
        if (index < count) {
            const RGBQUAD& c = image->fileColors[index];
            t = table ? static_cast<DWORD>(index) : RGB(c.rgbRed, c.rgbGreen, c.rgbBlue);
            chosen = true;
        }
    } else if (table) {
        int found = FindExactColor(color, image->fileColors, count);
        if (found >= 0) {
            t = static_cast<DWORD>(found);
            chosen = true;
        }
    } else {
        t = color;
        chosen = true;
    }
    if (chosen) {
        image->transparentColor = t;
        image->transparent = 1;
        if (table)
            DibBuildMaskColors(image);
        else
            DibBuildMaskBitmap(image);
    }
    return image->transparent;
}

DWORD DibBuildMaskBitmap(DIBIMAGE* image) {
    if (HasTable(image))
        return image->transparent;
    if (image->hbmMask)
        DeleteObject(image->hbmMask);
    image->hbmMask = nullptr;
    const int w = image->info.biWidth, h = image->info.biHeight;
    image->transparent = 0;
    if (!image->bits || w <= 0 || h <= 0)
        return 0;
    // CreateBitmap takes rows padded to 16 bits, top row first.
    const size_t maskStride = ((static_cast<size_t>(w) + 15) / 16) * 2;
    BYTE* mask = static_cast<BYTE*>(AllocZeroed(maskStride * h));
    if (!mask)
        return 0;
    const COLORREF t = image->transparentColor;
    for (int row = 0; row < h; ++row) {
        const BYTE* p = image->bits + static_cast<size_t>(h - 1 - row) * image->stride;
        BYTE* out = mask + row * maskStride;
        for (int x = 0; x < w; ++x, p += 3) {
            if (p[0] == GetBValue(t) && p[1] == GetGValue(t) && p[2] == GetRValue(t))
                out[x >> 3] = static_cast<BYTE>(out[x >> 3] | (0x80 >> (x & 7)));
        }
    }
    image->hbmMask = CreateBitmap(w, h, 1, 1, mask);
    FreeAlloc(mask);
    image->transparent = image->hbmMask ? 1 : 0;
    return image->transparent;
}

HBITMAP DibCreateBitmap(DIBIMAGE* image, HPALETTE palette) {
    HDC dc = GetDC(nullptr);
    HPALETTE oldPalette = nullptr;
    if (palette) {
        oldPalette = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    HBITMAP bitmap = CreateCompatibleBitmap(dc, image->info.biWidth, image->info.biHeight);
    if (bitmap && !SetDIBits(dc, bitmap, 0, image->info.biHeight, image->bits, InfoOf(image), image->colorUse)) {
        DeleteObject(bitmap);
        bitmap = nullptr;
    }
    if (palette)
        SelectPalette(dc, oldPalette, FALSE);
    ReleaseDC(nullptr, dc);
    return bitmap;
}
