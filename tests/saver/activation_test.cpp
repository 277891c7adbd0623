#include "saver/csaver.h"

#include <gtest/gtest.h>

namespace {

// A full-screen saver in this process that is told another application has
// been activated (or has not) as soon as it starts.
class ActivationSaver : public CSAVER {
public:
    WPARAM active = FALSE;
    bool timedOut = false;
    enum : UINT_PTR { kGuardTimer = 2 };

    void OnStart() override {
        CSAVER::OnStart();
        PostMessageA(hwnd, WM_ACTIVATEAPP, active, 0);
        SetTimer(hwnd, kGuardTimer, 3000, nullptr);
    }
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam) override {
        if (wParam != kGuardTimer)
            return CSAVER::OnTimer(wParam, lParam);
        timedOut = true; // still running: close it so the test can look
        closing = 1;
        DestroyWindow(hwnd);
        return 0;
    }
};

void RunFullScreen(ActivationSaver* saver) {
    SaverArgs args;
    args.mode = MODE_SAVER;
    saver->Run(args, GetModuleHandleA(nullptr), SW_SHOW);
}

TEST(FullScreenSaver, AnotherApplicationActivatedEndsTheRun) {
    ActivationSaver saver;
    RunFullScreen(&saver);
    EXPECT_FALSE(saver.timedOut);
    EXPECT_EQ(saver.hwnd, nullptr);
}

TEST(FullScreenSaver, ItsOwnActivationDoesNotEndTheRun) {
    ActivationSaver saver;
    saver.active = TRUE;
    RunFullScreen(&saver);
    EXPECT_TRUE(saver.timedOut);
}

} // namespace
