// A visible top-level window of the test itself: an owner for the dialogs the
// module opens, a window to put in the foreground, a preview area.
#pragma once

#include <windows.h>

namespace e2e {

inline HWND MakeTestWindow(const char* title) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "MsTestWindow";
    RegisterClassA(&wc); // a second registration fails harmlessly
    return CreateWindowExA(0, "MsTestWindow", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 200, 120, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

} // namespace e2e
