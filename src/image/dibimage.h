// The image object: a device-independent bitmap in memory, laid out so that
// the start of a DIBIMAGE is the BITMAPINFO (header and a 256-entry colour
// table) that GDI draws from, followed by the library's own state.
//
// Ownership: the record is a plain value that the client embeds and fills with
// zero bytes before first use. It owns `bits` (runtime heap) and, for a
// transparent 24-bit picture, `hbmMask`; DibFree releases both and is safe to
// call twice. A load never releases an earlier buffer: free the record first.
//
// Invariants of a loaded picture: biCompression BI_RGB, biWidth and biHeight
// positive and within the stride limits, `bits` holding at least
// DibStride(biWidth, biBitCount) x biHeight bytes, rows bottom-up.
//
// Every fallible operation of the library returns one of the IMG_ codes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdlib>

enum : int {
    IMG_OK = 0,
    IMG_ERR_CREATE = 2,     // the output file cannot be created
    IMG_ERR_OPEN = 3,       // the input file cannot be opened
    IMG_ERR_READ = 4,       // a read failed, or was short for a header or colour table
    IMG_ERR_WRITE = 5,      // a write failed or was short
    IMG_ERR_FORMAT = 10,    // not a picture the library accepts, or corrupt data
    IMG_ERR_MEMORY = 14,    // an allocation failed
    IMG_ERR_RESOURCE = 16,  // the bitmap resource cannot be found or loaded
    IMG_ERR_CANCELLED = 22, // `cancel` was set, or a progress callback asked to stop
};

struct DIBIMAGE {
    BITMAPINFOHEADER info;
    // What GDI sees: RGBQUADs with DIB_RGB_COLORS, 16-bit palette indices in
    // the first 512 bytes with DIB_PAL_COLORS.
    RGBQUAD colors[256];
    RGBQUAD fileColors[256]; // the true colours, always RGBQUAD
    BYTE* bits;
    DWORD colorUse; // DIB_RGB_COLORS or DIB_PAL_COLORS
    DWORD stride;   // bytes per row
    DWORD transparent;
    DWORD loadedCompression; // biCompression as validated
    DWORD cancel;            // nonzero asks a running load or conversion to stop
    LONG progressPos;
    LONG progressTotal;
    // A colour-table index (1, 4, 8 bits) or a COLORREF (24 bits).
    DWORD transparentColor;
    union {
        RGBQUAD maskColors[256]; // 1, 4, 8 bits
        HBITMAP hbmMask;         // 24 bits
    };
    RGBQUAD paintColors[256];
};

// The header and `colors` are handed to GDI as one BITMAPINFO with a full table.
static_assert(offsetof(DIBIMAGE, colors) == offsetof(BITMAPINFO, bmiColors), "colors must follow the header");
static_assert(offsetof(DIBIMAGE, fileColors) == sizeof(BITMAPINFO) + 255 * sizeof(RGBQUAD),
              "info and colors must form a BITMAPINFO with 256 entries");

// Checks a header just read into image->info and prepares the record's state
// (RGB mode, not transparent, loadedCompression, biSize 40). IMG_ERR_FORMAT for
// a depth or compression the library does not take, biClrUsed above 256, a
// width or height that is not positive or beyond the stride limits, or a pixel
// size beyond 31 bits; then IMG_ERR_CANCELLED when `cancel` is set.
// A BI_RGB biSizeImage other than the rows' size becomes 0 (the rows' size):
// the loaders read whole rows, never fewer, and ignore padding after them.
int DibValidateHeader(DIBIMAGE* image);

// Frees `bits` and a 24-bit picture's `hbmMask`, clears `cancel`. The header,
// tables and transparency fields stay for inspection.
void DibFree(DIBIMAGE* image);

// Bytes per row, computed with 16-bit masks as GDI's callers of old did.
int DibStride(int width, int bitCount);
// The widest picture the stride rule holds for a depth.
int DibMaxWidth(int bitCount);
// biSizeImage when nonzero, else stride x biHeight.
int DibImageSize(const DIBIMAGE* image);
// Entries of the colour table as files and resources carry it: biClrUsed, or
// the full table of a depth up to 8, or none.
int DibTableCount(const DIBIMAGE* image);

// Heap blocks released with FreeAlloc; null when the allocation fails.
void* AllocZeroed(size_t size);
void* AllocCopy(const void* src, size_t size);
// Releases a block of AllocZeroed, AllocCopy or `bits` and clears the pointer.
template <typename T> void FreeAlloc(T*& block) {
    std::free(block);
    block = nullptr;
}

// Zero-fills the record and makes a picture of the given size and depth with
// count table entries (copied into both tables when table is given); the
// pixels are not cleared. IMG_ERR_FORMAT for a size or depth the library does
// not take, IMG_ERR_MEMORY.
int DibCreate(DIBIMAGE* image, int width, int height, int bitCount, const RGBQUAD* table, int count);
// Copies the record with its own pixels (and its own mask bitmap for a
// transparent 24-bit picture). IMG_ERR_MEMORY leaves dst without pixels.
int DibCopy(DIBIMAGE* dst, const DIBIMAGE* src);

// biClrUsed, else biClrImportant, else 2, 16 or 256 by depth, else 0.
int DibColorCount(const DIBIMAGE* image);
int DibColorTableSize(const DIBIMAGE* image);
int DibHeaderSize(const DIBIMAGE* image);
int DibFileDataSize(const DIBIMAGE* image);

// Pixel access in picture coordinates (y from the top); positions outside the
// picture read 0 and write nothing.
// 24 bits: 0x00RRGGBB. Up to 8 bits: the pixel's entry of table (fileColors
// when null) as a COLORREF.
DWORD DibGetPixel(const DIBIMAGE* image, int x, int y, const RGBQUAD* table);
int DibGetPixelIndex(const DIBIMAGE* image, int x, int y);
// 24 bits: stores 0x00RRGGBB. Up to 8 bits: stores the index of the entry of
// table nearest to the COLORREF color.
void DibSetPixel(DIBIMAGE* image, int x, int y, DWORD color, const RGBQUAD* table);
