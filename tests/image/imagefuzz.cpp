#include "imagefuzz.h"

#include "image/dibfile.h"
#include "image/dibrle.h"
#include "image/dither.h"
#include "image/quantize.h"

#include <malloc.h>

#include <cstring>

namespace {

bool IsCode(int result) {
    switch (result) {
    case IMG_OK:
    case IMG_ERR_CREATE:
    case IMG_ERR_OPEN:
    case IMG_ERR_READ:
    case IMG_ERR_WRITE:
    case IMG_ERR_FORMAT:
    case IMG_ERR_MEMORY:
    case IMG_ERR_RESOURCE:
    case IMG_ERR_CANCELLED:
        return true;
    default:
        return false;
    }
}

bool Fail(std::string* why, const std::string& text) {
    *why = text;
    return false;
}

// The bytes a picture's rows need, and whether its buffer holds them.
bool Fits(const DIBIMAGE* image) {
    size_t rows = static_cast<size_t>(DibStride(image->info.biWidth, image->info.biBitCount)) * image->info.biHeight;
    return image->stride == static_cast<DWORD>(DibStride(image->info.biWidth, image->info.biBitCount)) &&
           _msize(image->bits) >= rows && static_cast<size_t>(DibImageSize(image)) <= _msize(image->bits);
}

bool CheckLoaded(const DIBIMAGE* image, int result, std::string* why) {
    if (!IsCode(result))
        return Fail(why, "result " + std::to_string(result));
    if (result != IMG_OK)
        return image->bits ? Fail(why, "pixels kept after failure " + std::to_string(result)) : true;
    const BITMAPINFOHEADER& info = image->info;
    int bitCount = info.biBitCount;
    if (!image->bits || info.biCompression != BI_RGB || info.biWidth <= 0 || info.biHeight <= 0 ||
        (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) || info.biClrUsed > 256)
        return Fail(why, "loaded picture breaks the record's rules");
    if (!Fits(image))
        return Fail(why, "loaded picture does not fit its buffer");
    return true;
}

// The RLE writer's data must decode to the same pixels.
bool CheckRleRoundTrip(DIBIMAGE* image, std::string* why) {
    BITMAPINFOHEADER header;
    BYTE* data = DibCompress(image, &header);
    if (data == image->bits)
        return true;
    DIBIMAGE back = {};
    back.info = header;
    back.stride = image->stride;
    back.bits = data;
    int result = header.biCompression == BI_RLE8 ? DibDecodeRle8(&back, header.biSizeImage)
                                                 : DibDecodeRle4(&back, header.biSizeImage);
    bool same = result == IMG_OK;
    for (int y = 0; same && y < image->info.biHeight; ++y)
        for (int x = 0; same && x < image->info.biWidth; ++x)
            same = DibGetPixelIndex(&back, x, y) == DibGetPixelIndex(image, x, y);
    DibFree(&back);
    return same ? true : Fail(why, "RLE round trip differs");
}

bool Exercise(DIBIMAGE* image, std::string* why) {
    DIBIMAGE copy = {};
    int result = DibCopy(&copy, image);
    bool same = result == IMG_OK && std::memcmp(copy.bits, image->bits, DibImageSize(image)) == 0;
    DibFree(&copy);
    if (!same)
        return Fail(why, "copy differs");
    int bitCount = image->info.biBitCount;
    if ((bitCount == 4 || bitCount == 8) && !CheckRleRoundTrip(image, why))
        return false;

    // The preview's road: classify, build a palette, expand, dither.
    QUANTIZER q = {};
    bool ok = true;
    if (QuantInit(&q, 0, 256) == 0) {
        result = QuantAddImage(&q, image);
        if (result != (bitCount == 1 ? IMG_ERR_FORMAT : IMG_OK))
            ok = Fail(why, "classification gave " + std::to_string(result));
        if (ok && !QuantBuildPalette(&q, 64, FALSE))
            ok = Fail(why, "no palette");
        DITHER d = {};
        if (ok && (result = DibExpandTo24(&d, image)) != IMG_OK && result != IMG_ERR_FORMAT)
            ok = Fail(why, "expansion gave " + std::to_string(result));
        if (ok && image->info.biBitCount == 24) {
            if (DitherInit(&d, &q, FALSE, 6, 6, 6, 2) != IMG_OK || DitherImage(&d, image) != IMG_OK)
                ok = Fail(why, "dithering failed");
            else if (image->info.biBitCount != 8 || !Fits(image))
                ok = Fail(why, "dithered picture does not fit its buffer");
        }
        DitherFree(&d);
    }
    QuantFree(&q);
    return ok;
}

// Width and height as the header at data announces them.
bool TooLarge(const BYTE* data, size_t size) {
    if (size < 12)
        return false;
    LONG width, height;
    std::memcpy(&width, data + 4, 4);
    std::memcpy(&height, data + 8, 4);
    return width > 0 && height > 0 && static_cast<long long>(width) * height > FUZZ_MAX_PIXELS;
}

bool RunOne(DIBIMAGE* image, int result, std::string* why) {
    bool ok = CheckLoaded(image, result, why) && (result != IMG_OK || Exercise(image, why));
    DibFree(image);
    return ok;
}

} // namespace

bool ImageFuzzInput(const BYTE* data, size_t size, const char* scratchFile, std::string* why) {
    bool file = size >= 14 && data[0] == 'B' && data[1] == 'M';
    const BYTE* packed = file ? data + 14 : data;
    size_t packedSize = file ? size - 14 : size;
    if (TooLarge(packed, packedSize))
        return true;

    DIBIMAGE image = {};
    const BYTE* next = nullptr;
    int result = DibLoadPacked(&image, packed, static_cast<DWORD>(packedSize), &next);
    if (next && (next < packed || next > packed + packedSize))
        return Fail(why, "next points outside the data");
    if (!RunOne(&image, result, why))
        return false;

    if (!file || !scratchFile)
        return true;
    HANDLE handle = CreateFileA(scratchFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Fail(why, "scratch file cannot be written");
    DWORD written = 0;
    BOOL wrote = WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(handle);
    if (!wrote || written != size)
        return Fail(why, "scratch file cannot be written");
    image = DIBIMAGE{};
    result = DibLoadFile(&image, scratchFile);
    return RunOne(&image, result, why);
}
