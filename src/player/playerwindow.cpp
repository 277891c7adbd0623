#include "player/playerwindow.h"

#include <cmath>

namespace {

const char* const CLASS_NAME = "mvPlayerWindow";

} // namespace

mvPlayerWindow::~mvPlayerWindow() { ReleaseSurface(); }

void mvPlayerWindow::ReleaseSurface() {
    if (memory_) {
        SelectObject(memory_, oldBitmap_);
        DeleteDC(memory_);
        memory_ = nullptr;
    }
    if (dib_) {
        DeleteObject(dib_);
        dib_ = nullptr;
    }
    canvas_ = Canvas();
}

LRESULT CALLBACK mvPlayerWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto self = static_cast<mvPlayerWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto self = reinterpret_cast<mvPlayerWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    return self ? self->Dispatch(message, wParam, lParam) : DefWindowProcA(window, message, wParam, lParam);
}

LRESULT mvPlayerWindow::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == probeMessage_ && probeMessage_) {
        if (wParam == PROBE_FRAMES)
            return framesDrawn_;
        if (wParam == PROBE_SIZE)
            return MAKELRESULT(canvas_.width, canvas_.height);
        int x = LOWORD(lParam), y = HIWORD(lParam);
        if (wParam == PROBE_PIXEL && canvas_.pixels && x < canvas_.width && y < canvas_.height)
            return canvas_.Row(y)[x] & 0xFFFFFF;
        return -1;
    }
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        Resize();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window_, &ps);
        Paint(dc);
        EndPaint(window_, &ps);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window_, message, wParam, lParam);
    }
}

void mvPlayerWindow::Resize() {
    RECT r;
    GetClientRect(window_, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w < 1)
        w = 1;
    if (h < 1)
        h = 1;
    if (canvas_.pixels && w == canvas_.width && h == canvas_.height)
        return;
    ReleaseSurface();
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(window_);
    dib_ = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib_) {
        memory_ = CreateCompatibleDC(screen);
        oldBitmap_ = SelectObject(memory_, dib_);
        canvas_ = Canvas{static_cast<uint32_t*>(bits), w, h, w};
    }
    ReleaseDC(window_, screen);
    if (player_.GetStage())
        player_.GetStage()->changed = true;
    DrawFrame();
}

void mvPlayerWindow::DrawFrame() {
    if (!canvas_.pixels || !player_.Loaded() || !player_.Changed())
        return;
    player_.Draw(canvas_);
    ++framesDrawn_;
    GdiFlush();
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
}

void mvPlayerWindow::Paint(HDC dc) {
    RECT r;
    GetClientRect(window_, &r);
    if (!error_.empty() || !canvas_.pixels) {
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        std::string line = "mvplayer: " + error_;
        DrawTextA(dc, line.c_str(), static_cast<int>(line.size()), &r, DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_NOPREFIX);
        return;
    }
    BitBlt(dc, 0, 0, canvas_.width, canvas_.height, memory_, 0, 0, SRCCOPY);
}

bool mvPlayerWindow::Create(HINSTANCE instance, const WindowSetup& setup) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    wc.lpszClassName = CLASS_NAME;
    if (!RegisterClassExA(&wc))
        return false;
    probeMessage_ = RegisterWindowMessageA(PLAYER_PROBE_MESSAGE);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    DWORD style = setup.fromSaver ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, w, h;
    if (si.dwFlags & STARTF_USESIZE) {
        w = static_cast<int>(si.dwXSize);
        h = static_cast<int>(si.dwYSize);
        x = y = 0;
    } else if (setup.fromSaver && setup.fullScreen) {
        x = y = 0;
        w = GetSystemMetrics(SM_CXSCREEN);
        h = GetSystemMetrics(SM_CYSCREEN);
    } else {
        RECT r = {0, 0, stageWidth_, stageHeight_};
        AdjustWindowRectEx(&r, style, FALSE, 0);
        w = r.right - r.left;
        h = r.bottom - r.top;
        if (setup.fromSaver)
            x = y = 0;
    }
    if (si.dwFlags & STARTF_USEPOSITION) {
        x = static_cast<int>(si.dwX);
        y = static_cast<int>(si.dwY);
    }
    CreateWindowExA(0, CLASS_NAME, "mvplayer", style, x, y, w, h, nullptr, nullptr, instance, this);
    if (!window_)
        return false;
    int show = si.dwFlags & STARTF_USESHOWWINDOW ? si.wShowWindow : SW_SHOWNORMAL;
    ShowWindow(window_, show);
    Resize();
    UpdateWindow(window_);
    return true;
}

int mvPlayerWindow::Run(HINSTANCE instance, const WindowSetup& setup, const std::vector<uint8_t>& movie,
                        const std::string& failure) {
    // The window comes first: the saver looks for it after at most 3 seconds, and a
    // large movie may take longer than that to load.
    SwfHeader header;
    if (failure.empty() && SwfPeekHeader(movie.data(), movie.size(), &header)) {
        const SwfRect& f = header.frameSize;
        int w = static_cast<int>(std::ceil((f.xMax - f.xMin) / 20.0));
        int h = static_cast<int>(std::ceil((f.yMax - f.yMin) / 20.0));
        if (w > 0 && h > 0 && w <= 8192 && h <= 8192) {
            stageWidth_ = w;
            stageHeight_ = h;
        }
    }
    if (!Create(instance, setup))
        return 0;
    error_ = failure;
    if (error_.empty()) {
        player_.SetVariables(setup.variables);
        if (player_.Load(movie.data(), movie.size()) != 0)
            error_ = player_.errorText;
    }
    if (player_.Loaded()) {
        player_.Start();
        DrawFrame();
    } else {
        InvalidateRect(window_, nullptr, FALSE);
    }
    clock_.Start(ClockMs(), player_.FramePeriod());
    for (;;) {
        if (player_.Loaded()) {
            int due = clock_.Due(ClockMs());
            for (int i = 0; i < due; ++i)
                player_.Step();
            DrawFrame();
        }
        // A movie that stands still is not woken at its frame rate: only messages wake it.
        DWORD wait = INFINITE;
        if (player_.Loaded() && !player_.Still())
            wait = static_cast<DWORD>(std::ceil(clock_.Wait(ClockMs())));
        MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return 0;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}
