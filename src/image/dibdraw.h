// Drawing a DIBIMAGE on a device context: the colour mode of 1, 4 and 8-bit
// pictures (true colours, or indices into the logical palette selected into
// the target), one transparent colour drawn in two raster passes, and the
// drawing operations themselves.
//
// The client owns its palette: it selects and realises it in the target
// before drawing a palette-index picture and selects the old one back after.
// Transparency of a 1, 4 or 8-bit picture uses `maskColors` (the transparent
// entry white, or palette index 255; the rest black, index 0) and
// `paintColors` (the picture's table with the transparent entry black, index
// 0); a 24-bit picture uses the monochrome `hbmMask`, owned by the record.
// Drawing changes `colors` in place: one picture is drawn by one thread.
//
// GDI failures are not turned into codes: drawing returns StretchDIBits'
// count of scan lines (0 on failure) and leaves the device context's colours
// and selected objects as it found them.
#pragma once

#include "image/dibimage.h"

// The whole picture 1:1 with its top-left corner at (x, y). maskDc is a memory
// device context for the mask of a transparent 24-bit picture; without one a
// temporary one is made. rop is not used for transparent pictures, whose
// passes are fixed.
int DibDraw(DIBIMAGE* image, HDC dc, int x, int y, HDC maskDc, DWORD rop);
// The whole picture 1:1 with rop and no mask pass (a transparent 1, 4, 8-bit
// picture's transparent colour comes out black).
int DibDrawPlain(DIBIMAGE* image, HDC dc, int x, int y, DWORD rop);
// The source rectangle (y from the top of the picture) into the destination
// rectangle, with the mask passes of DibDraw.
int DibDrawStretched(DIBIMAGE* image, HDC dc, int x, int y, int width, int height, HDC maskDc, int xSrc, int ySrc,
                     int srcWidth, int srcHeight, DWORD rop);

// Palette-index mode with entry i = i (1, 4, 8 bits; 24 bits unchanged).
void DibUseIdentityIndices(DIBIMAGE* image);
// Palette-index mode with entry i = the palette's nearest entry to colour i.
void DibMapToPalette(DIBIMAGE* image, HPALETTE palette);
// RGB mode: `colors` = `fileColors`.
void DibUseRgbColors(DIBIMAGE* image);
// Fills `maskColors` and `paintColors` of a transparent 1, 4, 8-bit picture
// for its current colour mode.
void DibBuildMaskColors(DIBIMAGE* image);

// Makes one colour transparent: fromTopLeft takes the top-left pixel's,
// otherwise index when 0 or more (below the colour count), otherwise color
// (a COLORREF; at up to 8 bits the first entry of that colour). Returns
// `transparent`.
DWORD DibSetTransparent(DIBIMAGE* image, int index, COLORREF color, BOOL fromTopLeft);
void DibClearTransparent(DIBIMAGE* image);
// Builds the 24-bit mask bitmap (1 where the pixel is the transparent colour)
// anew; sets and returns `transparent` by whether it was created.
DWORD DibBuildMaskBitmap(DIBIMAGE* image);
// A device-dependent bitmap of the picture for the screen (through palette
// when given), or null.
HBITMAP DibCreateBitmap(DIBIMAGE* image, HPALETTE palette);
