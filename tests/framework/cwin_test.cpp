#include "framework/cwin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Records which handler each message reached and answers with a value of its own.
class RecordingWin : public CWIN {
public:
    std::vector<std::string> log;
    WPARAM lastWParam = 0;
    LPARAM lastLParam = 0;
    UINT defaultMsg = 0;
    HWND hwndInCreate = nullptr;

#define RECORD(Handler, Result)                                                                                        \
    LRESULT Handler(WPARAM wParam, LPARAM lParam) override {                                                           \
        log.push_back(#Handler);                                                                                       \
        lastWParam = wParam;                                                                                           \
        lastLParam = lParam;                                                                                           \
        return Result;                                                                                                 \
    }
    RECORD(OnActivateApp, 1001)
    RECORD(OnChar, 1002)
    RECORD(OnClose, 1003)
    RECORD(OnCommand, 1004)
    RECORD(OnContextMenu, 1005)
    RECORD(OnDrawItem, 1007)
    RECORD(OnDropFiles, 1008)
    RECORD(OnDestroy, 1009)
    RECORD(OnPrivate0, 1010)
    RECORD(OnEraseBkgnd, 1011)
    RECORD(OnGetMinMaxInfo, 1012)
    RECORD(OnHelp, 1013)
    RECORD(OnHScroll, 1014)
    RECORD(OnInitMenu, 1015)
    RECORD(OnKeyDown, 1016)
    RECORD(OnKeyUp, 1017)
    RECORD(OnKillFocus, 1018)
    RECORD(OnLButtonDblClk, 1019)
    RECORD(OnLButtonDown, 1020)
    RECORD(OnLButtonUp, 1021)
    RECORD(OnMButtonDblClk, 1022)
    RECORD(OnMButtonDown, 1023)
    RECORD(OnMButtonUp, 1024)
    RECORD(OnMenuSelect, 1025)
    RECORD(OnMouseMove, 1026)
    RECORD(OnMove, 1027)
    RECORD(OnNcActivate, 1028)
    RECORD(OnNotify, 1029)
    RECORD(OnPaint, 1030)
    RECORD(OnPaletteChanged, 1031)
    RECORD(OnQueryNewPalette, 1032)
    RECORD(OnRButtonDown, 1033)
    RECORD(OnRButtonUp, 1034)
    RECORD(OnSetCursor, 1035)
    RECORD(OnSetFocus, 1036)
    RECORD(OnSize, 1037)
    RECORD(OnSysColorChange, 1038)
    RECORD(OnSysCommand, 1039)
    RECORD(OnSysKeyDown, 1040)
    RECORD(OnPrivate1, 1041)
    RECORD(OnTimer, 1042)
    RECORD(OnVScroll, 1043)
#undef RECORD

    LRESULT OnCreate(WPARAM, LPARAM) override {
        log.push_back("OnCreate");
        hwndInCreate = hwnd;
        return 0;
    }

    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_RBUTTONDBLCLK || msg == WM_USER + 7) {
            log.push_back("DefaultProc");
            defaultMsg = msg;
            lastWParam = wParam;
            lastLParam = lParam;
            return 2000;
        }
        return CWIN::DefaultProc(msg, wParam, lParam);
    }
};

const char* RegisterTestClass(const char* name) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    CWIN unused;
    EXPECT_NE(RegisterWindowClass(&unused, &wc), 0);
    EXPECT_EQ(wc.lpfnWndProc, &WindowProc);
    return name;
}

HWND Create(CWIN* object, const char* className, DWORD style = WS_POPUP) {
    return CreateWnd(object, GetModuleHandleA(nullptr), className, nullptr, 0, style, "title", 0, 0, 100, 80, nullptr);
}

struct Route {
    UINT msg;
    const char* handler;
    LRESULT result;
};

const Route kRoutes[] = {
    {WM_MOVE, "OnMove", 1027},
    {WM_SIZE, "OnSize", 1037},
    {WM_SETFOCUS, "OnSetFocus", 1036},
    {WM_KILLFOCUS, "OnKillFocus", 1018},
    {WM_PAINT, "OnPaint", 1030},
    {WM_CLOSE, "OnClose", 1003},
    {WM_ERASEBKGND, "OnEraseBkgnd", 1011},
    {WM_SYSCOLORCHANGE, "OnSysColorChange", 1038},
    {WM_ACTIVATEAPP, "OnActivateApp", 1001},
    {WM_SETCURSOR, "OnSetCursor", 1035},
    {WM_GETMINMAXINFO, "OnGetMinMaxInfo", 1012},
    {WM_DRAWITEM, "OnDrawItem", 1007},
    {WM_NOTIFY, "OnNotify", 1029},
    {WM_HELP, "OnHelp", 1013},
    {WM_CONTEXTMENU, "OnContextMenu", 1005},
    {WM_NCACTIVATE, "OnNcActivate", 1028},
    {WM_KEYDOWN, "OnKeyDown", 1016},
    {WM_KEYUP, "OnKeyUp", 1017},
    {WM_CHAR, "OnChar", 1002},
    {WM_SYSKEYDOWN, "OnSysKeyDown", 1040},
    {WM_COMMAND, "OnCommand", 1004},
    {WM_SYSCOMMAND, "OnSysCommand", 1039},
    {WM_TIMER, "OnTimer", 1042},
    {WM_HSCROLL, "OnHScroll", 1014},
    {WM_VSCROLL, "OnVScroll", 1043},
    {WM_INITMENU, "OnInitMenu", 1015},
    {WM_MENUSELECT, "OnMenuSelect", 1025},
    {WM_MOUSEMOVE, "OnMouseMove", 1026},
    {WM_LBUTTONDOWN, "OnLButtonDown", 1020},
    {WM_LBUTTONUP, "OnLButtonUp", 1021},
    {WM_LBUTTONDBLCLK, "OnLButtonDblClk", 1019},
    {WM_RBUTTONDOWN, "OnRButtonDown", 1033},
    {WM_RBUTTONUP, "OnRButtonUp", 1034},
    {WM_MBUTTONDOWN, "OnMButtonDown", 1023},
    {WM_MBUTTONUP, "OnMButtonUp", 1024},
    {WM_MBUTTONDBLCLK, "OnMButtonDblClk", 1022},
    {WM_DROPFILES, "OnDropFiles", 1008},
    {WM_QUERYNEWPALETTE, "OnQueryNewPalette", 1032},
    {WM_PALETTECHANGED, "OnPaletteChanged", 1031},
    {WM_CWIN_PRIVATE0, "OnPrivate0", 1010},
    {WM_CWIN_PRIVATE1, "OnPrivate1", 1041},
    {WM_RBUTTONDBLCLK, "DefaultProc", 2000},
    {WM_USER + 7, "DefaultProc", 2000},
};

TEST(WindowObject, EachMessageReachesItsOwnHandler) {
    const char* cls = RegisterTestClass("RecordingWin");
    RecordingWin win;
    ASSERT_NE(Create(&win, cls), nullptr);
    EXPECT_EQ(win.log.front(), "OnCreate");
    EXPECT_EQ(win.hwndInCreate, win.hwnd);

    for (const Route& r : kRoutes) {
        SCOPED_TRACE(r.handler);
        win.log.clear();
        LRESULT result = SendMessageA(win.hwnd, r.msg, 0x1234, 0x5678);
        ASSERT_EQ(win.log.size(), 1u);
        EXPECT_EQ(win.log[0], r.handler);
        EXPECT_EQ(result, r.result);
        EXPECT_EQ(win.lastWParam, 0x1234u);
        EXPECT_EQ(win.lastLParam, 0x5678);
    }
    EXPECT_EQ(win.defaultMsg, static_cast<UINT>(WM_USER + 7));

    // WM_CREATE sent again reaches OnCreate through a fresh creation block.
    WindowCreateBlock block{sizeof(WindowCreateBlock), &win};
    CREATESTRUCTA create = {};
    create.lpCreateParams = &block;
    win.log.clear();
    SendMessageA(win.hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create));
    ASSERT_EQ(win.log.size(), 1u);
    EXPECT_EQ(win.log[0], "OnCreate");

    HWND window = win.hwnd;
    win.log.clear();
    DestroyWindow(window);
    EXPECT_NE(std::find(win.log.begin(), win.log.end(), "OnDestroy"), win.log.end());
    EXPECT_EQ(win.hwnd, nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST(WindowObject, PlainWindowBehavesLikeDefWindowProcExceptPrivateMessages) {
    const char* cls = RegisterTestClass("PlainWin");
    CWIN win;
    ASSERT_NE(Create(&win, cls), nullptr);
    EXPECT_EQ(SendMessageA(win.hwnd, WM_CWIN_PRIVATE0, 1, 2), 0);
    EXPECT_EQ(SendMessageA(win.hwnd, WM_CWIN_PRIVATE1, 1, 2), 0);
    EXPECT_EQ(SendMessageA(win.hwnd, WM_GETTEXTLENGTH, 0, 0), 5); // "title"
    char text[16] = "";
    SendMessageA(win.hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    EXPECT_STREQ(text, "title");
    EXPECT_EQ(SendMessageA(win.hwnd, WM_NCHITTEST, 0, MAKELPARAM(10, 10)),
              DefWindowProcA(win.hwnd, WM_NCHITTEST, 0, MAKELPARAM(10, 10)));
    // WM_CLOSE passed on to DefWindowProcA destroys the window.
    HWND window = win.hwnd;
    SendMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(win.hwnd, nullptr);
}

// The platform's first WM_GETMINMAXINFO comes before WM_CREATE; no handler sees it.
TEST(WindowObject, MessagesBeforeCreateGoStraightToTheDefault) {
    const char* cls = RegisterTestClass("FramedWin");
    RecordingWin win;
    ASSERT_NE(Create(&win, cls, WS_OVERLAPPEDWINDOW), nullptr);
    ASSERT_FALSE(win.log.empty());
    EXPECT_EQ(win.log.front(), "OnCreate");
    EXPECT_EQ(GetWindowLongA(win.hwnd, GWL_USERDATA), reinterpret_cast<LONG>(static_cast<CWIN*>(&win)));
    DestroyWindow(win.hwnd);
}

TEST(WindowObject, ObjectCanBeReusedAfterItsWindowIsGone) {
    const char* cls = RegisterTestClass("ReusedWin");
    CWIN win;
    HWND first = Create(&win, cls);
    ASSERT_NE(first, nullptr);
    DestroyWindow(first);
    EXPECT_EQ(win.hwnd, nullptr);
    HWND second = Create(&win, cls);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(win.hwnd, second);
    DestroyWindow(second);
}

TEST(WindowObject, FailedCreationLeavesNoHandle) {
    CWIN win;
    win.hwnd = reinterpret_cast<HWND>(1);
    EXPECT_EQ(Create(&win, "NoSuchClassRegistered"), nullptr);
    EXPECT_EQ(win.hwnd, nullptr);
}

} // namespace
