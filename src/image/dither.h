// Error-diffusion dithering and depth conversion.
//
// DitherImage reduces a 24-bit picture in place to 1, 4 or 8 bits per pixel
// against the palette of a QUANTIZER, passing each pixel's error on with the
// weights 7 (right), 3, 5, 1 (below left, below, below right). Errors are kept
// at 16 times their value in two rows of width + 2 slots and pass through an
// error limit that compresses large errors. Octree mode finds entries through
// the quantiser's tree, with a cache keyed by the high bits of each channel;
// cube mode computes the entry of a uniform colour cube.
//
// Ownership: a DITHER is a plain value owning one block of tables, released
// by DitherFree (safe twice). The source QUANTIZER must outlive its use.
//
// Calling order: DitherInit; optionally DitherSetTransparent; DibExpandTo24
// for pictures of up to 8 bits; DitherImage; DitherFree.
#pragma once

#include "image/dibimage.h"
#include "image/quantize.h"

struct DITHER {
    QUANTIZER* source;
    // Octree mode: bits of each channel in the cache key. Cube mode: levels.
    LONG bitsRed;
    LONG bitsGreen;
    LONG bitsBlue;
    LONG cacheBits;
    DWORD cacheSize;
    // Octree mode: how each channel enters the cache key. Cube mode: red
    // stride, red step, green stride, green step, blue step, unused.
    LONG redShift;
    LONG redPosition;
    LONG greenShift;
    LONG greenPosition;
    LONG blueShift;
    LONG bluePosition;
    void* block;               // owns the three tables below
    SHORT* cache;              // octree mode: entry per key, -1 unknown; null in cube mode
    LONG* errorLimit;          // octree mode: indexed -255 to 255; null in cube mode
    BYTE* rangeLimit;          // indexed -256 to 511, clamps to 0..255
    LONG transparentCubeIndex; // cube mode, set by the client
    LONG transparentRed;
    LONG transparentGreen;
    LONG transparentBlue;
    LONG cubeMap[256];
    PROGRESSPROC progress;
    void* progressData;
};

// Prepares d: octree mode (cubeMode 0; red, green, blue are 0 to 8 key bits)
// or cube mode (2 or more levels each); levels (0 to 9) is the error limit
// of octree mode, 0 or less passing no error on. IMG_ERR_FORMAT for values
// outside those ranges, IMG_ERR_MEMORY.
int DitherInit(DITHER* d, QUANTIZER* source, BOOL cubeMode, int red, int green, int blue, int levels);
// Converts a 24-bit picture in place to the depth the source palette needs
// (8 bits above 16 entries, 4 above 2, else 1) and gives it that palette in
// RGB mode. IMG_ERR_FORMAT (not a 24-bit picture with pixels, or no source
// palette), IMG_ERR_MEMORY (picture untouched), IMG_ERR_CANCELLED (the
// picture is then unusable: converted rows under a 24-bit header).
int DitherImage(DITHER* d, DIBIMAGE* image);
void DitherFree(DITHER* d);
// Converts a 1, 4 or 8-bit picture to 24 bits through `fileColors`; 24 bits
// is left alone. d (may be null) serves only for its progress callback.
// IMG_ERR_FORMAT, IMG_ERR_MEMORY, IMG_ERR_CANCELLED leave the picture as it was.
int DibExpandTo24(DITHER* d, DIBIMAGE* image);
// Reserves the source's entry nearest to the picture's transparent colour
// for exactly that colour (octree mode).
void DitherSetTransparent(DITHER* d, DIBIMAGE* image);
void DitherSetProgress(DITHER* d, PROGRESSPROC proc, void* data);
// Cube mode against an arbitrary source palette: cubeMap maps each cube cell
// (offset by the source's firstIndex, as DitherImage looks it up) to the
// source entry nearest to the cell's colour. IMG_ERR_MEMORY.
int DitherBuildCubeMap(DITHER* d);

// Index of the entry with the smallest sum of absolute channel differences
// to the COLORREF color; the first wins a tie; 0 for an empty table.
int FindNearestColor(COLORREF color, const RGBQUAD* table, int count);
// Index of the first entry equal to color, -1 when none.
int FindExactColor(COLORREF color, const RGBQUAD* table, int count);
