// mvSaverDlg: the movie saver's settings dialog (template IDD_SETTINGS). It
// shows the preview picture on an owner-drawn button and lets the user choose
// how the movie's sound plays; the package's flags choose the controls:
//   TwoWaySound    the "Mute Sound" check box (SOUND_NEVER when checked,
//                  else SOUND_ALWAYS); it wins when both bits are set
//   ThreeWaySound  the radio buttons "Always", "Once", "Never"
//   neither        no sound control
// OK writes `sound` to the settings file and ends with 1; Cancel ends with 2
// and writes nothing.
//
// The object owns all four members. LoadPreview (during OnInitDialog) fills
// preview, quantizer and hPalette; FreePreview (in OnDestroy) releases them.
// pak is read with Load, without extraction, during OnInitDialog.
#pragma once

#include "framework/csaverdlg.h"
#include "image/dibimage.h"
#include "image/quantize.h"
#include "moviesaver/mvpak.h"

class mvSaverDlg : public CSAVERDLG {
public:
    DIBIMAGE preview = {};
    QUANTIZER quantizer = {};
    HPALETTE hPalette = nullptr;
    mvPak pak;

    LRESULT OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnInitDialog(WPARAM wParam, LPARAM lParam) override;

    // Grows the dialog by what a picture of width x height pixels needs
    // beyond the preview button (never shrinks it), moves the controls to
    // its right along, and centres the dialog on the screen.
    void FitToPicture(int width, int height);

    // The preview picture (preview.cpp), loaded once while the dialog
    // initialises and released when it is destroyed. LoadPreview reads the
    // package's picture at pak.trailer.pictureOffset, or the module's bitmap
    // IDB_PREVIEW when there is none, and on a display of at most 256 colours
    // gives it a palette of its own: then hPalette is set and the picture
    // holds indices into it (DIB_PAL_COLORS). Afterwards preview.bits is null
    // when there is no picture. FreePreview is safe on empty members and twice.
    void LoadPreview();
    void FreePreview();

private:
    void SetUpSoundControls();
    int SoundFromControls() const;
};
