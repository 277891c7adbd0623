// The display's colour capacity and the palette record that the quantiser
// fills and the client hands to CreatePalette.
//
// A palette record is a LOGPALETTE of 1 to 256 entries from the runtime heap,
// owned by whoever asked for it (in this system a QUANTIZER) and released
// with FreePalette. Made with system colours, its first s/2 and last s/2
// entries hold the display's static colours and the rest is free for a
// picture's own colours.
#pragma once

#include <windows.h>

struct QUANTIZER;

// SIZEPALETTE on a palette display (RC_PALETTE), else NUMCOLORS: 16 on a
// 16-colour display, -1 on one of more than 8 bits per pixel. Values outside
// 1 to 256 mean that there is no usable palette size.
int GetDisplayColorCount();
int GetDisplayBitsPerPixel();

// A palette of n entries, all white, or null (n not within 1 to 256, or no
// memory). withSystem raises n to the display's colour count when that is
// within 1 to 256 and larger, and puts the static colours at both ends: the
// system palette on a palette display (s = NUMRESERVED), the standard 16
// colours otherwise (s = 16, or fewer when n is smaller). staticOut, when
// given, receives s (0 without withSystem).
LOGPALETTE* AllocPalette(BOOL withSystem, int n, int* staticOut);
// Frees a palette record and clears the pointer; safe on null.
void FreePalette(LOGPALETTE** palette);

// A uniform colour cube of r x g x b levels (blue fastest) in the free
// entries of a new 256-entry palette that replaces q->palette; sets
// leafCount and firstIndex. Null when the cube needs more than 256 or more
// than the free entries, or memory runs out (q->palette is then null).
LOGPALETTE* QuantMakeCubePalette(QUANTIZER* q, int redLevels, int greenLevels, int blueLevels, BOOL withSystem);
// The display's own palette: its halftone palette on a palette display, the
// 6 x 6 x 6 cube with system colours otherwise. Null on failure.
LOGPALETTE* QuantMakeDisplayPalette(QUANTIZER* q);
