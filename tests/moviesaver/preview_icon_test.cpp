// The preview without the movie: icon 1 of the module, 64 by 64, centred on
// black. Run in this process, whose resources carry the module's icon, so the
// pixels can be read back (a child window of another process is not shown
// under Wine).
#include "moviesaver/mvsaver.h"
#include "util/modulenames.h"

#include "testsupport.h"

#include <gtest/gtest.h>

namespace {

class ReadBackSaver : public mvSaver {
public:
    testsupport::ScreenShot drawn;

    void OnDraw(HDC dc) override {
        mvSaver::OnDraw(dc);
        if (!drawn.pixels.empty())
            return;
        drawn.width = clientRect.right;
        drawn.height = clientRect.bottom;
        for (int y = 0; y < drawn.height; ++y)
            for (int x = 0; x < drawn.width; ++x) {
                COLORREF c = GetPixel(dc, x, y);
                drawn.pixels.push_back(static_cast<DWORD>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c)));
            }
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
};

TEST(MovieSaverPreview, WithoutRunPreviewShowsIconOneCentredOnBlack) {
    // No package and no player: nothing is started.
    SetModuleNames((testsupport::ScratchDir("preview-icon") + "\\Icon.scr").c_str());
    HWND area = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 301, 241, nullptr, nullptr, nullptr,
                                nullptr);
    ReadBackSaver saver;
    SaverArgs args;
    args.mode = MODE_PREVIEW;
    args.window = area;
    saver.Run(args, GetModuleHandleA(nullptr), SW_SHOW);
    ASSERT_EQ(saver.drawn.width, 301);
    ASSERT_EQ(saver.drawn.height, 241);

    // The same icon drawn here on black, to compare with.
    HICON icon =
        static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), IMAGE_ICON, 64, 64, 0));
    ASSERT_NE(icon, nullptr);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 64, 64);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, 64, 64, nullptr, 0, 0, BLACKNESS);
    DrawIconEx(memory, 0, 0, icon, 64, 64, 0, nullptr, DI_NORMAL);

    const int left = (301 - 64) / 2, top = (241 - 64) / 2; // truncated: 118, 88
    int differing = 0, lit = 0;
    for (int y = 0; y < saver.drawn.height; ++y)
        for (int x = 0; x < saver.drawn.width; ++x) {
            DWORD expected = 0;
            if (x >= left && x < left + 64 && y >= top && y < top + 64) {
                COLORREF c = GetPixel(memory, x - left, y - top);
                expected = static_cast<DWORD>(GetRValue(c) << 16 | GetGValue(c) << 8 | GetBValue(c));
            }
            differing += saver.drawn.At(x, y) != expected;
            lit += expected != 0;
        }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(lit, 64 * 64 / 2); // the icon is really there
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DestroyIcon(icon);
    DestroyWindow(area);
}

} // namespace
