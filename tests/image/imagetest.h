// Helpers shared by the image library's tests: BMP and packed DIB bytes made
// by hand, pictures that release themselves, pixel dumps, and ImageMagick run
// on the Linux side of Wine.
#pragma once

#include "image/dibimage.h"
#include "image/dither.h"
#include "image/quantize.h"

#include <windows.h>

#include <string>
#include <vector>

namespace imagetest {

BITMAPINFOHEADER Header(int width, int height, int bitCount, DWORD compression = BI_RGB, DWORD clrUsed = 0,
                        DWORD sizeImage = 0);

// Header, table and pixel bytes back to back (a packed DIB); a BMP file adds
// the 14-byte file header.
std::string PackedBytes(const BITMAPINFOHEADER& header, const std::vector<RGBQUAD>& table, const std::string& pixels);
std::string BmpBytes(const BITMAPINFOHEADER& header, const std::vector<RGBQUAD>& table, const std::string& pixels);
std::string Bytes(std::initializer_list<int> values);

// n distinct colours, entry i = (i * 37, i * 91, i * 13) modulo 256.
std::vector<RGBQUAD> Table(int n);

// A zero-filled picture freed on destruction.
struct Picture {
    DIBIMAGE image = {};
    Picture() = default;
    ~Picture() { DibFree(&image); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    DIBIMAGE* operator->() { return &image; }
    DIBIMAGE* get() { return &image; }
};

// A zero-filled quantiser, freed on destruction.
struct Quantizer {
    QUANTIZER q = {};
    Quantizer() = default;
    ~Quantizer() { QuantFree(&q); }
    Quantizer(const Quantizer&) = delete;
    Quantizer& operator=(const Quantizer&) = delete;
    QUANTIZER* operator->() { return &q; }
    QUANTIZER* get() { return &q; }
};

// A zero-filled dithering record, freed on destruction.
struct Dither {
    DITHER d = {};
    Dither() = default;
    ~Dither() { DitherFree(&d); }
    Dither(const Dither&) = delete;
    Dither& operator=(const Dither&) = delete;
    DITHER* operator->() { return &d; }
    DITHER* get() { return &d; }
};

// A 24-bit picture whose pixel (x, y) (y from the top) is color(x, y) as
// 0x00RRGGBB.
template <typename F> int Make24(DIBIMAGE* image, int width, int height, F color) {
    int result = DibCreate(image, width, height, 24, nullptr, 0);
    if (result != IMG_OK)
        return result;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            DibSetPixel(image, x, y, color(x, y), nullptr);
    return IMG_OK;
}

// The picture as ImageMagick's rgb: format: 3 bytes a pixel, top row first.
std::string RgbDump(const DIBIMAGE* image);

// Reads bytes as a BMP file through a scratch file and DibLoadFile.
int LoadBmpBytes(DIBIMAGE* image, const std::string& bytes);

// Linux paths of Windows paths, under Wine; empty when unknown.
std::string UnixPath(const std::string& windowsPath);
// Runs script with /bin/sh on the Linux side in directory dir (a Windows path)
// and waits for it; its exit status, or -1 when it could not be run. Its
// output goes to dir\script.out.
int RunUnixScript(const std::string& dir, const std::string& script);

} // namespace imagetest
