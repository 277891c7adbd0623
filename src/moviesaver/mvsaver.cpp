#include "moviesaver/mvsaver.h"

#include "util/cfile.h"
#include "util/modulenames.h"
#include "util/paths.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

mvSaver::mvSaver() { message = failureText; }

LRESULT mvSaver::OnActivateApp(WPARAM wParam, LPARAM lParam) {
    // Losing the activation to the player does not end the run.
    return DefaultProc(WM_ACTIVATEAPP, wParam, lParam);
}

LRESULT mvSaver::OnDestroy(WPARAM wParam, LPARAM lParam) {
    // A preview ends when the desktop destroys its window, without a close:
    // its player must not run on unseen.
    if (!closing)
        pak.StopPlayer();
    // The background goes with the saver window, before this object does.
    if (background.hwnd)
        DestroyWindow(background.hwnd);
    return CSAVER::OnDestroy(wParam, lParam);
}

LRESULT mvSaver::OnTimer(WPARAM wParam, LPARAM lParam) {
    // A player that activates a window of its own, late or from another
    // thread, would take the keys away from the saver; they come back here.
    if (mode == MODE_SAVER && !verifying && !closing && pak.processId) {
        DWORD owner = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &owner);
        if (owner == pak.processId) {
            SetForegroundWindow(hwnd);
            SetFocus(hwnd);
        }
    }
    return CSAVER::OnTimer(wParam, lParam);
}

void mvSaver::OnStart() {
    if (mode == MODE_SAVER)
        CreateBackground();
    pak.Load(TRUE);
    if (pak.damaged)
        ShowFailure("The screen saver file is damaged; install it again.");
    StartTimer(50);
}

void mvSaver::OnTick(HDC) {
    pak.PollPlayerEnded(0);
    if (pak.PlayerRunning()) {
        pak.KeepPlayerAdopted(hwnd, mode == MODE_PREVIEW);
        return;
    }
    BuildQuery();
    if (mode == MODE_SAVER || (pak.trailer.flags & FLAG_RUN_PREVIEW)) {
        if (!pak.Launch(hwnd, query, mode == MODE_PREVIEW))
            ShowFailure(pak.errorText);
    }
}

void mvSaver::BuildQuery() {
    snprintf(query, sizeof query, "SS_Mode=%s", mode == MODE_PREVIEW ? "P" : "S");
    char piece[64];
    if (mode == MODE_PREVIEW)
        snprintf(piece, sizeof piece, "&SS_Sound=2");
    else
        snprintf(piece, sizeof piece, "&SS_Sound=%d", pak.sound);
    AppendText(query, sizeof query, piece);
    // The first run of the movie plays its sound once; later runs are silent.
    if (pak.sound == SOUND_ONCE)
        pak.sound = SOUND_NEVER;
    snprintf(piece, sizeof piece, "&SS_RunCount=%d", runCount++);
    AppendText(query, sizeof query, piece);

    char ini[PATH_SIZE];
    ModuleFileWithExtension(ini, ".ini");
    for (int i = 0; i < 5; ++i) {
        char key[16];
        char value[256] = "";
        snprintf(key, sizeof key, "SS_User%d", i);
        GetPrivateProfileStringA("User", key, "", value, sizeof value, ini);
        // Values carry their own "&" and name=value form.
        if (strlen(query) + strlen(value) < sizeof query)
            AppendText(query, sizeof query, value);
    }
}

void mvSaver::OnDraw(HDC dc) {
    const int width = clientRect.right - clientRect.left;
    const int height = clientRect.bottom - clientRect.top;
    if (mode == MODE_PREVIEW && (pak.trailer.flags & FLAG_RUN_PREVIEW))
        return; // the player covers the preview
    // Full screen the movie lies above this window; around it the screen is black.
    BitBlt(dc, 0, 0, width, height, nullptr, 0, 0, BLACKNESS);
    if (mode != MODE_PREVIEW)
        return;
    HICON icon = LoadIconA(reinterpret_cast<HINSTANCE>(GetWindowLongA(hwnd, GWL_HINSTANCE)), MAKEINTRESOURCEA(1));
    if (icon) {
        HICON sized = static_cast<HICON>(CopyImage(icon, IMAGE_ICON, 64, 64, LR_COPYFROMRESOURCE));
        DrawIconEx(dc, (clientRect.right - 64) / 2, (clientRect.bottom - 64) / 2, sized ? sized : icon, 64, 64, 0,
                   nullptr, DI_NORMAL);
        if (sized)
            DestroyIcon(sized);
    }
}

void mvSaver::OnClosing(HDC) {
    if (handOver) {
        // The movie stays with the user, in front once the saver has gone.
        pak.ReleasePlayerWindow();
        restoreWindow = pak.playerWindow;
    } else {
        pak.StopPlayer();
    }
}

bool mvSaver::IsHandOverKey(DWORD code) const {
    for (DWORD key : pak.trailer.keys) {
        if (key == code)
            return true;
    }
    return false;
}

void mvSaver::MouseAction() {
    if (Flag(INTERACTIVE_ON_MOUSE))
        handOver = 1;
    EndRun();
}

LRESULT mvSaver::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    if (Responsive()) {
        int x = LOWORD(lParam);
        int y = HIWORD(lParam);
        if (abs(startCursor.x - x) > moveThreshold || abs(startCursor.y - y) > moveThreshold)
            MouseAction();
    }
    return DefaultProc(WM_MOUSEMOVE, wParam, lParam);
}

LRESULT mvSaver::OnLButtonDown(WPARAM wParam, LPARAM lParam) {
    if (Responsive())
        MouseAction();
    return DefaultProc(WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT mvSaver::OnMButtonDown(WPARAM wParam, LPARAM lParam) {
    if (Responsive())
        MouseAction();
    return DefaultProc(WM_MBUTTONDOWN, wParam, lParam);
}

LRESULT mvSaver::OnRButtonDown(WPARAM wParam, LPARAM lParam) {
    if (Responsive())
        MouseAction();
    return DefaultProc(WM_RBUTTONDOWN, wParam, lParam);
}

void mvSaver::OfferKeyToPlayer(WPARAM code, LPARAM keyData, DWORD listCode) {
    if (!Flag(INTERACTIVE_ON_KEY))
        return;
    if (pak.trailer.keys[0] == 0 || IsHandOverKey(listCode))
        handOver = 1;
    if (handOver && pak.playerWindow)
        PostMessageA(pak.playerWindow, WM_KEYDOWN, code, keyData);
}

LRESULT mvSaver::OnKeyDown(WPARAM wParam, LPARAM lParam) {
    if (!Responsive())
        return DefaultProc(WM_KEYDOWN, wParam, lParam);
    if (!passwordRequired && wParam == pak.trailer.executeKey && pak.trailer.command[0])
        executeRequested = 1;
    if (executeRequested) {
        HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        RunCommand(pak.trailer.command);
        SetCursor(previous);
    }
    OfferKeyToPlayer(wParam, lParam, static_cast<DWORD>(wParam));
    if (executeRequested && ReleaseScreenForCommand()) {
        // The command has the screen now; a hidden saver would only restart a
        // player whose file is gone, so it closes.
        EndRun();
        return 0;
    }
    EndRun();
    return DefaultProc(WM_KEYDOWN, wParam, lParam);
}

LRESULT mvSaver::OnSysKeyDown(WPARAM wParam, LPARAM lParam) {
    if (Responsive()) {
        // Any Alt combination counts as the Alt key for the hand-over list.
        OfferKeyToPlayer(wParam, lParam, VK_MENU);
        EndRun();
    }
    return DefaultProc(WM_SYSKEYDOWN, wParam, lParam);
}

void mvSaver::RunCommand(const char* command) {
    char ini[PATH_SIZE];
    ModuleFileWithExtension(ini, ".ini");
    WritePrivateProfileStringA("ShellExecute", nullptr, nullptr, ini);
    WritePrivateProfileStringA("ShellExecute", "Command", command, ini);
    if (!handOver)
        restoreWindow = nullptr;
    SetLastError(0);
    HINSTANCE result = ShellExecuteA(nullptr, nullptr, command, nullptr, nullptr, SW_SHOW);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        DWORD error = GetLastError();
        if (error == 0)
            error = static_cast<DWORD>(reinterpret_cast<INT_PTR>(result));
        char text[512] = "";
        SystemErrorText(error, text, sizeof text);
        // A line end inside a value would break the settings file.
        size_t n = strlen(text);
        while (n > 0 && (text[n - 1] == '\r' || text[n - 1] == '\n' || text[n - 1] == ' '))
            text[--n] = 0;
        WritePrivateProfileStringA("ShellExecute", "ShellExecute", text, ini);
    }
}

bool mvSaver::ReleaseScreenForCommand() {
    char ini[PATH_SIZE];
    ModuleFileWithExtension(ini, ".ini");
    BOOL running = FALSE;
    SystemParametersInfoA(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    if (!running) {
        WritePrivateProfileStringA("SystemParametersInfo", "IsRunning", "0", ini);
        return false;
    }
    WritePrivateProfileStringA("SystemParametersInfo", "IsRunning", "1", ini);
    if (!handOver)
        pak.StopPlayer();
    UINT scratch = 0;
    SystemParametersInfoA(SPI_SETSCREENSAVERRUNNING, FALSE, &scratch, 0);
    ShowWindow(hwnd, SW_HIDE);
    if (background.hwnd)
        DestroyWindow(background.hwnd);
    return true;
}

void mvSaver::ShowFailure(const char* text) {
    showingMessage = 1;
    StartTimer(50);
    CopyText(failureText, sizeof failureText, ModuleTitle);
    AppendText(failureText, sizeof failureText, ": ");
    if (text)
        AppendText(failureText, sizeof failureText, text);
    // The caption carries the line too, for tools that read windows aloud.
    SetWindowTextA(hwnd, failureText);
}

HWND mvSaver::CreateBackground() {
    if (mode == MODE_PREVIEW)
        return nullptr;
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongA(hwnd, GWL_HINSTANCE));
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_BYTEALIGNCLIENT;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = BACKGROUND_CLASS;
    if (!RegisterWindowClass(&background, &wc)) {
        ShowFailure("Error registering background window class.");
        return nullptr;
    }
    HWND window = CreateWnd(&background, instance, BACKGROUND_CLASS, nullptr, 0, WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                            "", clientRect.left, clientRect.top, clientRect.right - clientRect.left,
                            clientRect.bottom - clientRect.top, nullptr);
    if (!window)
        ShowFailure("Error creating background window.");
    return window;
}

void mvSaver::InitPalette() {}
void mvSaver::DeletePalette() {}
void mvSaver::RestorePalette(HDC, HPALETTE) {}
int mvSaver::RealizeWindowPalette() { return 0; }
HPALETTE mvSaver::SelectWindowPalette(HDC) { return nullptr; }
int mvSaver::RealizeDcPalette(HDC dc) { return static_cast<int>(RealizePalette(dc)); }
