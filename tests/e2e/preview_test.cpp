#include "saverprocess.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace testsupport;

// The desktop's preview area, played by a window of the test that paints
// nothing of its own over its children.
HWND MakePreviewArea() {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PreviewArea";
    RegisterClassA(&wc);
    HWND area = CreateWindowExA(0, "PreviewArea", "preview", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 60, 80,
                                260, 200, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(area, nullptr);
    return area;
}

std::string Handle(HWND window) { return std::to_string(reinterpret_cast<LONG_PTR>(window)); }

TEST(Preview, DrawsBlackInAChildOfTheGivenWindowUntilItIsDestroyed) {
    HWND area = MakePreviewArea();
    Process saver;
    ASSERT_TRUE(saver.Start(e2e::ModulePath(), "/p " + Handle(area)));
    HWND child = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (child = FindWindowExA(area, nullptr, "CSaverWin", nullptr)) != nullptr; }));

    LONG style = GetWindowLongA(child, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_TRUE(style & WS_DISABLED);
    EXPECT_EQ(GetParent(child), area);
    RECT areaRect, childRect;
    GetWindowRect(area, &areaRect);
    GetWindowRect(child, &childRect);
    EXPECT_TRUE(EqualRect(&areaRect, &childRect));

    RECT client;
    GetClientRect(area, &client);
    MapWindowPoints(area, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_TRUE(WaitUntil([&] { return RegionIs(CaptureScreen(), client, 0); }));

    // No input ends a preview.
    EXPECT_TRUE(PlaceCursor(client.left + 5, client.top + 5));
    EXPECT_TRUE(PlaceCursor(client.left + 100, client.top + 100));
    PostMessageA(child, WM_KEYDOWN, 'A', 1);
    PostMessageA(child, WM_LBUTTONDOWN, 0, 0);
    PostMessageA(child, WM_ACTIVATEAPP, 0, 0);
    PumpFor(e2e::kQuietMs);
    EXPECT_TRUE(saver.Running());
    EXPECT_FALSE(ScreenSaverRunning());

    DestroyWindow(area);
    EXPECT_TRUE(saver.WaitExit());
    EXPECT_EQ(saver.ExitCode(), 0u);
}

TEST(Preview, WithoutALiveWindowExitsAtOnceWithoutAWindow) {
    HWND dead = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(dead);
    const std::string lines[] = {"/p " + Handle(dead), "/p", "/l:0"};
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        Process saver;
        ASSERT_TRUE(saver.Start(e2e::ModulePath(), line));
        EXPECT_TRUE(saver.WaitExit());
        EXPECT_EQ(saver.ExitCode(), 0u);
        EXPECT_TRUE(TopLevelWindows(saver.Id()).empty());
    }
}

} // namespace
