#include "saverprocess.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace testsupport;
using e2e::FullScreenSaver;

void PressKey(BYTE key) {
    keybd_event(key, 0, 0, 0);
    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
}

TEST(FullScreen, CoversThePrimaryScreenTopMostAndBlack) {
    ASSERT_FALSE(ScreenSaverRunning());
    FullScreenSaver saver;
    ASSERT_TRUE(saver.Start());

    char name[64] = "";
    GetClassNameA(saver.window, name, sizeof name);
    EXPECT_STREQ(name, "CSaverWin");
    LONG style = GetWindowLongA(saver.window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & WS_CHILD);
    EXPECT_TRUE(GetWindowLongA(saver.window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT rect;
    GetWindowRect(saver.window, &rect);
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, cx);
    EXPECT_EQ(rect.bottom, cy);

    RECT whole = {0, 0, cx, cy};
    EXPECT_TRUE(WaitUntil([&] { return RegionIs(CaptureScreen(), whole, 0); }));
    EXPECT_TRUE(WaitUntil(ScreenSaverRunning));

    PressKey('A');
    EXPECT_TRUE(saver.Ended());
    EXPECT_FALSE(ScreenSaverRunning());
}

struct Travel {
    int dx, dy;
    bool ends;
};

TEST(FullScreen, MoreThanEightPixelsOfMouseTravelOnEitherAxisEndsTheRun) {
    const Travel cases[] = {
        {8, 8, false}, {-8, -8, false}, {8, -8, false}, {9, 0, true}, {0, 9, true}, {-9, 0, true}, {0, -9, true},
    };
    for (const Travel& t : cases) {
        SCOPED_TRACE(testing::Message() << "travel " << t.dx << ", " << t.dy);
        FullScreenSaver saver;
        ASSERT_TRUE(saver.Start());
        EXPECT_TRUE(PlaceCursor(FullScreenSaver::kStart.x + t.dx, FullScreenSaver::kStart.y + t.dy));
        if (t.ends) {
            EXPECT_TRUE(saver.Ended());
        } else {
            EXPECT_TRUE(saver.StillRunning());
            EXPECT_TRUE(PlaceCursor(FullScreenSaver::kStart.x + 20, FullScreenSaver::kStart.y));
            EXPECT_TRUE(saver.Ended());
        }
    }
}

// A slow drift is measured from where the run started, not from the last step.
TEST(FullScreen, DriftThatAddsUpPastEightPixelsEndsTheRun) {
    FullScreenSaver saver;
    ASSERT_TRUE(saver.Start());
    for (int step = 1; step <= 8; ++step) {
        EXPECT_TRUE(PlaceCursor(FullScreenSaver::kStart.x + step, FullScreenSaver::kStart.y));
        PumpFor(50);
    }
    EXPECT_TRUE(saver.StillRunning());
    EXPECT_TRUE(PlaceCursor(FullScreenSaver::kStart.x + 9, FullScreenSaver::kStart.y));
    EXPECT_TRUE(saver.Ended());
}

struct Action {
    const char* name;
    std::function<void(HWND)> act;
};

TEST(FullScreen, KeyOrButtonEndsTheRun) {
    const Action actions[] = {
        {"key", [](HWND) { PressKey('Q'); }},
        {"system key", [](HWND) { PressKey(VK_MENU); }},
        {"left button",
         [](HWND) {
             mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
             mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
         }},
        {"right button",
         [](HWND) {
             mouse_event(MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
             mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
         }},
        {"middle button",
         [](HWND) {
             mouse_event(MOUSEEVENTF_MIDDLEDOWN, 0, 0, 0, 0);
             mouse_event(MOUSEEVENTF_MIDDLEUP, 0, 0, 0, 0);
         }},
        {"posted WM_SYSKEYDOWN", [](HWND w) { PostMessageA(w, WM_SYSKEYDOWN, VK_F4, 0x20000000); }},
    };
    for (const Action& a : actions) {
        SCOPED_TRACE(a.name);
        FullScreenSaver saver;
        ASSERT_TRUE(saver.Start());
        // Typed input can be lost while the window manager moves the focus
        // about; a person would press again, and so does the test, twice at most.
        a.act(saver.window);
        for (int again = 0; again < 2 && !saver.process.WaitExit(5000); ++again)
            a.act(saver.window);
        EXPECT_TRUE(saver.Ended());
    }
}

TEST(FullScreen, ReleasesCharactersDoubleClicksAndCloseCommandsDoNothing) {
    FullScreenSaver saver;
    ASSERT_TRUE(saver.Start());
    HWND w = saver.window;
    PostMessageA(w, WM_KEYUP, 'A', 0xC0000001);
    PostMessageA(w, WM_CHAR, 'a', 1);
    PostMessageA(w, WM_LBUTTONUP, 0, MAKELPARAM(300, 200));
    PostMessageA(w, WM_RBUTTONUP, 0, MAKELPARAM(300, 200));
    PostMessageA(w, WM_LBUTTONDBLCLK, 0, MAKELPARAM(300, 200));
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    PostMessageA(w, WM_SYSCOMMAND, SC_SCREENSAVE, 0);
    PostMessageA(w, WM_ACTIVATEAPP, 1, 0);
    EXPECT_TRUE(saver.StillRunning());
    PressKey('A');
    EXPECT_TRUE(saver.Ended());
}

// Only the exact commands are swallowed: one with its low bits set passes on,
// and the platform's handling of it closes the window.
TEST(FullScreen, AMaskedCloseCommandIsPassedOn) {
    FullScreenSaver saver;
    ASSERT_TRUE(saver.Start());
    PostMessageA(saver.window, WM_SYSCOMMAND, SC_CLOSE | 2, 0);
    EXPECT_TRUE(saver.Ended());
}

} // namespace
