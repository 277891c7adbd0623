// The settings dialog inside the test program: its template as the built
// module carries it, and how it grows to fit a preview picture of a given
// size (the pictures themselves: preview_test.cpp).
#include "resources/resource.h"
#include "settings/mvsaverdlg.h"

#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace testsupport;

// Reads a DLGTEMPLATEEX and its items.
class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : p_(data) {}
    WORD Word() { return Take<WORD>(); }
    DWORD Dword() { return Take<DWORD>(); }
    short Short() { return Take<short>(); }
    BYTE Byte() { return Take<BYTE>(); }
    // A string, or an ordinal as "#n".
    std::string Text() {
        if (Peek() == 0xFFFF) {
            Word();
            return "#" + std::to_string(Word());
        }
        std::string s;
        for (WORD c; (c = Word()) != 0;)
            s += static_cast<char>(c);
        return s;
    }
    void AlignDword() {
        while (reinterpret_cast<ULONG_PTR>(p_) % 4)
            ++p_;
    }
    void Skip(size_t n) { p_ += n; }

private:
    WORD Peek() const {
        WORD w;
        memcpy(&w, p_, sizeof w);
        return w;
    }
    template <typename T> T Take() {
        T v;
        memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    const BYTE* p_;
};

struct Item {
    DWORD id;
    std::string title;
    DWORD style;
    short x, y, cx, cy;
};

TEST(SettingsTemplate, TheModuleCarriesTheDialogAsTheTableGivesIt) {
    HMODULE module = LoadLibraryExA(BinPath("MovieSaver.scr").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDD_SETTINGS), MAKEINTRESOURCEA(5)); // RT_DIALOG
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(data, nullptr);

    TemplateReader r(data);
    EXPECT_EQ(r.Word(), 1);      // dlgVer
    EXPECT_EQ(r.Word(), 0xFFFF); // an extended template
    r.Dword();                   // helpID
    EXPECT_EQ(r.Dword(), static_cast<DWORD>(WS_EX_DLGMODALFRAME));
    EXPECT_EQ(r.Dword(), static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME |
                                            DS_3DLOOK | DS_SETFONT | DS_CENTER));
    WORD count = r.Word();
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 0);
    EXPECT_EQ(r.Short(), 198);
    EXPECT_EQ(r.Short(), 114);
    EXPECT_EQ(r.Text(), ""); // menu
    EXPECT_EQ(r.Text(), ""); // class
    EXPECT_EQ(r.Text(), ""); // caption, set at run time
    EXPECT_EQ(r.Word(), 8);  // points
    r.Word();                // weight
    r.Byte();                // italic
    r.Byte();                // character set
    EXPECT_EQ(r.Text(), "MS Sans Serif");

    const DWORD child = WS_CHILD | WS_VISIBLE;
    const DWORD push = child | BS_PUSHBUTTON | BS_CENTER | WS_TABSTOP;
    const Item expected[] = {
        {IDOK, "&OK", push, 128, 7, 64, 14},
        {IDCANCEL, "&Cancel", push, 128, 27, 64, 14},
        {IDC_MUTE, "Mute Sound", child | BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 132, 51, 60, 12},
        {IDC_SOUNDGROUP, "&Sound", child | BS_GROUPBOX | WS_GROUP, 128, 48, 65, 59},
        {IDC_ALWAYS, "Always", child | BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 140, 59, 44, 12},
        {IDC_ONCE, "Once", child | BS_AUTORADIOBUTTON, 140, 74, 39, 12},
        {IDC_NEVER, "Never", child | BS_AUTORADIOBUTTON, 140, 89, 42, 12},
        {IDC_PREVIEW, "", child | BS_OWNERDRAW | BS_CENTER | WS_GROUP, 7, 7, 113, 100},
    };
    ASSERT_EQ(count, sizeof expected / sizeof expected[0]);
    for (const Item& e : expected) {
        SCOPED_TRACE(e.id);
        r.AlignDword();
        r.Dword(); // helpID
        EXPECT_EQ(r.Dword(), 0u) << "extended style";
        EXPECT_EQ(r.Dword(), e.style);
        EXPECT_EQ(r.Short(), e.x);
        EXPECT_EQ(r.Short(), e.y);
        EXPECT_EQ(r.Short(), e.cx);
        EXPECT_EQ(r.Short(), e.cy);
        EXPECT_EQ(r.Dword(), e.id);
        std::string kind = r.Text();
        EXPECT_TRUE(kind == "#128" || _stricmp(kind.c_str(), "Button") == 0) << kind;
        EXPECT_EQ(r.Text(), e.title);
        r.Skip(r.Word()); // creation data
    }
    FreeLibrary(module);
}

RECT WindowRect(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    return r;
}

RECT ClientRectOf(HWND dialog, int id) {
    RECT r = WindowRect(GetDlgItem(dialog, id));
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

struct FitCase {
    const char* what;
    int extraWidth, extraHeight; // picture size beyond the preview button's
    int dx, dy;                  // how much the dialog grows
};

TEST(SettingsDialog, GrowsToFitAPictureLargerThanThePreviewButtonAndCentresItself) {
    const FitCase cases[] = {
        {"smaller in both directions", -60, -50, 0, 0}, {"the button's size", 0, 0, 0, 0},
        {"wider but not taller", 37, -10, 37, 0},       {"taller but not wider", -5, 25, 0, 25},
        {"larger in both directions", 40, 30, 40, 30},
    };
    const int side[] = {IDOK, IDCANCEL, IDC_MUTE, IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.what);
        mvSaverDlg dialog;
        HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, DialogProc,
                                         reinterpret_cast<LPARAM>(&dialog));
        ASSERT_NE(window, nullptr);
        // Away from the centre, so that centring shows.
        SetWindowPos(window, nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        const RECT before = WindowRect(window);
        const RECT preview = ClientRectOf(window, IDC_PREVIEW);
        std::vector<RECT> sideBefore;
        for (int id : side)
            sideBefore.push_back(ClientRectOf(window, id));

        dialog.FitToPicture(Width(preview) + c.extraWidth, Height(preview) + c.extraHeight);

        const RECT after = WindowRect(window);
        EXPECT_EQ(Width(after), Width(before) + c.dx);
        EXPECT_EQ(Height(after), Height(before) + c.dy);
        EXPECT_EQ(after.left, (GetSystemMetrics(SM_CXSCREEN) - Width(after)) / 2);
        EXPECT_EQ(after.top, (GetSystemMetrics(SM_CYSCREEN) - Height(after)) / 2);
        const RECT grown = ClientRectOf(window, IDC_PREVIEW);
        EXPECT_EQ(grown.left, preview.left);
        EXPECT_EQ(grown.top, preview.top);
        EXPECT_EQ(Width(grown), Width(preview) + c.dx);
        EXPECT_EQ(Height(grown), Height(preview) + c.dy);
        for (size_t i = 0; i < sideBefore.size(); ++i) {
            SCOPED_TRACE(side[i]);
            RECT moved = ClientRectOf(window, side[i]);
            RECT expected = sideBefore[i];
            OffsetRect(&expected, c.dx, 0); // right along, never down
            EXPECT_TRUE(EqualRect(&moved, &expected));
        }
        DestroyWindow(window);
        EXPECT_EQ(dialog.hwnd, nullptr);
    }
}

} // namespace
