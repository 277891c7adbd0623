#include "framework/cwin.h"

#include <cstring>

#define PASS_ON(Handler, Message)                                                                                      \
    LRESULT CWIN::Handler(WPARAM wParam, LPARAM lParam) { return DefaultProc(Message, wParam, lParam); }

PASS_ON(OnActivateApp, WM_ACTIVATEAPP)
PASS_ON(OnChar, WM_CHAR)
PASS_ON(OnClose, WM_CLOSE)
PASS_ON(OnCommand, WM_COMMAND)
PASS_ON(OnContextMenu, WM_CONTEXTMENU)
PASS_ON(OnCreate, WM_CREATE)
PASS_ON(OnDrawItem, WM_DRAWITEM)
PASS_ON(OnDropFiles, WM_DROPFILES)
PASS_ON(OnDestroy, WM_DESTROY)
PASS_ON(OnEraseBkgnd, WM_ERASEBKGND)
PASS_ON(OnGetMinMaxInfo, WM_GETMINMAXINFO)
PASS_ON(OnHelp, WM_HELP)
PASS_ON(OnHScroll, WM_HSCROLL)
PASS_ON(OnInitMenu, WM_INITMENU)
PASS_ON(OnKeyDown, WM_KEYDOWN)
PASS_ON(OnKeyUp, WM_KEYUP)
PASS_ON(OnKillFocus, WM_KILLFOCUS)
PASS_ON(OnLButtonDblClk, WM_LBUTTONDBLCLK)
PASS_ON(OnLButtonDown, WM_LBUTTONDOWN)
PASS_ON(OnLButtonUp, WM_LBUTTONUP)
PASS_ON(OnMButtonDblClk, WM_MBUTTONDBLCLK)
PASS_ON(OnMButtonDown, WM_MBUTTONDOWN)
PASS_ON(OnMButtonUp, WM_MBUTTONUP)
PASS_ON(OnMenuSelect, WM_MENUSELECT)
PASS_ON(OnMouseMove, WM_MOUSEMOVE)
PASS_ON(OnMove, WM_MOVE)
PASS_ON(OnNcActivate, WM_NCACTIVATE)
PASS_ON(OnNotify, WM_NOTIFY)
PASS_ON(OnPaint, WM_PAINT)
PASS_ON(OnPaletteChanged, WM_PALETTECHANGED)
PASS_ON(OnQueryNewPalette, WM_QUERYNEWPALETTE)
PASS_ON(OnRButtonDown, WM_RBUTTONDOWN)
PASS_ON(OnRButtonUp, WM_RBUTTONUP)
PASS_ON(OnSetCursor, WM_SETCURSOR)
PASS_ON(OnSetFocus, WM_SETFOCUS)
PASS_ON(OnSize, WM_SIZE)
PASS_ON(OnSysColorChange, WM_SYSCOLORCHANGE)
PASS_ON(OnSysCommand, WM_SYSCOMMAND)
PASS_ON(OnSysKeyDown, WM_SYSKEYDOWN)
PASS_ON(OnTimer, WM_TIMER)
PASS_ON(OnVScroll, WM_VSCROLL)

#undef PASS_ON

// The two private messages belong to the framework; nothing is passed on.
LRESULT CWIN::OnPrivate0(WPARAM, LPARAM) { return 0; }
LRESULT CWIN::OnPrivate1(WPARAM, LPARAM) { return 0; }

LRESULT CWIN::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) { return CallDefWindowProc(msg, wParam, lParam); }

LRESULT CWIN::CallDefDlgProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefDlgProcA(hwnd, msg, wParam, lParam);
}

LRESULT CWIN::CallDefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

LRESULT CWIN::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CREATE: return OnCreate(wParam, lParam);
    case WM_DESTROY: return OnDestroy(wParam, lParam);
    case WM_MOVE: return OnMove(wParam, lParam);
    case WM_SIZE: return OnSize(wParam, lParam);
    case WM_SETFOCUS: return OnSetFocus(wParam, lParam);
    case WM_KILLFOCUS: return OnKillFocus(wParam, lParam);
    case WM_PAINT: return OnPaint(wParam, lParam);
    case WM_CLOSE: return OnClose(wParam, lParam);
    case WM_ERASEBKGND: return OnEraseBkgnd(wParam, lParam);
    case WM_SYSCOLORCHANGE: return OnSysColorChange(wParam, lParam);
    case WM_ACTIVATEAPP: return OnActivateApp(wParam, lParam);
    case WM_SETCURSOR: return OnSetCursor(wParam, lParam);
    case WM_GETMINMAXINFO: return OnGetMinMaxInfo(wParam, lParam);
    case WM_DRAWITEM: return OnDrawItem(wParam, lParam);
    case WM_NOTIFY: return OnNotify(wParam, lParam);
    case WM_HELP: return OnHelp(wParam, lParam);
    case WM_CONTEXTMENU: return OnContextMenu(wParam, lParam);
    case WM_NCACTIVATE: return OnNcActivate(wParam, lParam);
    case WM_KEYDOWN: return OnKeyDown(wParam, lParam);
    case WM_KEYUP: return OnKeyUp(wParam, lParam);
    case WM_CHAR: return OnChar(wParam, lParam);
    case WM_SYSKEYDOWN: return OnSysKeyDown(wParam, lParam);
    case WM_COMMAND: return OnCommand(wParam, lParam);
    case WM_SYSCOMMAND: return OnSysCommand(wParam, lParam);
    case WM_TIMER: return OnTimer(wParam, lParam);
    case WM_HSCROLL: return OnHScroll(wParam, lParam);
    case WM_VSCROLL: return OnVScroll(wParam, lParam);
    case WM_INITMENU: return OnInitMenu(wParam, lParam);
    case WM_MENUSELECT: return OnMenuSelect(wParam, lParam);
    case WM_MOUSEMOVE: return OnMouseMove(wParam, lParam);
    case WM_LBUTTONDOWN: return OnLButtonDown(wParam, lParam);
    case WM_LBUTTONUP: return OnLButtonUp(wParam, lParam);
    case WM_LBUTTONDBLCLK: return OnLButtonDblClk(wParam, lParam);
    case WM_RBUTTONDOWN: return OnRButtonDown(wParam, lParam);
    case WM_RBUTTONUP: return OnRButtonUp(wParam, lParam);
    case WM_MBUTTONDOWN: return OnMButtonDown(wParam, lParam);
    case WM_MBUTTONUP: return OnMButtonUp(wParam, lParam);
    case WM_MBUTTONDBLCLK: return OnMButtonDblClk(wParam, lParam);
    case WM_DROPFILES: return OnDropFiles(wParam, lParam);
    case WM_QUERYNEWPALETTE: return OnQueryNewPalette(wParam, lParam);
    case WM_PALETTECHANGED: return OnPaletteChanged(wParam, lParam);
    case WM_CWIN_PRIVATE0: return OnPrivate0(wParam, lParam);
    case WM_CWIN_PRIVATE1: return OnPrivate1(wParam, lParam);
    default: return DefaultProc(msg, wParam, lParam);
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWIN* object = nullptr;
    if (msg == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        // A window of our class made by CreateWindowEx without a block stays unattached.
        if (const auto* block = static_cast<const BYTE*>(create->lpCreateParams)) {
            memcpy(&object, block + offsetof(WindowCreateBlock, object), sizeof object);
            object->hwnd = window;
            SetWindowLongA(window, GWL_USERDATA, reinterpret_cast<LONG>(object));
        }
    } else {
        object = reinterpret_cast<CWIN*>(GetWindowLongA(window, GWL_USERDATA));
    }
    LRESULT result = object ? object->Dispatch(msg, wParam, lParam) : DefWindowProcA(window, msg, wParam, lParam);
    if (msg == WM_DESTROY) {
        SetWindowLongA(window, GWL_USERDATA, 0);
        if (object)
            object->hwnd = nullptr;
    }
    return result;
}

ATOM RegisterWindowClass(CWIN*, WNDCLASSEXA* description) {
    description->lpfnWndProc = WindowProc;
    return RegisterClassExA(description);
}

HWND CreateWnd(CWIN* object, HINSTANCE instance, const char* className, HWND parent, DWORD exStyle, DWORD style,
               const char* title, int x, int y, int width, int height, HMENU menu) {
    WindowCreateBlock block;
    block.length = sizeof block;
    block.object = object;
    object->hwnd = CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu, instance, &block);
    return object->hwnd;
}
