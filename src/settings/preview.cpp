// The preview picture of the settings dialog: loaded from the package or the
// module's bitmap, then fitted to a palette display of at most 256 colours.
// A 24-bit picture is quantised into the entries the static colours leave free
// and dithered to them; a picture with a colour table gets a palette of
// exactly its own colours. On displays of more colours it is drawn as loaded.
#include "settings/mvsaverdlg.h"

#include "image/dibdraw.h"
#include "image/dibfile.h"
#include "image/dither.h"
#include "resources/resource.h"
#include "util/filebox.h"
#include "util/modulenames.h"

#include <cstring>

namespace {

// Dither cache key bits per channel, and the error limit's level.
constexpr int DITHER_BITS = 6;
constexpr int DITHER_ERROR_LEVEL = 2;

// The package's picture at its offset; there is no fallback to the resource.
int ReadPackagePicture(DIBIMAGE* image, DWORD offset) {
    FileBox* file = OpenFileBox(ModulePath, GENERIC_READ, FILE_SHARE_READ);
    if (!file)
        return IMG_ERR_OPEN;
    int result = IMG_ERR_READ;
    if (SeekFileBox(file, static_cast<LONG>(offset), FILE_BEGIN) == offset)
        result = DibReadFile(image, file);
    CloseFileBox(file);
    return result;
}

// 24 bits: an octree palette with the static colours at both ends, and the
// picture dithered to it.
int ReduceTrueColour(DIBIMAGE* image, QUANTIZER* quantizer) {
    int result = QuantAddImage(quantizer, image);
    if (result != IMG_OK)
        return result;
    if (!QuantBuildPalette(quantizer, 0, TRUE))
        return IMG_ERR_MEMORY;
    DITHER dither = {};
    DibExpandTo24(&dither, image); // already 24 bits: nothing to do
    result = DitherInit(&dither, quantizer, FALSE, DITHER_BITS, DITHER_BITS, DITHER_BITS, DITHER_ERROR_LEVEL);
    if (result == IMG_OK) {
        result = DitherImage(&dither, image);
        DitherFree(&dither);
    }
    return result;
}

} // namespace

void mvSaverDlg::LoadPreview() {
    memset(&preview, 0, sizeof preview);
    memset(&quantizer, 0, sizeof quantizer);
    hPalette = nullptr;

    int loaded;
    if (pak.trailer.pictureOffset) {
        loaded = ReadPackagePicture(&preview, pak.trailer.pictureOffset);
    } else {
        HINSTANCE module = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE));
        loaded = DibLoadResource(&preview, module, MAKEINTRESOURCEA(IDB_PREVIEW));
    }
    if (loaded != IMG_OK)
        return; // a failed load leaves no pixels: no picture

    // Fails on displays of more than 256 colours: no palette needed there.
    if (QuantInit(&quantizer, 0, 0) != 0)
        return;
    int result;
    if (preview.info.biBitCount > 8) {
        result = ReduceTrueColour(&preview, &quantizer);
    } else {
        int count = preview.info.biClrUsed ? static_cast<int>(preview.info.biClrUsed) : 1 << preview.info.biBitCount;
        result = QuantAddColors(&quantizer, preview.fileColors, count, FALSE) ? IMG_OK : IMG_ERR_MEMORY;
    }
    if (result != IMG_OK) {
        FreePreview();
        return;
    }
    hPalette = CreatePalette(quantizer.palette);
    // Without a GDI palette the picture keeps its true colours in RGB mode.
    if (hPalette)
        DibUseIdentityIndices(&preview);
}

void mvSaverDlg::FreePreview() {
    QuantFree(&quantizer);
    DibFree(&preview);
    if (hPalette) {
        DeleteObject(hPalette);
        hPalette = nullptr;
    }
}
