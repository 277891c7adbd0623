// A PNG reader for the pictures that DefineBitsJPEG2 and 3 may carry instead
// of JPEG data: 8-bit (and, for grey and palette pictures, 1, 2 and 4-bit)
// non-interlaced pictures of every colour type. The size is checked against
// the bitmap limits before anything is allocated. Returns false when there is
// no usable picture; damaged pixel data leaves the rest of it transparent.
#pragma once

#include "player/bitmap.h"

bool IsPng(const uint8_t* data, size_t size);
bool DecodePng(const uint8_t* data, size_t size, Bitmap* out);
