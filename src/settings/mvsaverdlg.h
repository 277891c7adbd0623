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
#include "moviesaver/mvpak.h"
#include "settings/previewimage.h"

class mvSaverDlg : public CSAVERDLG {
public:
    PreviewImage preview = {};
    PreviewQuantizer quantizer = {};
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

    // The preview picture, loaded once while the dialog initialises and
    // released when it is destroyed; FreePreview is safe on empty members.
    void LoadPreview();
    void FreePreview();

private:
    void SetUpSoundControls();
    int SoundFromControls() const;
};
