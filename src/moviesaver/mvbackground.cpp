#include "moviesaver/mvbackground.h"

const char BACKGROUND_CLASS[] = "mvSaverBackground";

LRESULT mvBackground::OnEraseBkgnd(WPARAM, LPARAM) { return 1; }

LRESULT mvBackground::OnPaint(WPARAM, LPARAM) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    BitBlt(dc, 0, 0, client.right, client.bottom, nullptr, 0, 0, BLACKNESS);
    EndPaint(hwnd, &ps);
    return 0;
}
