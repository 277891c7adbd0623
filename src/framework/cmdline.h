// The desktop's screen saver command line and the run modes it selects.
#pragma once

#include <windows.h>

enum : int {
    MODE_SAVER = 0,        // S: full screen
    MODE_PREVIEW = 1,      // P or L <handle>: inside the display settings
    MODE_CONFIGURE = 2,    // C, or anything else: the settings dialog
    MODE_SET_PASSWORD = 3, // A <handle>: the password change dialog
};

struct SaverArgs {
    int mode = MODE_CONFIGURE;
    HWND window = nullptr;     // the window the command line names, or none
    HWND foreground = nullptr; // foreground window when the line was read
};

// Fills all three fields of args and returns the mode.
int ParseCommandLine(const char* text, SaverArgs* args);

// The window whose number follows a mode letter (":" and blanks allowed), or
// none when the number names no window.
HWND ParseWindowHandle(const char* text);
