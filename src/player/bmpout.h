// Writes a canvas as a 24-bit BMP file. The one place that knows the file
// format, so that it can move to the image library by changing this unit.
// True when the whole file was written.
#pragma once

#include "player/paint.h"

bool WriteCanvasBmp(const char* path, const Canvas& canvas);
