#include "settingsdialog.h"

#include <gtest/gtest.h>

namespace e2e {

using namespace testsupport;

HWND StartDialog(Process& saver, const std::string& module, const std::string& line) {
    if (!saver.Start(module, line))
        return nullptr;
    HWND dialog = WaitForTopLevelWindow(saver.Id(), "#32770");
    if (!dialog || !WaitUntil([&] { return IsWindowVisible(dialog) != FALSE; }))
        return nullptr;
    return dialog;
}

std::string StoredSound(const std::string& ini) {
    char value[32];
    GetPrivateProfileStringA("Screensaver", "Sound", "none", value, sizeof value, ini.c_str());
    return value;
}

bool IsUniform(const ScreenShot& shot, const RECT& area) {
    return RegionIs(shot, area, shot.At(area.left, area.top));
}

ScreenShot ReadScreenArea(const RECT& area) {
    ScreenShot shot;
    shot.width = area.right - area.left;
    shot.height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY);
        GdiFlush();
        const DWORD* source = static_cast<const DWORD*>(bits);
        shot.pixels.assign(source, source + static_cast<size_t>(shot.width) * shot.height);
        for (DWORD& p : shot.pixels)
            p &= 0x00FFFFFF;
        SelectObject(memory, old);
        DeleteObject(bitmap);
    } else {
        shot.width = shot.height = 0;
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return shot;
}

RECT ScreenRect(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

RECT ClientScreenRect(HWND window) {
    RECT r;
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

namespace {

bool SaveBmp(const std::string& path, const ScreenShot& shot) {
    const int stride = (shot.width * 3 + 3) & ~3;
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = shot.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + stride * shot.height;
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
    bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
    for (int y = shot.height - 1; y >= 0; --y) {
        std::string row(stride, '\0');
        for (int x = 0; x < shot.width; ++x) {
            DWORD p = shot.At(x, y);
            row[x * 3] = static_cast<char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<char>((p >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<char>((p >> 16) & 0xFF);
        }
        bytes += row;
    }
    return WriteFileBytes(path, bytes);
}

} // namespace

void SaveScreenshot(HWND dialog, const std::string& name) {
    for (int id : {IDOK, IDCANCEL}) {
        RECT button = ScreenRect(GetDlgItem(dialog, id));
        RECT inside = {0, 0, button.right - button.left, button.bottom - button.top};
        ASSERT_TRUE(WaitUntil([&] { return !IsUniform(ReadScreenArea(button), inside); })) << "the dialog never drew";
    }
    std::string dir = BinDir() + "\\..\\screenshots";
    CreateDirectoryA(dir.c_str(), nullptr);
    EXPECT_TRUE(SaveBmp(dir + "\\settings-" + name + ".bmp", ReadScreenArea(ScreenRect(dialog))));
}

} // namespace e2e
