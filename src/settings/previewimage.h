// The records that hold the settings dialog's preview picture.
//
// Stand-ins until the image library is merged: they carry only the fields
// the dialog reads (the picture's header and its pixel buffer) and the
// picture stays empty. To switch, include "image/dibdraw.h" and
// "image/quantize.h" here instead, alias PreviewImage to DIBIMAGE and
// PreviewQuantizer to QUANTIZER, and drop the DibDraw stand-in.
#pragma once

#include <windows.h>

struct PreviewImageStandIn {
    BITMAPINFOHEADER info;
    BYTE* bits; // null: no picture
};

struct PreviewQuantizerStandIn {
    LOGPALETTE* palette;
};

using PreviewImage = PreviewImageStandIn;
using PreviewQuantizer = PreviewQuantizerStandIn;

// Draws nothing: there is no picture to draw yet.
inline int DibDraw(PreviewImage*, HDC, int, int, HDC, DWORD) {
    return 0;
}
