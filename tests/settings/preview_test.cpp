// The preview picture inside the test program: the dialog made from its
// template here, its module path pointed at packaged savers, and its picture,
// palette and quantiser read directly. The same program runs on the 24-bit
// and on the 8-bit palette display; what each shows is checked for the one it
// runs on.
#include "previewfixture.h"

#include "image/dibfile.h"
#include "imagetest.h"
#include "resources/resource.h"
#include "settings/mvsaverdlg.h"
#include "testsupport.h"
#include "util/modulenames.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace previewfixture;
using namespace testsupport;
using imagetest::Picture;

// The dialog of one package, made in this program.
class Dialog {
public:
    explicit Dialog(const std::string& module) {
        SetModuleNames(module.c_str());
        window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, DialogProc,
                                    reinterpret_cast<LPARAM>(object.get()));
    }
    ~Dialog() {
        if (window)
            DestroyWindow(window);
    }
    mvSaverDlg* operator->() { return object.get(); }

    std::unique_ptr<mvSaverDlg> object = std::make_unique<mvSaverDlg>();
    HWND window = nullptr;
};

std::vector<PALETTEENTRY> Entries(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries(GetPaletteEntries(palette, 0, 0, nullptr));
    GetPaletteEntries(palette, 0, static_cast<UINT>(entries.size()), entries.data());
    return entries;
}

bool Same(const PALETTEENTRY& e, BYTE r, BYTE g, BYTE b) {
    return e.peRed == r && e.peGreen == g && e.peBlue == b && e.peFlags == 0;
}

// Palette-index mode with entry i of the table naming palette entry i.
void ExpectIdentityIndices(const DIBIMAGE& image, int count) {
    EXPECT_EQ(image.colorUse, static_cast<DWORD>(DIB_PAL_COLORS));
    const auto* indices = reinterpret_cast<const WORD*>(image.colors);
    for (int i = 0; i < count; ++i)
        ASSERT_EQ(indices[i], i) << i;
}

// A 24-bit picture reduced for the palette display: 8 bits through a
// 256-entry palette with the static colours at both ends and the quantised
// ones from entry 10 up, colour for colour what the quantiser made; returns
// the palette.
std::vector<PALETTEENTRY> ExpectReducedForThePaletteDisplay(mvSaverDlg* dialog) {
    EXPECT_EQ(dialog->preview.info.biBitCount, 8);
    EXPECT_NE(dialog->hPalette, nullptr);
    if (!dialog->hPalette)
        return {};
    std::vector<PALETTEENTRY> palette = Entries(dialog->hPalette);
    EXPECT_EQ(palette.size(), 256u);
    if (palette.size() != 256)
        return {};
    PALETTEENTRY statics[20];
    GetPaletteEntries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 20, statics);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(Same(palette[i], statics[i].peRed, statics[i].peGreen, statics[i].peBlue)) << i;
        EXPECT_TRUE(Same(palette[246 + i], statics[10 + i].peRed, statics[10 + i].peGreen, statics[10 + i].peBlue))
            << 246 + i;
    }
    EXPECT_EQ(dialog->quantizer.firstIndex, 10);
    for (int i = 0; i < 256; ++i) {
        const PALETTEENTRY& q = dialog->quantizer.palette->palPalEntry[i];
        EXPECT_TRUE(Same(palette[i], q.peRed, q.peGreen, q.peBlue)) << i;
        // The picture's true colours are the palette's.
        const RGBQUAD& c = dialog->preview.fileColors[i];
        EXPECT_TRUE(Same(palette[i], c.rgbRed, c.rgbGreen, c.rgbBlue)) << i;
    }
    ExpectIdentityIndices(dialog->preview, 256);
    return palette;
}

void ExpectDrawnAsLoaded(mvSaverDlg* dialog, DIBIMAGE* original) {
    EXPECT_EQ(dialog->hPalette, nullptr);
    EXPECT_EQ(dialog->quantizer.palette, nullptr);
    EXPECT_EQ(dialog->preview.colorUse, static_cast<DWORD>(DIB_RGB_COLORS));
    EXPECT_EQ(dialog->preview.info.biBitCount, original->info.biBitCount);
    EXPECT_EQ(imagetest::RgbDump(&dialog->preview), imagetest::RgbDump(original));
}

class PreviewPicture : public ::testing::Test {
protected:
    void SetUp() override { dir = ScratchDir("preview-inprocess"); }

    // A saver carrying image as its picture.
    std::string SaverWith(const char* title, DIBIMAGE* image, BOOL compress = FALSE) {
        std::string picture = dir + "\\" + title + ".bmp";
        EXPECT_TRUE(SavePicture(picture, image, compress));
        return MakeSaver(dir, title, "", nullptr, picture);
    }

    std::string dir;
};

TEST_F(PreviewPicture, WithoutAPackagePictureTheBuiltInOneIsUsed) {
    Picture builtIn;
    ASSERT_EQ(LoadBuiltInPicture(builtIn.get()), IMG_OK);
    ASSERT_EQ(builtIn->info.biBitCount, 24);
    ASSERT_EQ(builtIn->info.biWidth, 300);
    ASSERT_EQ(builtIn->info.biHeight, 175);
    // The module's resource is the classic packed DIB: a 40-byte header.
    HMODULE module = LoadLibraryExA(BinPath("MovieSaver.scr").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(IDB_PREVIEW), reinterpret_cast<LPCSTR>(RT_BITMAP));
    ASSERT_NE(found, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)));
    EXPECT_EQ(header->biSize, 40u);
    EXPECT_EQ(SizeofResource(module, found), 40u + 300 * 3 * 175);
    FreeLibrary(module);

    Dialog dialog(MakeSaver(dir, "Plain", "", nullptr));
    ASSERT_NE(dialog.window, nullptr);
    EXPECT_EQ(dialog->pak.trailer.pictureOffset, 0u);
    ASSERT_NE(dialog->preview.bits, nullptr);
    EXPECT_EQ(dialog->preview.info.biWidth, 300);
    EXPECT_EQ(dialog->preview.info.biHeight, 175);
    if (IsPaletteDisplay()) {
        ExpectReducedForThePaletteDisplay(dialog.object.get());
        EXPECT_LT(MeanColourError(&dialog->preview, builtIn.get()), 6.0);
    } else {
        ExpectDrawnAsLoaded(dialog.object.get(), builtIn.get());
    }
}

TEST_F(PreviewPicture, AnEightBitPictureGetsAPaletteOfExactlyItsColours) {
    Picture grid;
    ASSERT_EQ(MakeIndexGrid(grid.get(), 2), IMG_OK);
    for (BOOL compress : {FALSE, TRUE}) {
        SCOPED_TRACE(compress ? "run-length encoded" : "plain rows");
        Dialog dialog(SaverWith(compress ? "Grid-rle" : "Grid", grid.get(), compress));
        ASSERT_NE(dialog->preview.bits, nullptr);
        EXPECT_EQ(dialog->preview.info.biBitCount, 8);
        EXPECT_EQ(imagetest::RgbDump(&dialog->preview), imagetest::RgbDump(grid.get()));
        for (int y = 0; y < 32; y += 2)
            for (int x = 0; x < 32; x += 2)
                ASSERT_EQ(DibGetPixelIndex(&dialog->preview, x, y), y / 2 * 16 + x / 2) << x << "," << y;
        if (IsPaletteDisplay()) {
            ASSERT_NE(dialog->hPalette, nullptr);
            std::vector<PALETTEENTRY> palette = Entries(dialog->hPalette);
            ASSERT_EQ(palette.size(), 256u);
            for (int i = 0; i < 256; ++i) {
                RGBQUAD c = Color256(i);
                EXPECT_TRUE(Same(palette[i], c.rgbRed, c.rgbGreen, c.rgbBlue)) << i;
            }
            ExpectIdentityIndices(dialog->preview, 256);
        } else {
            ExpectDrawnAsLoaded(dialog.object.get(), grid.get());
        }
    }
}

TEST_F(PreviewPicture, ATrueColourPictureIsQuantisedIntoTheFreeEntriesOnAPaletteDisplay) {
    Picture gradient;
    ASSERT_EQ(MakeGradient(gradient.get(), 160, 120), IMG_OK);
    Dialog dialog(SaverWith("Gradient", gradient.get()));
    ASSERT_NE(dialog->preview.bits, nullptr);
    if (!IsPaletteDisplay()) {
        ExpectDrawnAsLoaded(dialog.object.get(), gradient.get());
        return;
    }
    std::vector<PALETTEENTRY> palette = ExpectReducedForThePaletteDisplay(dialog.object.get());
    ASSERT_EQ(palette.size(), 256u);
    // Every colour of the picture has blue 77: so have exactly the quantised
    // entries, which begin at entry 10 and stay below the upper static colours.
    int quantised = 0;
    for (int i = 0; i < 256; ++i)
        quantised += palette[i].peBlue == 77;
    EXPECT_GT(quantised, 16);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(palette[i].peBlue == 77, i >= 10 && i < 10 + quantised) << i;
    EXPECT_LT(MeanColourError(&dialog->preview, gradient.get()), 6.0);
}

TEST_F(PreviewPicture, PicturesOfEveryDepthThatTheReaderTakesAreShown) {
    struct DepthCase {
        int bitCount;
        int colours;
    };
    for (DepthCase c : {DepthCase{1, 2}, DepthCase{4, 16}, DepthCase{4, 5}, DepthCase{8, 40}}) {
        SCOPED_TRACE(c.bitCount);
        SCOPED_TRACE(c.colours);
        std::vector<RGBQUAD> table = imagetest::Table(c.colours);
        Picture picture;
        ASSERT_EQ(DibCreate(picture.get(), 37, 11, c.bitCount, table.data(), c.colours), IMG_OK);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 37; ++x) {
                RGBQUAD q = table[(x + y) % c.colours];
                DibSetPixel(picture.get(), x, y, RGB(q.rgbRed, q.rgbGreen, q.rgbBlue), nullptr);
            }
        std::string title = "Depth" + std::to_string(c.bitCount) + "-" + std::to_string(c.colours);
        Dialog dialog(SaverWith(title.c_str(), picture.get()));
        ASSERT_NE(dialog->preview.bits, nullptr);
        EXPECT_EQ(imagetest::RgbDump(&dialog->preview), imagetest::RgbDump(picture.get()));
        if (IsPaletteDisplay()) {
            ASSERT_NE(dialog->hPalette, nullptr);
            std::vector<PALETTEENTRY> palette = Entries(dialog->hPalette);
            ASSERT_EQ(palette.size(), static_cast<size_t>(c.colours));
            for (int i = 0; i < c.colours; ++i)
                EXPECT_TRUE(Same(palette[i], table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue)) << i;
            ExpectIdentityIndices(dialog->preview, c.colours);
        } else {
            EXPECT_EQ(dialog->hPalette, nullptr);
        }
    }
}

TEST_F(PreviewPicture, APictureCutShortShowsItsMissingRowsBlackAsTheFileAloneWould) {
    Picture gradient;
    ASSERT_EQ(MakeGradient(gradient.get(), 40, 30), IMG_OK);
    std::string whole = dir + "\\whole.bmp", cut = dir + "\\cut.bmp";
    ASSERT_TRUE(SavePicture(whole, gradient.get()));
    // The 10 bottom rows only: rows are stored bottom-up, 120 bytes each.
    ASSERT_TRUE(WriteFileBytes(cut, ReadFileBytes(whole).substr(0, 54 + 10 * 120)));
    Picture alone;
    ASSERT_EQ(DibLoadFile(alone.get(), cut.c_str()), IMG_OK);

    Dialog dialog(MakeSaver(dir, "Cut", "", nullptr, cut));
    ASSERT_NE(dialog->preview.bits, nullptr);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 40; ++x) {
            if (y < 20) {
                ASSERT_EQ(DibGetPixel(&dialog->preview, x, y, nullptr), 0u) << x << "," << y;
            } else if (!IsPaletteDisplay()) {
                ASSERT_EQ(DibGetPixel(&dialog->preview, x, y, nullptr), DibGetPixel(alone.get(), x, y, nullptr));
            }
        }
    }
    EXPECT_LT(MeanColourError(&dialog->preview, alone.get()), 6.0);
}

// Bytes written over the package's picture; offsets within the BMP file.
struct Damage {
    const char* what;
    DWORD at;
    std::string bytes;
    bool rle; // the picture is stored run-length encoded
};

TEST_F(PreviewPicture, ADamagedPackagePictureLeavesNoPictureAndTheResourceIsNotTried) {
    Picture picture;
    ASSERT_EQ(MakeStaticBlocks(picture.get(), 120, 90), IMG_OK);
    Picture grid;
    ASSERT_EQ(MakeIndexGrid(grid.get(), 8), IMG_OK);
    const Damage cases[] = {
        {"not a BMP", 0, "XY", false},
        {"16 bits", 28, imagetest::Bytes({16, 0}), false},
        {"a 124-byte header", 14, imagetest::Bytes({124, 0, 0, 0}), false},
        {"top-down rows", 22, imagetest::Bytes({0xA6, 0xFF, 0xFF, 0xFF}), false},
        {"257 colours", 46, imagetest::Bytes({1, 1, 0, 0}), false},
        // Encoded runs of 255 pixels run past the last row before any end.
        {"run-length data past the picture", 14 + 40 + 1024, std::string(400, '\xFF'), true},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        std::string module = c.rle ? SaverWith("Damaged-rle", grid.get(), TRUE) : SaverWith("Damaged", picture.get());
        ASSERT_FALSE(module.empty());
        ASSERT_TRUE(PatchPicture(module, c.at, c.bytes));
        Dialog dialog(module);
        ASSERT_NE(dialog.window, nullptr);
        EXPECT_NE(dialog->pak.trailer.pictureOffset, 0u);
        EXPECT_EQ(dialog->preview.bits, nullptr);
        EXPECT_EQ(dialog->hPalette, nullptr);
        EXPECT_EQ(dialog->quantizer.palette, nullptr);
        // The template's size: the preview button of 113 x 100 dialog units.
        RECT expected = {7, 7, 120, 107};
        MapDialogRect(dialog.window, &expected);
        RECT button;
        GetClientRect(GetDlgItem(dialog.window, IDC_PREVIEW), &button);
        EXPECT_EQ(button.right, expected.right - expected.left);
        EXPECT_EQ(button.bottom, expected.bottom - expected.top);
    }
}

TEST_F(PreviewPicture, DestroyingTheDialogReleasesEverythingAndFreeingAgainIsHarmless) {
    Picture gradient;
    ASSERT_EQ(MakeGradient(gradient.get(), 64, 64), IMG_OK);
    std::string withPicture = SaverWith("Release", gradient.get());
    std::string damaged = SaverWith("Release-damaged", gradient.get());
    ASSERT_TRUE(PatchPicture(damaged, 0, "XY"));
    for (const std::string& module : {withPicture, damaged}) {
        SCOPED_TRACE(module);
        Dialog dialog(module);
        ASSERT_NE(dialog.window, nullptr);
        DestroyWindow(dialog.window);
        dialog.window = nullptr;
        EXPECT_EQ(dialog->preview.bits, nullptr);
        EXPECT_EQ(dialog->hPalette, nullptr);
        EXPECT_EQ(dialog->quantizer.palette, nullptr);
        EXPECT_EQ(dialog->quantizer.blockList, nullptr);
        dialog->FreePreview();
        EXPECT_EQ(dialog->preview.bits, nullptr);
    }
}

} // namespace
