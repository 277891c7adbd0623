// CWIN: the window object. One shared window procedure finds the object
// attached to a window and calls its Dispatch, which routes each of 43 known
// messages to a virtual handler of its own and every other message to
// DefaultProc. A derived class changes one message by overriding one handler.
//
// An object is attached from WM_CREATE until WM_DESTROY has been handled;
// outside that span hwnd is none and the window's user data is 0. A window
// must be destroyed before its object goes away.
#pragma once

#include <windows.h>
#include <cstddef>

enum : UINT {
    WM_CWIN_PRIVATE0 = 0x0600,
    WM_CWIN_PRIVATE1 = 0x0601,
};

class CWIN {
public:
    HWND hwnd = nullptr;

    CWIN() = default;
    virtual ~CWIN() = default;
    CWIN(const CWIN&) = delete;
    CWIN& operator=(const CWIN&) = delete;

    // Message handlers, in table order; each gets wParam and lParam unchanged.
    virtual LRESULT OnActivateApp(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnChar(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnCreate(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnDropFiles(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnPrivate0(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnGetMinMaxInfo(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnHelp(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnHScroll(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnInitMenu(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnKeyDown(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnKeyUp(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnKillFocus(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnLButtonDblClk(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnLButtonUp(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMButtonDblClk(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMButtonDown(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMButtonUp(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMenuSelect(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnMove(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnNcActivate(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnNotify(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnPaletteChanged(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnQueryNewPalette(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnRButtonDown(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnRButtonUp(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSetFocus(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSize(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSysColorChange(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnSysKeyDown(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnPrivate1(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    virtual LRESULT OnVScroll(WPARAM wParam, LPARAM lParam);

    virtual LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT CallDefDlgProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT CallDefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
};

// The creation data CreateWnd hands to the platform: a 16-bit length (6)
// followed directly by the object's address, unaligned.
#pragma pack(push, 1)
struct WindowCreateBlock {
    WORD length;
    CWIN* object;
};
#pragma pack(pop)
static_assert(sizeof(WindowCreateBlock) == 6, "creation block is 6 bytes");
static_assert(offsetof(WindowCreateBlock, object) == 2, "object address at byte 2");

// The window procedure of every class RegisterWindowClass registers.
LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

// Sets the window procedure of a fully described class and registers it.
// Returns the class atom, 0 on failure. The object is not used.
ATOM RegisterWindowClass(CWIN* object, WNDCLASSEXA* description);

// Creates a window attached to object; the handle (or none) is also stored in
// object->hwnd. OnCreate runs inside this call.
HWND CreateWnd(CWIN* object, HINSTANCE instance, const char* className, HWND parent, DWORD exStyle, DWORD style,
               const char* title, int x, int y, int width, int height, HMENU menu);
