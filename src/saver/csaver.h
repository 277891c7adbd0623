// CSAVER: the screen saver window. It creates a full-screen top-most pop-up or
// a child of the desktop's preview window, runs the message loop, tells the
// platform that a saver runs, hides the cursor and ends the run on input. A
// derived saver fills the hooks OnStart, OnTick, OnDraw and OnClosing, and may
// switch the window to a scrolling one-line message display instead.
//
// Call order the hooks rely on:
//   OnCreate: cursor reference, client rectangle, password setting,
//             InitPalette, OnStart.
//   OnTimer:  OnTick (or DrawMessage in message mode) with the palette selected.
//   OnPaint:  OnDraw (or DrawMessage) with the palette selected.
//   OnClose:  password check (full screen), StopTimer, OnClosing, DestroyWindow.
#pragma once

#include "framework/cmdline.h"
#include "framework/cwin.h"

enum : UINT { SAVER_TIMER_ID = 193 };

class CSAVER : public CWIN {
public:
    const char* className = "CSaverWin";
    const char* message = "Error loading screen saver. "; // not owned
    int moveThreshold = 8;                                // pixels tolerated on either axis
    UINT timerInterval = 100;                             // milliseconds
    int mode = MODE_SAVER;
    HWND parentWindow = nullptr;
    HWND restoreWindow = nullptr; // brought to the front when a full-screen run ends
    BOOL passwordRequired = 0;
    BOOL verifying = 0; // the password dialog is open
    BOOL closing = 0;   // a close has been accepted
    BOOL showingMessage = 0;
    POINT startCursor = {};
    RECT clientRect = {};
    UINT_PTR timerId = 0;
    HPALETTE palette = nullptr;
    int messageX = 0;
    int messageStep = 0; // 0 until DrawMessage first runs

    // The whole life of the saver window; returns when it is gone or was never made.
    void Run(const SaverArgs& args, HINSTANCE instance, int showCommand);

    LRESULT OnActivateApp(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnClose(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreate(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMButtonDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnNcActivate(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnPaletteChanged(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnQueryNewPalette(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnRButtonDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnSysColorChange(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnSysKeyDown(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam) override;

    // Hooks and services for the derived saver, in table order.
    virtual void OnStart();
    virtual void OnTick(HDC dc);
    virtual void OnDraw(HDC dc);
    virtual void OnClosing(HDC dc);
    virtual void DrawMessage(HDC dc);
    virtual HWND CreateSaverWindow(HINSTANCE instance, int showCommand, HWND parent);
    // A negative interval keeps timerInterval and only starts a stopped timer.
    virtual UINT_PTR StartTimer(int interval);
    virtual void StopTimer();
    virtual BOOL IsPaletteDevice();
    virtual void InitPalette();
    virtual int RealizeWindowPalette();
    virtual void DeletePalette();
    virtual HPALETTE SelectWindowPalette(HDC dc);
    virtual void RestorePalette(HDC dc, HPALETTE previous);
    virtual int RealizeDcPalette(HDC dc);
    // Nonzero when the full-screen run may end.
    virtual BOOL VerifyPassword();

protected:
    // Full screen, no password dialog open, no close accepted yet.
    bool IsLive() const { return mode == MODE_SAVER && !verifying && !closing; }
    void EndRun() { PostMessageA(hwnd, WM_CLOSE, 0, 0); }
};
