#include "saver/csaver.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A saver that only shows its message, as a derived saver does after a failure.
class MessageSaver : public CSAVER {
public:
    int stopAfter = 0;
    std::vector<int> positions;
    int lastWidth = 0;
    int topmostLit = -1;  // first row holding a lit pixel at the last step
    int leftmostLit = -1; // first column holding a lit pixel at the last step

    void OnStart() override {
        message = "Scrolling line of the saver";
        showingMessage = 1;
        CSAVER::OnStart();
    }

    void DrawMessage(HDC dc) override {
        CSAVER::DrawMessage(dc);
        positions.push_back(messageX);
        SIZE extent;
        GetTextExtentPoint32A(dc, message, lstrlenA(message), &extent);
        lastWidth = extent.cx;
        if (static_cast<int>(positions.size()) == stopAfter) {
            FindLitPixels(dc);
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
        }
    }

    void FindLitPixels(HDC dc) {
        for (int y = 0; y < clientRect.bottom && topmostLit < 0; ++y)
            for (int x = 0; x < clientRect.right; ++x)
                if (GetPixel(dc, x, y) != 0) {
                    topmostLit = y;
                    break;
                }
        for (int x = 0; x < clientRect.right && leftmostLit < 0; ++x)
            for (int y = 0; y < clientRect.bottom; ++y)
                if (GetPixel(dc, x, y) != 0) {
                    leftmostLit = x;
                    break;
                }
    }
};

HWND MakePreviewArea(int width, int height) {
    HWND area = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr,
                                nullptr, nullptr);
    EXPECT_NE(area, nullptr);
    return area;
}

SaverArgs PreviewOf(HWND area) {
    SaverArgs args;
    args.mode = MODE_PREVIEW;
    args.window = area;
    return args;
}

TEST(MessageDisplay, ScrollsRightToLeftTwoPixelsPerTickTenPixelsFromTheTop) {
    HWND area = MakePreviewArea(400, 60);
    MessageSaver saver;
    saver.stopAfter = 12;
    saver.Run(PreviewOf(area), GetModuleHandleA(nullptr), SW_SHOW);

    ASSERT_EQ(saver.positions.size(), 12u);
    // The first step starts at the right edge; each step moves 2 pixels left.
    EXPECT_EQ(saver.positions[0], 400 - 2);
    for (size_t i = 1; i < saver.positions.size(); ++i)
        EXPECT_EQ(saver.positions[i], saver.positions[i - 1] - 2);
    EXPECT_EQ(saver.messageStep, 2);
    EXPECT_EQ(saver.timerInterval, 50u);
    EXPECT_EQ(saver.hwnd, nullptr);
    // Text begins at row 10 and at the line's left edge.
    EXPECT_GE(saver.topmostLit, 10);
    EXPECT_LE(saver.topmostLit, 14);
    EXPECT_GE(saver.leftmostLit, saver.positions.back());
    EXPECT_LE(saver.leftmostLit, saver.positions.back() + 4);
    DestroyWindow(area);
}

TEST(MessageDisplay, WideLineLeavesFullyBeforeReenteringOnTheRight) {
    // Narrower than the line, so the line needs many steps to leave.
    HWND area = MakePreviewArea(40, 40);
    MessageSaver saver;
    saver.stopAfter = 200;
    saver.Run(PreviewOf(area), GetModuleHandleA(nullptr), SW_SHOW);

    ASSERT_EQ(saver.positions.size(), 200u);
    ASSERT_GT(saver.lastWidth, 40);
    bool wrapped = false;
    for (size_t i = 1; i < saver.positions.size(); ++i) {
        if (saver.positions[i] > saver.positions[i - 1]) {
            wrapped = true;
            // It left completely (its right end past the left edge) and
            // re-entered at the right edge.
            EXPECT_LT(saver.positions[i - 1] + saver.lastWidth, 0);
            EXPECT_EQ(saver.positions[i], 40 - 2);
        }
    }
    EXPECT_TRUE(wrapped);
    DestroyWindow(area);
}

TEST(MessageDisplay, TimerUsesTheSaverIdentifier) {
    HWND area = MakePreviewArea(100, 40);
    class TimerSaver : public MessageSaver {
    public:
        UINT_PTR seenTimer = 0;
        LRESULT OnTimer(WPARAM wParam, LPARAM lParam) override {
            seenTimer = wParam;
            return MessageSaver::OnTimer(wParam, lParam);
        }
    } saver;
    saver.stopAfter = 3;
    saver.Run(PreviewOf(area), GetModuleHandleA(nullptr), SW_SHOW);
    EXPECT_EQ(saver.seenTimer, static_cast<UINT_PTR>(SAVER_TIMER_ID));
    DestroyWindow(area);
}

} // namespace
