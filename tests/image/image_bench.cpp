// Benchmark of the preview's colour reduction: octree quantisation of a
// 24-bit picture to the free entries of the display's 256-entry palette, then
// dithering to it, as the settings dialog does on a palette display. Prints
// one table row with the times and the mean colour error, beside the figures
// of another program's result given on the command line.
//
//   image_bench <picture.bmp> <other result.bmp> <other milliseconds>
//
// Run on the 8-bit display (tools/bench-image does); on a true-colour display
// the palette is 256 entries with the 16 standard colours at its ends.
#include "image/dibfile.h"
#include "image/dither.h"
#include "image/quantize.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Mean over all pixels and channels of the absolute difference between the
// original's colour and the result's.
double MeanError(const DIBIMAGE* original, const DIBIMAGE* result) {
    double sum = 0;
    const int w = original->info.biWidth, h = original->info.biHeight;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            DWORD a = DibGetPixel(original, x, y, nullptr); // 0x00RRGGBB
            DWORD b = DibGetPixel(result, x, y, nullptr);
            if (result->info.biBitCount <= 8) // a COLORREF
                b = (GetRValue(b) << 16) | (GetGValue(b) << 8) | GetBValue(b);
            for (int shift = 0; shift < 24; shift += 8)
                sum += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
        }
    }
    return sum / (3.0 * w * h);
}

struct Run {
    double quantise = 0, dither = 0;
};

// One conversion of a copy of the picture; the result is left in out.
bool Convert(const DIBIMAGE* picture, DIBIMAGE* out, Run* run) {
    if (DibCopy(out, picture) != IMG_OK)
        return false;
    QUANTIZER q = {};
    double start = Now();
    if (QuantInit(&q, 0, 0) != 0 && QuantInit(&q, 0, 256) != 0)
        return false;
    bool ok = QuantAddImage(&q, out) == IMG_OK && QuantBuildPalette(&q, 0, TRUE);
    double quantised = Now();
    DITHER d = {};
    ok = ok && DitherInit(&d, &q, FALSE, 6, 6, 6, 2) == IMG_OK && DitherImage(&d, out) == IMG_OK;
    double dithered = Now();
    DitherFree(&d);
    QuantFree(&q);
    run->quantise = quantised - start;
    run->dither = dithered - quantised;
    return ok;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: image_bench <picture.bmp> <other result.bmp> <other milliseconds>\n");
        return 2;
    }
    DIBIMAGE picture = {}, other = {};
    int result = DibLoadFile(&picture, argv[1]);
    if (result != IMG_OK || picture.info.biBitCount != 24) {
        std::fprintf(stderr, "image_bench: cannot load 24-bit picture %s: code %d\n", argv[1], result);
        return 1;
    }
    result = DibLoadFile(&other, argv[2]);
    if (result != IMG_OK) {
        std::fprintf(stderr, "image_bench: cannot load %s: code %d\n", argv[2], result);
        return 1;
    }
    const int pixels = picture.info.biWidth * picture.info.biHeight;
    const int rounds = pixels > 1000000 ? 5 : 21;
    std::vector<double> quantise, dither, total;
    DIBIMAGE converted = {};
    for (int i = 0; i < rounds; ++i) {
        DibFree(&converted);
        converted = DIBIMAGE{};
        Run run;
        if (!Convert(&picture, &converted, &run)) {
            std::fprintf(stderr, "image_bench: conversion failed\n");
            return 1;
        }
        quantise.push_back(run.quantise);
        dither.push_back(run.dither);
        total.push_back(run.quantise + run.dither);
    }
    std::printf("%5d x %-5d %11.1f %11.1f %11.1f %11.2f %13.1f %11.2f\n", static_cast<int>(picture.info.biWidth),
                static_cast<int>(picture.info.biHeight), Median(quantise), Median(dither), Median(total),
                MeanError(&picture, &converted), std::atof(argv[3]), MeanError(&picture, &other));
    DibFree(&converted);
    DibFree(&picture);
    DibFree(&other);
    return 0;
}
