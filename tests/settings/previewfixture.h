// Packaged savers and pictures for the tests of the settings dialog's preview
// picture, in the test program itself and launched: savers made by mvpack
// from the built module (player spiprobe.exe), pictures written as BMP
// files, and the built-in picture as the module carries it.
#pragma once

#include "image/dibimage.h"

#include <windows.h>

#include <string>

namespace previewfixture {

// A packaged saver dir\<title>.scr whose trailer carries the [Settings] lines
// given and, unless picture is empty, that BMP file; Sound is stored beside
// it unless sound is null. Empty when mvpack failed (a test failure is added).
std::string MakeSaver(const std::string& dir, const std::string& title, const std::string& settings, const char* sound,
                      const std::string& picture = "");

// Overwrites bytes of the package's picture, from offset `at` within it.
bool PatchPicture(const std::string& module, DWORD at, const std::string& bytes);

// Writes image as a BMP file; false on failure.
bool SavePicture(const std::string& path, DIBIMAGE* image, BOOL compress = FALSE);

// The built-in picture (bitmap IDB_PREVIEW of the built module).
int LoadBuiltInPicture(DIBIMAGE* image);

// 24 bits: smooth colours that all have blue 77, so that the entries a
// quantised palette gives them are told from the static colours.
int MakeGradient(DIBIMAGE* image, int width, int height);
// 24 bits: blocks of the 20 static colours of a palette display, each pixel
// off by up to 6 in every channel: thousands of colours that a display
// showing only its static colours still shows closely.
int MakeStaticBlocks(DIBIMAGE* image, int width, int height);
// 8 bits, 256 colours: a 16 x 16 grid of cells of `cell` pixels, cell i of
// index i, colour i Color256(i).
int MakeIndexGrid(DIBIMAGE* image, int cell);
RGBQUAD Color256(int i);

// The screen has a palette of at most 256 colours.
bool IsPaletteDisplay();

// Mean absolute difference per channel of two pictures' colours (true
// colours, whatever their depths), -1 when their sizes differ.
double MeanColourError(const DIBIMAGE* a, const DIBIMAGE* b);

} // namespace previewfixture
