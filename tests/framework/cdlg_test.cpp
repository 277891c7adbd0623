#include "framework/cdlg.h"
#include "framework/csaverdlg.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kTemplate = MAKEINTRESOURCEA(200);
const int kFirstButton = 1001;

HWND MakeModeless(CDLG* dialog) {
    return CreateDialogParamA(GetModuleHandleA(nullptr), kTemplate, nullptr, DialogProc,
                              reinterpret_cast<LPARAM>(dialog));
}

struct Answer {
    UINT msg;
    const char* name;
};

TEST(CDLG, ABareObjectAnswersInitDialogWithOneAndEverythingElseWithZero) {
    CSAVERDLG dialog; // adds nothing to CDLG
    HWND window = MakeModeless(&dialog);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(dialog.hwnd, window);
    EXPECT_EQ(GetWindowLongA(window, DWL_USER), reinterpret_cast<LONG>(&dialog));
    // Its 1 let the dialog manager put the focus on the first tab stop.
    EXPECT_EQ(GetFocus(), GetDlgItem(window, kFirstButton));

    EXPECT_EQ(DialogProc(window, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(&dialog)), 1);
    const Answer zero[] = {
        {WM_CREATE, "WM_CREATE"},
        {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_SETCURSOR, "WM_SETCURSOR"},
        {WM_COMMAND, "WM_COMMAND"},
        {WM_TIMER, "WM_TIMER"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_NCACTIVATE, "WM_NCACTIVATE"},
        {WM_DRAWITEM, "WM_DRAWITEM"},
        {WM_HELP, "WM_HELP"},
        {WM_CONTEXTMENU, "WM_CONTEXTMENU"},
        {WM_RBUTTONDBLCLK, "WM_RBUTTONDBLCLK (no handler)"},
        {WM_USER + 5, "WM_USER + 5 (no handler)"},
        {WM_CWIN_PRIVATE0, "0x0600"},
        {WM_CWIN_PRIVATE1, "0x0601"},
    };
    for (const Answer& a : zero) {
        SCOPED_TRACE(a.name);
        EXPECT_EQ(DialogProc(window, a.msg, 0, 0), 0);
    }

    DestroyWindow(window);
    EXPECT_EQ(dialog.hwnd, nullptr);
    EXPECT_FALSE(IsWindow(window));
}

TEST(CDLG, ADialogWithoutObjectAnswersZero) {
    HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), kTemplate, nullptr, DialogProc, 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowLongA(window, DWL_USER), 0);
    EXPECT_EQ(DialogProc(window, WM_CWIN_PRIVATE0, 0, 0), 0);
    EXPECT_EQ(DialogProc(window, WM_COMMAND, IDOK, 0), 0);
    DestroyWindow(window);
}

// Ends itself from a posted command and notes what reached its Dispatch.
class EndingDialog : public CDLG {
public:
    std::vector<UINT> seen;
    HWND hwndInInit = nullptr;
    WPARAM focusControl = 0;

    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) override {
        seen.push_back(msg);
        return CDLG::Dispatch(msg, wParam, lParam);
    }
    LRESULT OnInitDialog(WPARAM wParam, LPARAM lParam) override {
        hwndInInit = hwnd;
        focusControl = wParam;
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        return CDLG::OnInitDialog(wParam, lParam);
    }
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (LOWORD(wParam) == IDOK)
            EndDialog(hwnd, 42);
        return CDLG::OnCommand(wParam, lParam);
    }
};

TEST(CDLG, DoModalReturnsTheEndDialogValueAndLeavesTheObjectDetached) {
    EndingDialog dialog;
    EXPECT_EQ(dialog.DoModal(GetModuleHandleA(nullptr), kTemplate, nullptr), 42);
    ASSERT_FALSE(dialog.seen.empty());
    EXPECT_EQ(dialog.seen.front(), static_cast<UINT>(WM_INITDIALOG)) << "WM_SETFONT must find no object";
    EXPECT_NE(dialog.hwndInInit, nullptr);
    EXPECT_NE(dialog.focusControl, 0u);
    EXPECT_EQ(dialog.seen.back(), static_cast<UINT>(WM_DESTROY));
    EXPECT_EQ(dialog.hwnd, nullptr);
}

TEST(CDLG, DoModalOfAMissingTemplateGivesThePlatformsFailureValue) {
    CDLG dialog;
    EXPECT_EQ(dialog.DoModal(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999), nullptr), -1);
    EXPECT_EQ(dialog.hwnd, nullptr);
}

// The test program's import of WinHelpA, pointed at a recorder while one lives.
struct WinHelpCall {
    HWND window;
    std::string file;
    UINT command;
    ULONG_PTR data;
};
std::vector<WinHelpCall> winHelpCalls;

BOOL WINAPI RecordWinHelp(HWND window, LPCSTR file, UINT command, ULONG_PTR data) {
    winHelpCalls.push_back({window, file ? file : "", command, data});
    return TRUE;
}

void** FindImport(const char* dll, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
        if (_stricmp(reinterpret_cast<char*>(base + d->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

class WinHelpRecorder {
public:
    WinHelpRecorder() : slot_(FindImport("user32.dll", "WinHelpA")) {
        winHelpCalls.clear();
        if (slot_)
            Swap(reinterpret_cast<void*>(&RecordWinHelp));
    }
    ~WinHelpRecorder() {
        if (slot_)
            Swap(old_);
    }
    bool Installed() const { return slot_ != nullptr; }

private:
    void Swap(void* to) {
        DWORD protection;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
        if (!old_)
            old_ = *slot_;
        *slot_ = to;
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
    }
    void** slot_;
    void* old_ = nullptr;
};

const DWORD kHelpTable[] = {kFirstButton, 5001, 1002, 5002, 0, 0};

TEST(CDLG, HelpRequestsReachWinHelpOnlyWithHelpInstalled) {
    WinHelpRecorder recorder;
    ASSERT_TRUE(recorder.Installed());
    CDLG dialog;
    HWND window = MakeModeless(&dialog);
    ASSERT_NE(window, nullptr);
    HWND button = GetDlgItem(window, kFirstButton);
    HELPINFO info = {};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = kFirstButton;
    info.hItemHandle = button;

    EXPECT_EQ(DialogProc(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(DialogProc(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), 0), 0);
    EXPECT_TRUE(winHelpCalls.empty());

    ASSERT_EQ(dialog.SetHelp("C:\\Help\\movie.hlp", kHelpTable), 1);
    EXPECT_EQ(DialogProc(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)), 1);
    EXPECT_EQ(DialogProc(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(button), 0), 0);
    EXPECT_EQ(DialogProc(window, WM_HELP, 0, 0), 0) << "a request without its HELPINFO";
    ASSERT_EQ(winHelpCalls.size(), 2u);
    const ULONG_PTR table = reinterpret_cast<ULONG_PTR>(dialog.helpIds);
    EXPECT_EQ(winHelpCalls[0].window, button);
    EXPECT_EQ(winHelpCalls[0].file, "C:\\Help\\movie.hlp");
    EXPECT_EQ(winHelpCalls[0].command, static_cast<UINT>(HELP_WM_HELP));
    EXPECT_EQ(winHelpCalls[0].data, table);
    EXPECT_EQ(winHelpCalls[1].window, button);
    EXPECT_EQ(winHelpCalls[1].command, static_cast<UINT>(HELP_CONTEXTMENU));
    EXPECT_EQ(winHelpCalls[1].data, table);
    DestroyWindow(window);
}

TEST(CDLG, SetHelpCopiesTheTableUpToItsEndPairAndReleasesOnRequest) {
    const DWORD table[] = {101, 5001, 102, 5002, 0, 0, 999, 999}; // nothing after the end pair is copied
    CDLG dialog;
    ASSERT_EQ(dialog.SetHelp("movie.hlp", table), 1);
    ASSERT_NE(dialog.helpIds, nullptr);
    EXPECT_NE(dialog.helpIds, table);
    EXPECT_EQ(_msize(dialog.helpIds), 6 * sizeof(DWORD));
    EXPECT_EQ(memcmp(dialog.helpIds, table, 6 * sizeof(DWORD)), 0);
    EXPECT_STREQ(dialog.helpFile, "movie.hlp");

    // A second call replaces the copies.
    ASSERT_EQ(dialog.SetHelp("other.hlp", kHelpTable), 1);
    EXPECT_STREQ(dialog.helpFile, "other.hlp");
    EXPECT_EQ(_msize(dialog.helpIds), sizeof kHelpTable);
    EXPECT_EQ(memcmp(dialog.helpIds, kHelpTable, sizeof kHelpTable), 0);

    EXPECT_EQ(dialog.SetHelp(nullptr, table), 1);
    EXPECT_EQ(dialog.helpIds, nullptr);
    EXPECT_EQ(dialog.helpFile, nullptr);
    EXPECT_EQ(dialog.SetHelp(nullptr, nullptr), 1); // twice is harmless
}

TEST(CDLG, AnEmptyHelpFileNameIsTheModulesPathWithHlp) {
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string expected = module;
    expected = expected.substr(0, expected.rfind('.')) + ".hlp";
    CDLG dialog;
    ASSERT_EQ(dialog.SetHelp("", kHelpTable), 1);
    EXPECT_EQ(std::string(dialog.helpFile), expected);
}

} // namespace
