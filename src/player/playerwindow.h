// mvPlayerWindow: the player's one top-level window and its message loop.
//
// Placement follows the start-up information the program was given
// (position, size, show command); without a size, a saver start (a ".cfg"
// beside the program saying SS_Mode=S) covers the primary screen and any
// other start gets an ordinary window of the stage's size. Saver starts use a
// caption-less pop-up, since the saver may make it a child of its preview.
// The movie is drawn into a DIB section of the client's size, fitted with
// borders in the background colour. A movie that cannot be played leaves its
// one-line error in the window, which stays open. WM_CLOSE ends the loop,
// and Run returns the exit code (0).
//
// The registered message PLAYER_PROBE_MESSAGE answers questions about the
// drawing (for tests and diagnosis; under Wine a window made the child of
// another process's window cannot be read back from the screen): wParam
// PROBE_FRAMES gives the frames drawn so far, PROBE_SIZE the canvas size
// (width in the low word), PROBE_PIXEL the canvas pixel at lParam's x (low
// word) and y (high word) as 0x00RRGGBB, or -1 outside it.
//
// No other window is created on this thread (picture decoding runs on a
// worker thread), so the saver finds this window first.
#pragma once

#include "player/moviesource.h"
#include "player/paint.h"
#include "player/player.h"

#include <windows.h>

#include <string>
#include <vector>

#define PLAYER_PROBE_MESSAGE "mvPlayerProbe"
enum : WPARAM { PROBE_FRAMES = 0, PROBE_SIZE = 1, PROBE_PIXEL = 2 };

struct WindowSetup {
    bool fromSaver = false;  // a ".cfg" lies beside the program
    bool fullScreen = false; // it says SS_Mode=S
    ConfigPairs variables;
};

class mvPlayerWindow {
public:
    ~mvPlayerWindow();
    // movie: the bytes, or empty with failure set to the reason.
    int Run(HINSTANCE instance, const WindowSetup& setup, const std::vector<uint8_t>& movie, const std::string& failure);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool Create(HINSTANCE instance, const WindowSetup& setup);
    void Resize();
    void DrawFrame();
    void Paint(HDC dc);
    void ReleaseSurface();

    HWND window_ = nullptr;
    HDC memory_ = nullptr;
    HBITMAP dib_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
    Canvas canvas_;
    mvPlayer player_;
    FrameClock clock_;
    std::string error_;
    int stageWidth_ = 550, stageHeight_ = 400;
    UINT probeMessage_ = 0;
    LONG framesDrawn_ = 0;
};
