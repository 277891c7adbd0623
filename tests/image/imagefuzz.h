// The fuzz entry point of the image library: one input, as a BMP file and as
// a packed DIB, through the loaders, and whatever loads through the copy, the
// RLE writer, the quantiser and the dithering engine. The mutation test calls
// it with thousands of damaged files; a fuzzer can call it the same way.
//
// Inputs whose header announces more than FUZZ_MAX_PIXELS pixels are skipped
// before anything is read, as fuzzers of image readers do, to keep each run
// short; damaged sizes below that are all exercised.
#pragma once

#include <windows.h>

#include <string>

enum : int { FUZZ_MAX_PIXELS = 1 << 18 };

// Returns false, with the reason in *why, when a result is not one of the
// library's codes or a picture does not fit its buffer. scratchFile is a path
// the BMP form is written to, or null to try the packed form only.
bool ImageFuzzInput(const BYTE* data, size_t size, const char* scratchFile, std::string* why);
