#include "saverprocess.h"

#include <gtest/gtest.h>

namespace e2e {

using namespace testsupport;

std::string ModulePath() { return BinPath("MovieSaver.scr"); }

bool FullScreenSaver::Start(const std::string& module) {
    if (!PlaceCursor(kStart.x, kStart.y))
        return false;
    if (!process.Start(module.empty() ? ModulePath() : module, "/s"))
        return false;
    window = WaitForTopLevelWindow(process.Id(), "CSaverWin");
    // Keys go to the foreground window: input sent before the saver is in
    // front would reach whatever was there.
    return window && WaitUntil([&] { return IsWindowVisible(window) && GetForegroundWindow() == window; });
}

::testing::AssertionResult FullScreenSaver::Ended(DWORD timeoutMs) {
    if (!process.WaitExit(timeoutMs))
        return ::testing::AssertionFailure() << "the saver still runs";
    if (process.ExitCode() != 0)
        return ::testing::AssertionFailure() << "exit code " << process.ExitCode();
    if (IsWindow(window))
        return ::testing::AssertionFailure() << "its window is still there";
    return ::testing::AssertionSuccess();
}

bool FullScreenSaver::StillRunning(DWORD quietMs) {
    PumpFor(quietMs);
    return process.Running() && IsWindow(window);
}

} // namespace e2e
