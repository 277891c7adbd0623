// Bitmap characters: DefineBitsLossless 1 and 2, and the JPEG family
// (DefineBits with JPEGTables, DefineBitsJPEG2, DefineBitsJPEG3 with its alpha
// plane). Pixels are premultiplied 0xAARRGGBB, rows top down.
//
// Every decoder checks the declared size against BITMAP_MAX_SIDE and
// BITMAP_MAX_PIXELS before allocating. Damaged pixel data leaves the rest of
// the picture transparent; the result is false only when there is no picture.
// PNG data (png.h) is read by our own code. JPEG (and GIF) data is decoded by the platform's picture loader on a worker
// thread of its own, so that no helper window of the loader ever belongs to
// the player's main thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int BITMAP_MAX_SIDE = 8191;
constexpr int64_t BITMAP_MAX_PIXELS = 16777215;

struct Bitmap {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool opaque = true;
};

// data starts after the character id.
bool DecodeLossless(const uint8_t* data, size_t size, int version, Bitmap* out);
// tables may be null. Removes the stray end/start marker pairs that SWF JPEG data carries.
bool DecodeJpeg(const uint8_t* data, size_t size, const uint8_t* tables, size_t tablesSize, Bitmap* out);
// DefineBitsJPEG3: multiplies the picture by the zlib-packed alpha plane.
void ApplyAlphaPlane(const uint8_t* data, size_t size, Bitmap* bitmap);
// True when the declared size is acceptable.
bool BitmapSizeAllowed(int64_t width, int64_t height);
// Inflates at most capacity bytes into out (resized to what came out). False when nothing did.
bool InflateBounded(const uint8_t* data, size_t size, size_t capacity, std::vector<uint8_t>* out);
