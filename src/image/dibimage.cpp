#include "image/dibimage.h"

#include "image/dibdraw.h"
#include "image/dither.h"

#include <cstring>

namespace {

// The largest pixel buffer the library will hold: sizes travel as int.
constexpr long long MAX_IMAGE_BYTES = 0x7FFFFFFF;

bool DepthTakesCompression(WORD bitCount, DWORD compression) {
    switch (bitCount) {
    case 1:
    case 24:
        return compression == BI_RGB;
    case 4:
        return compression == BI_RGB || compression == BI_RLE4;
    case 8:
        return compression == BI_RGB || compression == BI_RLE8;
    default:
        return false;
    }
}

BYTE* RowOf(const DIBIMAGE* image, int y) {
    return image->bits + static_cast<size_t>(image->info.biHeight - 1 - y) * image->stride;
}

bool Inside(const DIBIMAGE* image, int x, int y) {
    return image->bits && x >= 0 && y >= 0 && x < image->info.biWidth && y < image->info.biHeight;
}

} // namespace

int DibValidateHeader(DIBIMAGE* image) {
    BITMAPINFOHEADER& info = image->info;
    image->colorUse = DIB_RGB_COLORS;
    image->transparent = 0;
    image->loadedCompression = info.biCompression;
    info.biSize = sizeof(BITMAPINFOHEADER);

    if (!DepthTakesCompression(info.biBitCount, info.biCompression))
        return IMG_ERR_FORMAT;
    if (info.biClrUsed > 256)
        return IMG_ERR_FORMAT;
    // Top-down and empty pictures fall outside the row rules; so do widths the
    // 16-bit stride masks cannot hold and buffers too large to address.
    if (info.biWidth <= 0 || info.biHeight <= 0 || info.biWidth > DibMaxWidth(info.biBitCount))
        return IMG_ERR_FORMAT;
    long long rows = static_cast<long long>(DibStride(info.biWidth, info.biBitCount)) * info.biHeight;
    if (rows > MAX_IMAGE_BYTES || info.biSizeImage > MAX_IMAGE_BYTES)
        return IMG_ERR_FORMAT;
    // Plain rows are read and walked whole whatever biSizeImage claims.
    if (info.biCompression == BI_RGB && info.biSizeImage != rows)
        info.biSizeImage = 0;

    if (image->cancel)
        return IMG_ERR_CANCELLED;
    return IMG_OK;
}

void DibFree(DIBIMAGE* image) {
    FreeAlloc(image->bits);
    if (image->info.biBitCount > 8 && image->hbmMask) {
        DeleteObject(image->hbmMask);
        image->hbmMask = nullptr;
    }
    image->cancel = 0;
}

int DibStride(int width, int bitCount) {
    switch (bitCount) {
    case 1:
        return ((width + 31) & 0xFFE0) / 8;
    case 4:
        return ((width + 7) & 0xFFF8) / 2;
    case 8:
        return (width + 3) & 0xFFFC;
    default:
        return (3 * width + 3) & 0xFFFC;
    }
}

int DibMaxWidth(int bitCount) {
    switch (bitCount) {
    case 1:
        return 65504;
    case 4:
        return 65528;
    case 8:
        return 65532;
    default:
        return 21844;
    }
}

int DibImageSize(const DIBIMAGE* image) {
    if (image->info.biSizeImage)
        return static_cast<int>(image->info.biSizeImage);
    return DibStride(image->info.biWidth, image->info.biBitCount) * image->info.biHeight;
}

int DibTableCount(const DIBIMAGE* image) {
    if (image->info.biClrUsed)
        return static_cast<int>(image->info.biClrUsed);
    return image->info.biBitCount <= 8 ? 1 << image->info.biBitCount : 0;
}

void* AllocZeroed(size_t size) {
    return std::calloc(size ? size : 1, 1);
}

void* AllocCopy(const void* src, size_t size) {
    void* block = std::malloc(size ? size : 1);
    if (block && size)
        std::memcpy(block, src, size);
    return block;
}

int DibCreate(DIBIMAGE* image, int width, int height, int bitCount, const RGBQUAD* table, int count) {
    std::memset(image, 0, sizeof *image);
    BITMAPINFOHEADER& info = image->info;
    info.biSize = sizeof(BITMAPINFOHEADER);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(bitCount);
    info.biCompression = BI_RGB;
    if (bitCount <= 8)
        info.biClrUsed = static_cast<DWORD>(count);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
        return IMG_ERR_FORMAT;
    if (count < 0 || DibValidateHeader(image) != IMG_OK)
        return IMG_ERR_FORMAT;
    image->stride = static_cast<DWORD>(DibStride(width, bitCount));
    if (bitCount <= 8 && table && count > 0) {
        std::memcpy(image->colors, table, count * sizeof(RGBQUAD));
        std::memcpy(image->fileColors, table, count * sizeof(RGBQUAD));
    }
    image->bits = static_cast<BYTE*>(std::malloc(DibImageSize(image)));
    return image->bits ? IMG_OK : IMG_ERR_MEMORY;
}

int DibCopy(DIBIMAGE* dst, const DIBIMAGE* src) {
    std::memcpy(dst, src, sizeof *dst);
    bool ownMask = src->info.biBitCount > 8;
    if (ownMask)
        dst->hbmMask = nullptr; // the source keeps its own
    if (!src->bits)
        return IMG_OK;
    dst->bits = static_cast<BYTE*>(AllocCopy(src->bits, DibImageSize(src)));
    if (!dst->bits)
        return IMG_ERR_MEMORY;
    if (ownMask && src->transparent && src->hbmMask)
        DibBuildMaskBitmap(dst);
    return IMG_OK;
}

int DibColorCount(const DIBIMAGE* image) {
    if (image->info.biClrUsed)
        return static_cast<int>(image->info.biClrUsed);
    if (image->info.biClrImportant)
        return static_cast<int>(image->info.biClrImportant);
    switch (image->info.biBitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

int DibColorTableSize(const DIBIMAGE* image) {
    return 4 * DibColorCount(image);
}

int DibHeaderSize(const DIBIMAGE* image) {
    return static_cast<int>(sizeof(BITMAPINFOHEADER)) + DibColorTableSize(image);
}

int DibFileDataSize(const DIBIMAGE* image) {
    return DibHeaderSize(image) + DibImageSize(image);
}

int DibGetPixelIndex(const DIBIMAGE* image, int x, int y) {
    if (!Inside(image, x, y))
        return 0;
    const BYTE* row = RowOf(image, y);
    switch (image->info.biBitCount) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
    case 8:
        return row[x];
    default:
        return 0;
    }
}

DWORD DibGetPixel(const DIBIMAGE* image, int x, int y, const RGBQUAD* table) {
    if (!Inside(image, x, y))
        return 0;
    if (image->info.biBitCount > 8) {
        const BYTE* p = RowOf(image, y) + 3 * x;
        return p[0] | (p[1] << 8) | (p[2] << 16);
    }
    const RGBQUAD& entry = (table ? table : image->fileColors)[DibGetPixelIndex(image, x, y)];
    return RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
}

void DibSetPixel(DIBIMAGE* image, int x, int y, DWORD color, const RGBQUAD* table) {
    if (!Inside(image, x, y))
        return;
    BYTE* row = RowOf(image, y);
    int bitCount = image->info.biBitCount;
    if (bitCount > 8) {
        BYTE* p = row + 3 * x;
        p[0] = static_cast<BYTE>(color);
        p[1] = static_cast<BYTE>(color >> 8);
        p[2] = static_cast<BYTE>(color >> 16);
        return;
    }
    int index = FindNearestColor(color, table ? table : image->fileColors, 1 << bitCount);
    switch (bitCount) {
    case 1: {
        BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<BYTE>(index ? row[x >> 3] | bit : row[x >> 3] & ~bit);
        break;
    }
    case 4:
        if (x & 1)
            row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0xF0) | index);
        else
            row[x >> 1] = static_cast<BYTE>((row[x >> 1] & 0x0F) | (index << 4));
        break;
    default:
        row[x] = static_cast<BYTE>(index);
        break;
    }
}
