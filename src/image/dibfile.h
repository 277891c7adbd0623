// BMP input and output: a DIBIMAGE from an open file, a named file, a bitmap
// resource or a packed DIB in memory, and back to a BMP file, plain or
// run-length encoded.
//
// The loaders fill an empty record (they never release an earlier `bits`):
// the 40-byte BITMAPINFOHEADER (other header sizes are refused), the colour
// table of DibTableCount entries into `fileColors` and `colors`, then the
// pixel data right after the table (bfOffBits is not consulted). RLE data is
// decoded, so every picture handed back is plain BI_RGB rows that fill their
// buffer. On failure `bits` is null; the header and tables may hold what was
// read.
//
// Results: IMG_OK; IMG_ERR_OPEN (file cannot be opened); IMG_ERR_READ (short
// file header, info header or colour table, or a failing read); IMG_ERR_FORMAT
// (not "BM", a header that is not 40 bytes or that DibValidateHeader rejects,
// corrupt RLE data); IMG_ERR_MEMORY; IMG_ERR_RESOURCE; IMG_ERR_CANCELLED
// (`cancel` at a check point). Pixel data cut short loads with IMG_OK; the rows missing are index
// 0 or black.
#pragma once

#include "image/dibimage.h"
#include "util/filebox.h"

// Reads a BMP at the file's current position; the file stays open, its
// position after the bytes read.
int DibReadFile(DIBIMAGE* image, FileBox* file);
// Opens path for shared reading, DibReadFile, closes.
int DibLoadFile(DIBIMAGE* image, const char* path);
// The RT_BITMAP resource name (a string or MAKEINTRESOURCE) of module.
int DibLoadResource(DIBIMAGE* image, HMODULE module, const char* name);
// A packed DIB (header, table, pixels) of size bytes at data. Nothing beyond
// data + size is read: a header or table cut short is IMG_ERR_READ, pixel data
// cut short loads as above. When next is given it receives the address just
// past the pixel data the header claims, at most data + size (also when the
// decoding fails).
int DibLoadPacked(DIBIMAGE* image, const void* data, DWORD size, const BYTE** next);
// Replaces RLE data in `bits` (biSizeImage bytes) by plain rows; IMG_OK at
// once for BI_RGB.
int DibDecompress(DIBIMAGE* image);

// Writes the picture as a BMP file to path (created anew, deleted again when
// the write fails). IMG_ERR_CREATE, IMG_ERR_WRITE, IMG_ERR_FORMAT (no pixels).
int DibSaveFile(DIBIMAGE* image, const char* path, BOOL compress);
// Writes file header, info header, colour table (DibTableCount entries of
// `fileColors`) and pixels at the file's position; with compress, 4-bit and
// 8-bit pictures are RLE-encoded when that makes them smaller.
int DibWriteFile(DIBIMAGE* image, FileBox* file, BOOL compress);
// Copies `info` into header with biSizeImage = DibImageSize. For a BI_RGB
// picture of 4 or 8 bits whose encoding is shorter than the plain size minus
// 2, returns the encoded buffer (the caller releases it with FreeAlloc) and
// gives header its biCompression and biSizeImage; otherwise returns `bits`.
BYTE* DibCompress(DIBIMAGE* image, BITMAPINFOHEADER* header);

// The four header fields DibReadInfo reports.
struct DIBINFO {
    LONG width;
    LONG height;
    DWORD compression;
    DWORD bitCount;
};
// File header and info header only: IMG_ERR_OPEN, IMG_ERR_READ, IMG_ERR_FORMAT.
int DibReadInfo(const char* path, DIBINFO* out);
int DibReadInfoFromFile(FileBox* file, DIBINFO* out);
