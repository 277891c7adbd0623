#include "previewfixture.h"

#include "image/dibfile.h"
#include "moviesaver/trailer.h"
#include "resources/resource.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace previewfixture {

using namespace testsupport;

namespace {

std::string Quote(const std::string& s) {
    return "\"" + s + "\"";
}

BYTE Clamp(int v) {
    return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v);
}

} // namespace

std::string MakeSaver(const std::string& dir, const std::string& title, const std::string& settings, const char* sound,
                      const std::string& picture) {
    std::string module = dir + "\\" + title + ".scr";
    std::string args = "build --module " + Quote(BinPath("MovieSaver.scr")) + " --player " +
                       Quote(BinPath("spiprobe.exe")) + " -o " + Quote(module);
    if (!settings.empty()) {
        std::string ini = dir + "\\layout.ini";
        EXPECT_TRUE(WriteFileBytes(ini, "[Settings]\r\n" + settings + "\r\n"));
        args += " --settings " + Quote(ini);
    }
    if (!picture.empty())
        args += " --picture " + Quote(picture);
    std::string err;
    int code = RunProgram(BinPath("mvpack.exe"), args, nullptr, &err);
    EXPECT_EQ(code, 0) << err;
    if (sound) {
        std::string ini = dir + "\\" + title + ".ini";
        EXPECT_TRUE(WriteFileBytes(ini, std::string("[Screensaver]\r\nSound=") + sound + "\r\n"));
    }
    return code == 0 ? module : "";
}

bool PatchPicture(const std::string& module, DWORD at, const std::string& bytes) {
    std::string data = ReadFileBytes(module);
    if (data.size() < TRAILER_SIZE)
        return false;
    mvTrailer t;
    memcpy(&t, data.data() + data.size() - TRAILER_SIZE, TRAILER_SIZE);
    if (!t.pictureOffset || t.pictureOffset + at + bytes.size() > t.playerOffset)
        return false;
    data.replace(t.pictureOffset + at, bytes.size(), bytes);
    return WriteFileBytes(module, data);
}

bool SavePicture(const std::string& path, DIBIMAGE* image, BOOL compress) {
    return DibSaveFile(image, path.c_str(), compress) == IMG_OK;
}

int LoadBuiltInPicture(DIBIMAGE* image) {
    HMODULE module = LoadLibraryExA(BinPath("MovieSaver.scr").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return IMG_ERR_OPEN;
    int result = DibLoadResource(image, module, MAKEINTRESOURCEA(IDB_PREVIEW));
    FreeLibrary(module);
    return result;
}

int MakeGradient(DIBIMAGE* image, int width, int height) {
    int result = DibCreate(image, width, height, 24, nullptr, 0);
    if (result != IMG_OK)
        return result;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            DibSetPixel(image, x, y, static_cast<DWORD>((x * 255 / width) << 16 | (y * 255 / height) << 8 | 77),
                        nullptr);
    return IMG_OK;
}

int MakeStaticBlocks(DIBIMAGE* image, int width, int height) {
    PALETTEENTRY statics[20];
    GetPaletteEntries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 20, statics);
    int result = DibCreate(image, width, height, 24, nullptr, 0);
    if (result != IMG_OK)
        return result;
    unsigned seed = 1001;
    auto noise = [&seed] {
        seed = seed * 1103515245 + 12345;
        return static_cast<int>((seed >> 16) % 13) - 6;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const PALETTEENTRY& c = statics[(y * 4 / height) * 5 + x * 5 / width];
            DWORD rgb = static_cast<DWORD>(Clamp(c.peRed + noise()) << 16 | Clamp(c.peGreen + noise()) << 8 |
                                           Clamp(c.peBlue + noise()));
            DibSetPixel(image, x, y, rgb, nullptr);
        }
    }
    return IMG_OK;
}

RGBQUAD Color256(int i) {
    // Distinct for every i: blue is i itself.
    return RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i * 37), static_cast<BYTE>(255 - i * 7), 0};
}

int MakeIndexGrid(DIBIMAGE* image, int cell) {
    RGBQUAD table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = Color256(i);
    int result = DibCreate(image, 16 * cell, 16 * cell, 8, table, 256);
    if (result != IMG_OK)
        return result;
    for (int y = 0; y < 16 * cell; ++y)
        for (int x = 0; x < 16 * cell; ++x)
            image->bits[(16 * cell - 1 - y) * image->stride + x] = static_cast<BYTE>((y / cell) * 16 + x / cell);
    return IMG_OK;
}

bool IsPaletteDisplay() {
    HDC screen = GetDC(nullptr);
    bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return palette;
}

double MeanColourError(const DIBIMAGE* a, const DIBIMAGE* b) {
    if (a->info.biWidth != b->info.biWidth || a->info.biHeight != b->info.biHeight)
        return -1;
    // As 0x00RRGGBB whatever the depth.
    auto rgb = [](const DIBIMAGE* image, int x, int y) {
        DWORD c = DibGetPixel(image, x, y, nullptr);
        return image->info.biBitCount > 8 ? c
                                          : static_cast<DWORD>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
    };
    double sum = 0;
    for (int y = 0; y < a->info.biHeight; ++y) {
        for (int x = 0; x < a->info.biWidth; ++x) {
            DWORD p = rgb(a, x, y), q = rgb(b, x, y);
            for (int shift = 0; shift < 24; shift += 8)
                sum += std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
        }
    }
    return sum / (3.0 * a->info.biWidth * a->info.biHeight);
}

} // namespace previewfixture
