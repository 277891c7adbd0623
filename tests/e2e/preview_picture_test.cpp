// The preview picture of /c, seen on the screen: packaged savers carry the
// pictures, the dialog runs in its own process, and the test reads what GDI
// reports the screen shows. The program runs on the 24-bit display, where a
// picture must appear exactly as loaded, and on the 8-bit palette display.
// There Wine puts window contents through the display's few colours (in
// practice its static ones), so the dialog's picture is compared with the
// same picture that this program loads with LoadPreview and draws with
// OnDrawItem in a window of its own, and with the original by a mean error.
// A screenshot of each case is saved as build/screenshots/settings-preview-*.bmp.
#include "image/dibdraw.h"
#include "imagetest.h"
#include "previewfixture.h"
#include "resources/resource.h"
#include "settings/mvsaverdlg.h"
#include "settingsdialog.h"
#include "util/modulenames.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using namespace testsupport;
using namespace previewfixture;
using e2e::ClientScreenRect;
using e2e::IsUniform;
using e2e::ReadScreenArea;
using e2e::ScreenRect;
using e2e::StartDialog;
using imagetest::Picture;

std::string Depth() {
    return IsPaletteDisplay() ? "8bit" : "24bit";
}

RECT Area(int x, int y, int width, int height) {
    return RECT{x, y, x + width, y + height};
}

std::set<DWORD> Colours(const ScreenShot& shot) {
    return std::set<DWORD>(shot.pixels.begin(), shot.pixels.end());
}

bool Equal(const ScreenShot& a, const ScreenShot& b) {
    return a.width == b.width && a.height == b.height && a.pixels == b.pixels;
}

::testing::AssertionResult SameShot(const ScreenShot& shown, const ScreenShot& expected) {
    if (Equal(shown, expected))
        return ::testing::AssertionSuccess();
    int differ = 0;
    for (size_t i = 0; i < shown.pixels.size() && i < expected.pixels.size(); ++i)
        differ += shown.pixels[i] != expected.pixels[i];
    return ::testing::AssertionFailure() << differ << " of " << expected.pixels.size() << " pixels differ";
}

// The picture's colours as a shot, top row first.
ScreenShot ShotOf(const DIBIMAGE* image) {
    ScreenShot shot;
    shot.width = image->info.biWidth;
    shot.height = image->info.biHeight;
    std::string rgb = imagetest::RgbDump(image);
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        shot.pixels.push_back(static_cast<DWORD>(static_cast<BYTE>(rgb[i]) << 16 | static_cast<BYTE>(rgb[i + 1]) << 8 |
                                                 static_cast<BYTE>(rgb[i + 2])));
    return shot;
}

double MeanError(const ScreenShot& a, const ScreenShot& b) {
    double sum = 0;
    for (size_t i = 0; i < a.pixels.size() && i < b.pixels.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8)
            sum += std::abs(static_cast<int>((a.pixels[i] >> shift) & 0xFF) -
                            static_cast<int>((b.pixels[i] >> shift) & 0xFF));
    return sum / (3.0 * a.pixels.size());
}

// A pop-up window of this program at a screen corner that `away` does not cover.
HWND MakePopup(RECT* place, const RECT& away) {
    const int width = place->right, height = place->bottom;
    for (POINT corner : {POINT{0, GetSystemMetrics(SM_CYSCREEN) - height}, POINT{0, 0}}) {
        *place = Area(corner.x, corner.y, width, height);
        RECT overlap;
        if (!IntersectRect(&overlap, place, &away))
            break;
    }
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MsPreviewHere";
    RegisterClassA(&wc); // a second registration fails harmlessly
    return CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, place->left, place->top, width,
                           height, nullptr, nullptr, wc.hInstance, nullptr);
}

// What the screen shows of the dialog's picture drawn here: the same
// package loaded by LoadPreview and drawn by OnDrawItem into a window of
// this program (the dialog's own code; without a window its built-in picture
// is this program's copy of IDB_PREVIEW), or `picture` drawn as it is when
// given. Compares it with what the dialog shows at the top-left corner of
// `shown`; the window keeps away from `dialog`. Call it once per test, before
// this program realises any palette: palette entries the quantiser leaves
// unused keep the system palette's colours and dithering may pick them, so
// both processes must start from the same one (ctest runs each test alone).
::testing::AssertionResult SameAsDrawnHere(const RECT& shown, const RECT& dialog, const std::string& module,
                                           DIBIMAGE* picture = nullptr) {
    mvSaverDlg here;
    SetModuleNames(module.c_str());
    here.pak.Load(FALSE);
    here.LoadPreview();
    DIBIMAGE* image = picture ? picture : &here.preview;
    if (!image->bits)
        return ::testing::AssertionFailure() << "nothing loaded here";
    const int width = image->info.biWidth, height = image->info.biHeight;
    RECT place = {0, 0, width, height};
    HWND window = MakePopup(&place, dialog);
    HDC dc = GetDC(window);
    if (picture) {
        DibDraw(picture, dc, 0, 0, nullptr, SRCCOPY);
    } else {
        DRAWITEMSTRUCT item = {};
        item.hDC = dc;
        here.OnDrawItem(0, reinterpret_cast<LPARAM>(&item));
    }
    ReleaseDC(window, dc);
    ScreenShot theirs, ours;
    WaitUntil([&] {
        theirs = ReadScreenArea(Area(shown.left, shown.top, width, height));
        ours = ReadScreenArea(place);
        return Equal(theirs, ours);
    });
    DestroyWindow(window);
    here.FreePreview();
    return SameShot(theirs, ours);
}

class PreviewPictureE2E : public ::testing::Test {
protected:
    void SetUp() override { dir = ScratchDir("preview-e2e"); }
    void TearDown() override { Close(IDCANCEL); }

    std::string SaverWith(const std::string& title, DIBIMAGE* image) {
        std::string picture = dir + "\\" + title + ".bmp";
        EXPECT_TRUE(SavePicture(picture, image));
        return MakeSaver(dir, title, "ThreeWaySound=1", "1", picture);
    }

    // Starts the dialog of module; the picture's place is the preview
    // button's client area.
    bool Open(const std::string& module) {
        Close(IDCANCEL);
        saver = std::make_unique<Process>();
        dialog = StartDialog(*saver, module, "/c");
        if (!dialog)
            return false;
        button = ClientScreenRect(GetDlgItem(dialog, IDC_PREVIEW));
        return true;
    }

    // Ends the dialog with the button given; it must end the program with 0.
    void Close(int id) {
        if (!saver)
            return;
        if (dialog)
            SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        dialog = nullptr;
        EXPECT_TRUE(saver->WaitExit());
        EXPECT_EQ(saver->ExitCode(), 0u);
        saver.reset();
    }

    // Waits until the screen shows `expected` at the button's top-left corner.
    ::testing::AssertionResult Shows(const ScreenShot& expected) {
        ScreenShot shot;
        WaitUntil([&] {
            shot = ReadScreenArea(Area(button.left, button.top, expected.width, expected.height));
            return Equal(shot, expected);
        });
        return SameShot(shot, expected);
    }

    std::string dir;
    std::unique_ptr<Process> saver;
    HWND dialog = nullptr;
    RECT button = {};
};

TEST_F(PreviewPictureE2E, WithoutAPackagePictureTheBuiltInOneIsDrawnAtTheButtonsCorner) {
    std::string module = MakeSaver(dir, "BuiltIn", "ThreeWaySound=1", nullptr);
    ASSERT_TRUE(Open(module));
    EXPECT_EQ(button.right - button.left, 300);
    EXPECT_EQ(button.bottom - button.top, 175);
    if (IsPaletteDisplay()) {
        EXPECT_TRUE(SameAsDrawnHere(button, ScreenRect(dialog), module));
    } else {
        Picture builtIn;
        ASSERT_EQ(LoadBuiltInPicture(builtIn.get()), IMG_OK);
        EXPECT_TRUE(Shows(ShotOf(builtIn.get())));
    }
    e2e::SaveScreenshot(dialog, "preview-builtin-" + Depth());
}

TEST_F(PreviewPictureE2E, AnEightBitPictureShowsColourIAtEveryPixelOfIndexI) {
    Picture grid;
    ASSERT_EQ(MakeIndexGrid(grid.get(), 8), IMG_OK); // 128 x 128
    std::string module = SaverWith("Grid", grid.get());
    ASSERT_TRUE(Open(module));
    if (IsPaletteDisplay()) {
        // Each colour as the display shows it when drawn plainly here.
        EXPECT_TRUE(SameAsDrawnHere(button, ScreenRect(dialog), module, grid.get()));
    } else {
        EXPECT_TRUE(Shows(ShotOf(grid.get())));
    }
    e2e::SaveScreenshot(dialog, "preview-256colours-" + Depth());
}

TEST_F(PreviewPictureE2E, ATrueColourPictureIsShownAsLoadedOrThroughItsOwnPalette) {
    Picture blocks;
    ASSERT_EQ(MakeStaticBlocks(blocks.get(), 150, 100), IMG_OK);
    std::string module = SaverWith("Blocks", blocks.get());
    ASSERT_TRUE(Open(module));
    if (IsPaletteDisplay()) {
        EXPECT_TRUE(SameAsDrawnHere(button, ScreenRect(dialog), module));
        ScreenShot shown = ReadScreenArea(Area(button.left, button.top, 150, 100));
        EXPECT_LT(MeanError(shown, ShotOf(blocks.get())), 8.0);
    } else {
        EXPECT_TRUE(Shows(ShotOf(blocks.get())));
    }
    e2e::SaveScreenshot(dialog, "preview-truecolour-" + Depth());
}

TEST_F(PreviewPictureE2E, ADamagedPictureLeavesTheButtonUnpaintedAndTheDialogWorking) {
    // Larger than the template's button: loaded, it would grow the dialog.
    Picture blocks;
    ASSERT_EQ(MakeStaticBlocks(blocks.get(), 260, 200), IMG_OK);
    struct Damage {
        const char* what;
        DWORD at;
        std::string bytes;
    };
    const Damage cases[] = {
        {"not a BMP", 0, "XY"},
        {"a 64-byte header", 14, imagetest::Bytes({64, 0, 0, 0})},
        {"16 bits", 28, imagetest::Bytes({16, 0})},
    };
    RECT first = {};
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        std::string module = SaverWith("Damaged", blocks.get());
        ASSERT_TRUE(PatchPicture(module, c.at, c.bytes));
        ASSERT_TRUE(Open(module));
        // The template's button: grown neither for this picture nor for the built-in one.
        EXPECT_LT(button.right - button.left, 260);
        EXPECT_LT(button.bottom - button.top, 175);
        if (c.at == 0)
            first = ScreenRect(dialog);
        RECT whole = ScreenRect(dialog);
        EXPECT_TRUE(EqualRect(&whole, &first));
        // Unpainted: only the dialog's background (dithered on the palette
        // display), as in the margin left of the button.
        RECT ok = ScreenRect(GetDlgItem(dialog, IDOK));
        ASSERT_TRUE(WaitUntil(
            [&] { return !IsUniform(ReadScreenArea(ok), Area(0, 0, ok.right - ok.left, ok.bottom - ok.top)); }));
        RECT margin = {ClientScreenRect(dialog).left, button.top, button.left, button.bottom};
        std::set<DWORD> background = Colours(ReadScreenArea(margin));
        for (DWORD colour : Colours(ReadScreenArea(button)))
            EXPECT_TRUE(background.count(colour)) << std::hex << colour;
        if (c.at == 0)
            e2e::SaveScreenshot(dialog, "preview-damaged-" + Depth());

        SendMessageA(GetDlgItem(dialog, IDC_NEVER), BM_CLICK, 0, 0);
        Close(IDOK);
        EXPECT_EQ(e2e::StoredSound(dir + "\\Damaged.ini"), "2");
    }
}

struct SizeCase {
    const char* what;
    int extraWidth, extraHeight; // picture size beyond the template's button
};

TEST_F(PreviewPictureE2E, TheDialogGrowsByWhatALargerPictureNeedsAndIsCentred) {
    Picture blocks;
    ASSERT_EQ(MakeStaticBlocks(blocks.get(), 150, 100), IMG_OK);
    // Without a picture the dialog keeps its template's layout.
    std::string damaged = SaverWith("Template", blocks.get());
    ASSERT_TRUE(PatchPicture(damaged, 0, "XY"));
    ASSERT_TRUE(Open(damaged));
    const int side[] = {IDOK, IDCANCEL, IDC_MUTE, IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};
    const RECT templateWindow = ScreenRect(dialog);
    const RECT templateButton = button;
    const POINT client = {ClientScreenRect(dialog).left, ClientScreenRect(dialog).top};
    std::vector<RECT> templateSide;
    for (int id : side) {
        RECT r = ScreenRect(GetDlgItem(dialog, id));
        OffsetRect(&r, -client.x, -client.y);
        templateSide.push_back(r);
    }
    Close(IDCANCEL);

    const SizeCase cases[] = {
        {"smaller in both directions", -60, -50},
        {"wider but not taller", 37, -10},
        {"taller but not wider", -5, 25},
        {"larger in both directions", 130, 60},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const int width = templateButton.right - templateButton.left + c.extraWidth;
        const int height = templateButton.bottom - templateButton.top + c.extraHeight;
        const int dx = c.extraWidth > 0 ? c.extraWidth : 0, dy = c.extraHeight > 0 ? c.extraHeight : 0;
        Picture picture;
        ASSERT_EQ(MakeStaticBlocks(picture.get(), width, height), IMG_OK);
        ASSERT_TRUE(Open(SaverWith("Size", picture.get())));

        const RECT window = ScreenRect(dialog);
        EXPECT_EQ(window.right - window.left, templateWindow.right - templateWindow.left + dx);
        EXPECT_EQ(window.bottom - window.top, templateWindow.bottom - templateWindow.top + dy);
        EXPECT_EQ(window.left, (GetSystemMetrics(SM_CXSCREEN) - (window.right - window.left)) / 2);
        EXPECT_EQ(window.top, (GetSystemMetrics(SM_CYSCREEN) - (window.bottom - window.top)) / 2);
        EXPECT_EQ(button.right - button.left, templateButton.right - templateButton.left + dx);
        EXPECT_EQ(button.bottom - button.top, templateButton.bottom - templateButton.top + dy);
        const POINT origin = {ClientScreenRect(dialog).left, ClientScreenRect(dialog).top};
        EXPECT_EQ(button.left - origin.x, templateButton.left - client.x);
        EXPECT_EQ(button.top - origin.y, templateButton.top - client.y);
        for (size_t i = 0; i < templateSide.size(); ++i) {
            SCOPED_TRACE(side[i]);
            RECT moved = ScreenRect(GetDlgItem(dialog, side[i]));
            OffsetRect(&moved, -origin.x, -origin.y);
            RECT expected = templateSide[i];
            OffsetRect(&expected, dx, 0); // right along, never down
            EXPECT_TRUE(EqualRect(&moved, &expected));
        }
        if (c.extraWidth > 0 && c.extraHeight > 0)
            e2e::SaveScreenshot(dialog, "preview-larger-" + Depth());
        Close(IDCANCEL);
    }
}

} // namespace
