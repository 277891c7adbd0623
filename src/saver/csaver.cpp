#include "saver/csaver.h"

#include "saver/password.h"

#include <cstdlib>
#include <cstring>

void CSAVER::Run(const SaverArgs& args, HINSTANCE instance, int showCommand) {
    mode = args.mode;
    parentWindow = args.window;
    restoreWindow = args.foreground;
    if (mode == MODE_PREVIEW && !parentWindow) {
        PostQuitMessage(0);
        return;
    }
    if (!CreateSaverWindow(instance, showCommand, parentWindow)) {
        PostQuitMessage(0);
        return;
    }
    UINT scratch = 0;
    if (mode == MODE_SAVER)
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, TRUE, &scratch, 0);
    // The window test comes first: the loop ends as soon as the window is gone,
    // without waiting for the quit message.
    MSG msg;
    while (IsWindow(hwnd) && GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (mode == MODE_SAVER)
        SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &scratch, 0);
}

HWND CSAVER::CreateSaverWindow(HINSTANCE instance, int showCommand, HWND parent) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC | CS_BYTEALIGNCLIENT;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    if (!RegisterWindowClass(this, &wc))
        return nullptr;

    DWORD style, exStyle;
    if (mode == MODE_PREVIEW) {
        // Covers the parent's whole window area, so its client area lies inside.
        GetWindowRect(parent, &clientRect);
        ScreenToClient(parent, reinterpret_cast<POINT*>(&clientRect.left));
        ScreenToClient(parent, reinterpret_cast<POINT*>(&clientRect.right));
        style = WS_CHILD | WS_DISABLED;
        exStyle = 0;
    } else {
        SetRect(&clientRect, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        style = WS_POPUP | WS_CLIPCHILDREN;
        exStyle = WS_EX_TOPMOST;
    }
    CreateWnd(this, instance, className, parent, exStyle, style, "", clientRect.left, clientRect.top,
              clientRect.right - clientRect.left, clientRect.bottom - clientRect.top, nullptr);
    if (hwnd) {
        ShowWindow(hwnd, showCommand);
        UpdateWindow(hwnd);
        // The keys must come here, whatever was in front when the saver started.
        if (mode == MODE_SAVER)
            SetForegroundWindow(hwnd);
    }
    return hwnd;
}

LRESULT CSAVER::OnCreate(WPARAM wParam, LPARAM lParam) {
    GetCursorPos(&startCursor);
    GetClientRect(hwnd, &clientRect);
    passwordRequired = ReadPasswordSetting();
    InitPalette();
    OnStart();
    return DefaultProc(WM_CREATE, wParam, lParam);
}

LRESULT CSAVER::OnClose(WPARAM, LPARAM) {
    if (mode != MODE_SAVER || VerifyPassword()) {
        StopTimer();
        closing = 1;
        HDC dc = GetDC(hwnd);
        OnClosing(dc);
        ReleaseDC(hwnd, dc);
        DestroyWindow(hwnd);
        hwnd = nullptr;
    } else {
        // Refused: travel up to now no longer counts.
        GetCursorPos(&startCursor);
    }
    return 0;
}

LRESULT CSAVER::OnDestroy(WPARAM, LPARAM) {
    DeletePalette();
    if (mode == MODE_SAVER && restoreWindow)
        SetForegroundWindow(restoreWindow);
    PostQuitMessage(0);
    return 0;
}

LRESULT CSAVER::OnEraseBkgnd(WPARAM, LPARAM) { return 1; }

LRESULT CSAVER::OnActivateApp(WPARAM wParam, LPARAM lParam) {
    if (IsLive() && wParam == 0)
        EndRun();
    return DefaultProc(WM_ACTIVATEAPP, wParam, lParam);
}

LRESULT CSAVER::OnKeyDown(WPARAM wParam, LPARAM lParam) {
    if (IsLive())
        EndRun();
    return DefaultProc(WM_KEYDOWN, wParam, lParam);
}

LRESULT CSAVER::OnSysKeyDown(WPARAM wParam, LPARAM lParam) {
    if (IsLive())
        EndRun();
    return DefaultProc(WM_SYSKEYDOWN, wParam, lParam);
}

LRESULT CSAVER::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
    if (IsLive())
        EndRun();
    return DefaultProc(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT CSAVER::OnMButtonDown(WPARAM wParam, LPARAM lParam) {
    if (IsLive())
        EndRun();
    return DefaultProc(WM_MBUTTONDOWN, wParam, lParam);
}

LRESULT CSAVER::OnRButtonDown(WPARAM wParam, LPARAM lParam) {
    if (IsLive())
        EndRun();
    return DefaultProc(WM_RBUTTONDOWN, wParam, lParam);
}

LRESULT CSAVER::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    if (IsLive()) {
        int x = LOWORD(lParam);
        int y = HIWORD(lParam);
        if (abs(startCursor.x - x) > moveThreshold || abs(startCursor.y - y) > moveThreshold)
            EndRun();
    }
    return DefaultProc(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT CSAVER::OnSetCursor(WPARAM wParam, LPARAM lParam) {
    if (mode == MODE_SAVER && !verifying) {
        SetCursor(nullptr);
        return 0;
    }
    return DefaultProc(WM_SETCURSOR, wParam, lParam);
}

LRESULT CSAVER::OnNcActivate(WPARAM wParam, LPARAM lParam) {
    if (mode == MODE_SAVER && !verifying && wParam == 0)
        return 0;
    return DefaultProc(WM_NCACTIVATE, wParam, lParam);
}

LRESULT CSAVER::OnSysCommand(WPARAM wParam, LPARAM lParam) {
    // The whole wParam is compared, its low four bits included.
    if (mode == MODE_SAVER && (wParam == SC_SCREENSAVE || wParam == SC_CLOSE))
        return 0;
    return DefaultProc(WM_SYSCOMMAND, wParam, lParam);
}

LRESULT CSAVER::OnPaint(WPARAM, LPARAM) {
    if (closing)
        return 0;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (showingMessage) {
        DrawMessage(dc);
    } else {
        HPALETTE previous = SelectWindowPalette(dc);
        RealizeDcPalette(dc);
        OnDraw(dc);
        RestorePalette(dc, previous);
    }
    EndPaint(hwnd, &ps);
    return 0;
}

LRESULT CSAVER::OnTimer(WPARAM, LPARAM) {
    if (closing)
        return 0;
    // Focus that falls back to the desktop (some platforms do that when
    // another window is hidden or restyled) would leave the keys nowhere.
    if (mode == MODE_SAVER && !verifying) {
        HWND front = GetForegroundWindow();
        if (!front || front == GetDesktopWindow())
            SetForegroundWindow(hwnd);
    }
    HDC dc = GetDC(hwnd);
    if (showingMessage) {
        DrawMessage(dc);
    } else {
        HPALETTE previous = SelectWindowPalette(dc);
        RealizeDcPalette(dc);
        OnTick(dc);
        RestorePalette(dc, previous);
    }
    ReleaseDC(hwnd, dc);
    return 0;
}

LRESULT CSAVER::OnPaletteChanged(WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(wParam) == hwnd)
        return DefaultProc(WM_PALETTECHANGED, wParam, lParam);
    return RealizeWindowPalette();
}

LRESULT CSAVER::OnQueryNewPalette(WPARAM, LPARAM) { return RealizeWindowPalette(); }

LRESULT CSAVER::OnSysColorChange(WPARAM, LPARAM) { return RealizeWindowPalette(); }

void CSAVER::OnStart() { StartTimer(-1); }

void CSAVER::OnTick(HDC) {}

void CSAVER::OnDraw(HDC dc) {
    BitBlt(dc, 0, 0, clientRect.right - clientRect.left, clientRect.bottom - clientRect.top, nullptr, 0, 0, BLACKNESS);
}

void CSAVER::OnClosing(HDC) {}

void CSAVER::DrawMessage(HDC dc) {
    if (messageStep == 0) {
        BitBlt(dc, 0, 0, clientRect.right - clientRect.left, clientRect.bottom - clientRect.top, nullptr, 0, 0,
               BLACKNESS);
        messageStep = 2;
        messageX = clientRect.right;
        StartTimer(50);
    }
    int length = static_cast<int>(strlen(message));
    SIZE extent = {};
    GetTextExtentPoint32A(dc, message, length, &extent);
    if (messageX + extent.cx < 0)
        messageX = clientRect.right;
    messageX -= messageStep;
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 0));
    // The opaque rectangle reaches one step further right, wiping what the
    // previous step left there.
    RECT area = {messageX, 10, messageX + extent.cx + messageStep, 10 + extent.cy};
    ExtTextOutA(dc, messageX, 10, ETO_OPAQUE, &area, message, length, nullptr);
}

UINT_PTR CSAVER::StartTimer(int interval) {
    if (interval >= 0) {
        if (timerId && static_cast<UINT>(interval) == timerInterval)
            return timerId;
        StopTimer();
        timerInterval = static_cast<UINT>(interval);
    }
    if (!timerId)
        timerId = SetTimer(hwnd, SAVER_TIMER_ID, timerInterval, nullptr);
    return timerId;
}

void CSAVER::StopTimer() {
    if (timerId) {
        KillTimer(hwnd, timerId);
        timerId = 0;
    }
}

BOOL CSAVER::IsPaletteDevice() {
    HDC screen = GetDC(nullptr);
    BOOL result = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return result;
}

void CSAVER::InitPalette() { palette = nullptr; }

int CSAVER::RealizeWindowPalette() {
    if (!palette)
        return 0;
    HDC dc = GetDC(hwnd);
    HPALETTE previous = SelectWindowPalette(dc);
    int changed = RealizeDcPalette(dc);
    RestorePalette(dc, previous);
    ReleaseDC(hwnd, dc);
    return changed;
}

void CSAVER::DeletePalette() {
    if (palette) {
        DeleteObject(palette);
        palette = nullptr;
    }
}

HPALETTE CSAVER::SelectWindowPalette(HDC dc) { return palette ? SelectPalette(dc, palette, FALSE) : nullptr; }

void CSAVER::RestorePalette(HDC dc, HPALETTE previous) {
    if (previous)
        SelectPalette(dc, previous, FALSE);
}

int CSAVER::RealizeDcPalette(HDC dc) { return palette ? static_cast<int>(RealizePalette(dc)) : 0; }
