// Launching the screen saver module and watching its windows.
#pragma once

#include "testsupport.h"

#include <gtest/gtest.h>

#include <string>

namespace e2e {

// How long a check that something does not happen watches for it.
constexpr DWORD kQuietMs = 1000;

std::string ModulePath();

// A full-screen saver started with the cursor resting at a known point.
class FullScreenSaver {
public:
    static constexpr POINT kStart = {300, 200};

    // Starts `module` (the built module when empty) with /s and waits for its window.
    bool Start(const std::string& module = "");
    // Ends with exit code 0 and leaves no window.
    ::testing::AssertionResult Ended(DWORD timeoutMs = 30000);
    bool StillRunning(DWORD quietMs = kQuietMs);

    testsupport::Process process;
    HWND window = nullptr;
};

} // namespace e2e
