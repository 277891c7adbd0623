// The preview picture of the settings dialog. Until the image library lands
// there is no picture: the dialog keeps its template size and the preview
// button stays unpainted.
#include "settings/mvsaverdlg.h"

#include <cstring>

void mvSaverDlg::LoadPreview() {
    memset(&preview, 0, sizeof preview);
    memset(&quantizer, 0, sizeof quantizer);
    hPalette = nullptr;
}

void mvSaverDlg::FreePreview() {
    if (hPalette) {
        DeleteObject(hPalette);
        hPalette = nullptr;
    }
}
