// Starting, adopting, watching and stopping the player process.
#include "moviesaver/mvpak.h"

#include "util/filebox.h"
#include "util/paths.h"

#include <cstring>

namespace {

struct WindowSearch {
    DWORD threadId;
    DWORD processId;
    HWND found;
};

// The platform gives every thread with windows hidden input-method windows
// of its own; they are never the player's window.
bool IsInputMethodWindow(HWND window) {
    char name[32] = "";
    GetClassNameA(window, name, sizeof name);
    return _stricmp(name, "IME") == 0 || _stricmp(name, "MSCTFIME UI") == 0;
}

BOOL CALLBACK FindPlayerWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD processId = 0;
    DWORD threadId = GetWindowThreadProcessId(window, &processId);
    if (threadId == search->threadId && processId == search->processId && !IsInputMethodWindow(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

void ConfigPath(const char* playerPath, char* out) { ReplaceExtension(out, playerPath, ".cfg"); }

} // namespace

bool mvPak::Launch(HWND saverWindow, const char* query, bool inPreview) {
    // No query file is left beside a player that is not there to read it.
    if (query && FileExists(playerPath)) {
        // Failing to write the query is not fatal: the player starts with an older one.
        char config[PATH_SIZE];
        ConfigPath(playerPath, config);
        SetFileAttributesA(config, FILE_ATTRIBUTE_NORMAL);
        cFile file;
        if (file.Create(config, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ) == CERR_NONE) {
            file.Write(query, static_cast<DWORD>(strlen(query)));
            file.Close();
        }
    }

    RECT client = {};
    GetClientRect(saverWindow, &client);
    const bool maximize = (trailer.flags & FLAG_FORCE_MAXIMIZE) != 0;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (inPreview) {
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION;
        startup.dwXSize = static_cast<DWORD>(client.right);
        startup.dwYSize = static_cast<DWORD>(client.bottom);
        startup.wShowWindow = SW_HIDE;
    } else if (maximize) {
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESIZE | STARTF_USEPOSITION;
        startup.dwXSize = static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN));
        startup.dwYSize = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
        startup.wShowWindow = SW_SHOWMAXIMIZED;
    }

    char directory[PATH_SIZE];
    SplitPath(playerPath, directory, nullptr);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(playerPath, nullptr, nullptr, nullptr, TRUE, 0, nullptr, directory[0] ? directory : nullptr,
                        &startup, &info)) {
        SetStartError(nullptr, playerPath, true);
        return false;
    }
    process = info.hProcess;
    thread = info.hThread;
    processId = info.dwProcessId;
    threadId = info.dwThreadId;

    const DWORD started = GetTickCount();
    WaitForInputIdle(process, 3000);
    AttachThreadInput(threadId, GetCurrentThreadId(), TRUE);
    if (!inPreview)
        SetForegroundWindow(saverWindow);

    // Some platforms report a new process idle before its first window
    // exists, so the window is looked for again within the same 3000 ms.
    // Meanwhile only messages that other threads send are handled, so that a
    // player sending to the saver's windows is not held up.
    WindowSearch search = {threadId, processId, nullptr};
    for (;;) {
        EnumWindows(FindPlayerWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found || GetTickCount() - started >= 3000)
            break;
        if (MsgWaitForMultipleObjects(1, &process, FALSE, 20, QS_SENDMESSAGE) == WAIT_OBJECT_0)
            break; // the player has ended
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    playerWindow = search.found;
    if (!playerWindow) {
        // The process runs on until StopPlayer terminates it.
        SetStartError("Unable to locate program window.", playerPath, false);
        return false;
    }

    AdoptPlayerWindow(saverWindow, inPreview);
    return true;
}

// Full screen the player lies over the saver window, click-through: a window
// over another process's window hides it on some platforms, so rather than
// seen through the saver the movie is shown above it, while every click, key
// and mouse movement still reaches the saver. Disabled, it is not given the
// keyboard either. In the preview it is a disabled child of the saver window.
void mvPak::AdoptPlayerWindow(HWND saverWindow, bool inPreview) {
    EnableWindow(playerWindow, FALSE);
    if (inPreview) {
        RECT client;
        GetClientRect(saverWindow, &client);
        ShowWindow(playerWindow, SW_SHOWNOACTIVATE);
        SetParent(playerWindow, saverWindow);
        MoveWindow(playerWindow, 0, 0, client.right, client.bottom, TRUE);
        return;
    }
    playerExStyle = GetWindowLongA(playerWindow, GWL_EXSTYLE);
    SetWindowLongA(playerWindow, GWL_EXSTYLE, playerExStyle | WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_TRANSPARENT);
    SetLayeredWindowAttributes(playerWindow, 0, 255, LWA_ALPHA);
    SetWindowPos(playerWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    if (trailer.flags & FLAG_FORCE_MAXIMIZE)
        MoveWindow(playerWindow, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), TRUE);
    // What the window drew before it turned layered may not carry over.
    RedrawWindow(playerWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    // Keys go to the focus, which the attached player's thread shares.
    SetForegroundWindow(saverWindow);
    SetFocus(saverWindow);
}

void mvPak::KeepPlayerAdopted(HWND saverWindow, bool inPreview) {
    if (!playerWindow || !IsWindow(playerWindow))
        return;
    if (IsWindowEnabled(playerWindow))
        EnableWindow(playerWindow, FALSE);
    if (inPreview) {
        RECT client, rect;
        GetClientRect(saverWindow, &client);
        if (!(GetWindowLongA(playerWindow, GWL_STYLE) & WS_VISIBLE))
            ShowWindow(playerWindow, SW_SHOWNOACTIVATE);
        if (GetAncestor(playerWindow, GA_PARENT) != saverWindow)
            SetParent(playerWindow, saverWindow);
        GetWindowRect(playerWindow, &rect);
        MapWindowPoints(nullptr, saverWindow, reinterpret_cast<POINT*>(&rect), 2);
        if (!EqualRect(&rect, &client))
            MoveWindow(playerWindow, 0, 0, client.right, client.bottom, TRUE);
        return;
    }
    const LONG wanted = WS_EX_LAYERED | WS_EX_TRANSPARENT;
    if ((GetWindowLongA(playerWindow, GWL_EXSTYLE) & wanted) != wanted) {
        SetWindowLongA(playerWindow, GWL_EXSTYLE, GetWindowLongA(playerWindow, GWL_EXSTYLE) | wanted | WS_EX_TOPMOST);
        SetLayeredWindowAttributes(playerWindow, 0, 255, LWA_ALPHA);
        RedrawWindow(playerWindow, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    }
}

bool mvPak::PollPlayerEnded(DWORD timeout) {
    if (!process || WaitForSingleObject(process, timeout) != WAIT_OBJECT_0)
        return false;
    CloseHandle(process);
    CloseHandle(thread);
    process = thread = nullptr;
    processId = threadId = 0;
    playerWindow = nullptr;
    return true;
}

void mvPak::StopPlayer() {
    if (process)
        AttachThreadInput(threadId, GetCurrentThreadId(), FALSE);
    // A window that has gone (destroyed with the preview it lived in) cannot
    // be asked to close, so its process is ended as one without a window.
    if (playerWindow && IsWindow(playerWindow))
        PostMessageA(playerWindow, WM_CLOSE, 0, 0);
    else if (process)
        TerminateProcess(process, 0);
    if (extracted) {
        // Within 2000 ms the player ends and its files go. A program file can
        // stay locked a moment after its process has ended, so deleting is
        // tried again until the time is up; a player that still runs keeps
        // its files, which is not reported.
        const DWORD start = GetTickCount();
        if (process)
            WaitForSingleObject(process, 2000);
        char config[PATH_SIZE];
        ConfigPath(playerPath, config);
        bool configGone = DeleteFileByName(config) || GetLastError() == ERROR_FILE_NOT_FOUND;
        bool playerGone = DeleteFileByName(playerPath) || GetLastError() == ERROR_FILE_NOT_FOUND;
        while (!(configGone && playerGone) && GetTickCount() - start < 2000) {
            Sleep(20);
            configGone = configGone || DeleteFileByName(config) || GetLastError() == ERROR_FILE_NOT_FOUND;
            playerGone = playerGone || DeleteFileByName(playerPath) || GetLastError() == ERROR_FILE_NOT_FOUND;
        }
    }
    if (process)
        CloseHandle(process);
    if (thread)
        CloseHandle(thread);
    process = thread = nullptr;
    processId = threadId = 0;
    playerWindow = nullptr;
}

void mvPak::ReleasePlayerWindow() {
    if (!playerWindow)
        return;
    // Input reaches the movie again; it stays in front of the desktop.
    SetWindowLongA(playerWindow, GWL_EXSTYLE, (playerExStyle & ~(WS_EX_LAYERED | WS_EX_TRANSPARENT)) | WS_EX_TOPMOST);
    EnableWindow(playerWindow, TRUE);
    SetWindowPos(playerWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

void mvPak::SetStartError(const char* message, const char* path, bool withSystemError) {
    DWORD systemError = GetLastError();
    errorText[0] = 0;
    if (message) {
        AppendText(errorText, sizeof errorText, message);
        AppendText(errorText, sizeof errorText, " ");
    }
    if (withSystemError) {
        char text[256];
        GetErrorCodeText(CERR_SYSTEM, systemError, text, sizeof text);
        // The platform's sentence may end in blanks of its own.
        size_t n = strlen(text);
        while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\r' || text[n - 1] == '\n'))
            text[--n] = 0;
        AppendText(errorText, sizeof errorText, text);
        AppendText(errorText, sizeof errorText, " ");
    }
    if (path) {
        AppendText(errorText, sizeof errorText, path);
        AppendText(errorText, sizeof errorText, " ");
    }
}
