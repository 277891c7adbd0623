// The BMP run-length codecs, BI_RLE8 and BI_RLE4: units of two bytes, a
// nonzero first byte an encoded run, a zero first byte an escape (0 end of
// line, 1 end of bitmap, 2 delta dx dy, 3 to 255 an absolute run padded to 16
// bits).
//
// Decoders: image->bits holds `length` bytes of encoded data, image->stride
// and the header describe the plain picture. On success the encoded buffer is
// released and replaced by stride x biHeight bytes of plain rows (pixels the
// data never writes are undefined), biCompression becomes BI_RGB and
// biSizeImage 0. IMG_ERR_FORMAT for data that is truncated, lacks the end of
// bitmap, or would write or move outside the picture; IMG_ERR_MEMORY. On
// failure `bits` still holds the encoded data, for the caller to release.
//
// Encoders: the picture's plain 8-bit or 4-bit rows into a new buffer of at
// most stride x biHeight bytes (released with FreeAlloc), its used length in
// *length; an end of line after each row and an end of bitmap at the end.
// Null and length 0 when the encoding does not fit with 8 bytes to spare or
// memory runs out.
#pragma once

#include "image/dibimage.h"

int DibDecodeRle8(DIBIMAGE* image, DWORD length);
int DibDecodeRle4(DIBIMAGE* image, DWORD length);

BYTE* DibEncodeRle8(const DIBIMAGE* image, DWORD* length);
BYTE* DibEncodeRle4(const DIBIMAGE* image, DWORD* length);
