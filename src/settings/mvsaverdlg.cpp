#include "settings/mvsaverdlg.h"

#include "image/dibdraw.h"
#include "resources/resource.h"
#include "util/modulenames.h"

namespace {

// The controls to the right of the preview button, which move along when the
// dialog grows.
const int kSideControls[] = {IDOK, IDCANCEL, IDC_MUTE, IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};

const int kRadioGroup[] = {IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};
const int kAllSound[] = {IDC_MUTE, IDC_SOUNDGROUP, IDC_ALWAYS, IDC_ONCE, IDC_NEVER};

// Hides the controls, then disables them, each pass in the order given.
template <size_t N> void RemoveControls(HWND dialog, const int (&ids)[N]) {
    for (int id : ids)
        ShowWindow(GetDlgItem(dialog, id), SW_HIDE);
    for (int id : ids)
        EnableWindow(GetDlgItem(dialog, id), FALSE);
}

RECT ClientRectOf(HWND dialog, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace

LRESULT mvSaverDlg::OnInitDialog(WPARAM, LPARAM) {
    SetWindowTextA(hwnd, ModuleTitle);
    pak.Load(FALSE); // a failure leaves the constructor's zeros: no sound control
    LoadPreview();
    if (preview.bits)
        FitToPicture(preview.info.biWidth, preview.info.biHeight);
    SetUpSoundControls();
    return 1;
}

void mvSaverDlg::FitToPicture(int width, int height) {
    HWND button = GetDlgItem(hwnd, IDC_PREVIEW);
    RECT r = ClientRectOf(hwnd, button);
    RECT d;
    GetWindowRect(hwnd, &d);
    int dx = width - (r.right - r.left);
    int dy = height - (r.bottom - r.top);
    if (dx < 0)
        dx = 0;
    if (dy < 0)
        dy = 0;
    d.right += dx;
    d.bottom += dy;
    OffsetRect(&d, -d.left, -d.top);
    OffsetRect(&d, (GetSystemMetrics(SM_CXSCREEN) - d.right) / 2, (GetSystemMetrics(SM_CYSCREEN) - d.bottom) / 2);
    MoveWindow(hwnd, d.left, d.top, d.right - d.left, d.bottom - d.top, TRUE);
    MoveWindow(button, r.left, r.top, (r.right - r.left) + dx, (r.bottom - r.top) + dy, TRUE);
    for (int id : kSideControls) {
        HWND control = GetDlgItem(hwnd, id);
        RECT c = ClientRectOf(hwnd, control);
        MoveWindow(control, c.left + dx, c.top, c.right - c.left, c.bottom - c.top, TRUE);
    }
}

void mvSaverDlg::SetUpSoundControls() {
    DWORD flags = pak.trailer.flags;
    if (flags & FLAG_TWO_WAY_SOUND) {
        RemoveControls(hwnd, kRadioGroup);
        if (pak.sound == SOUND_NEVER)
            CheckDlgButton(hwnd, IDC_MUTE, BST_CHECKED);
    } else if (flags & FLAG_THREE_WAY_SOUND) {
        RemoveControls(hwnd, {IDC_MUTE});
        int checked = pak.sound == SOUND_ONCE ? IDC_ONCE : pak.sound == SOUND_NEVER ? IDC_NEVER : IDC_ALWAYS;
        CheckRadioButton(hwnd, IDC_ALWAYS, IDC_NEVER, checked);
    } else {
        RemoveControls(hwnd, kAllSound);
    }
}

int mvSaverDlg::SoundFromControls() const {
    DWORD flags = pak.trailer.flags;
    if (flags & FLAG_TWO_WAY_SOUND)
        return IsDlgButtonChecked(hwnd, IDC_MUTE) == BST_CHECKED ? SOUND_NEVER : SOUND_ALWAYS;
    if (flags & FLAG_THREE_WAY_SOUND) {
        if (IsDlgButtonChecked(hwnd, IDC_NEVER) == BST_CHECKED)
            return SOUND_NEVER;
        return IsDlgButtonChecked(hwnd, IDC_ONCE) == BST_CHECKED ? SOUND_ONCE : SOUND_ALWAYS;
    }
    return pak.sound; // no control: the value read stays
}

LRESULT mvSaverDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case IDOK:
        pak.sound = SoundFromControls();
        pak.WriteSoundSetting();
        EndDialog(hwnd, IDOK);
        break;
    case IDCANCEL:
        EndDialog(hwnd, IDCANCEL);
        break;
    default:
        break;
    }
    return DefaultProc(WM_COMMAND, wParam, lParam);
}

LRESULT mvSaverDlg::OnDrawItem(WPARAM, LPARAM lParam) {
    if (!preview.bits)
        return 0;
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    HPALETTE previous = nullptr;
    if (hPalette) {
        previous = SelectPalette(item->hDC, hPalette, FALSE);
        RealizePalette(item->hDC);
    }
    DibDraw(&preview, item->hDC, 0, 0, nullptr, SRCCOPY);
    if (hPalette)
        SelectPalette(item->hDC, previous, FALSE);
    return 0;
}

LRESULT mvSaverDlg::OnDestroy(WPARAM wParam, LPARAM lParam) {
    FreePreview();
    return DefaultProc(WM_DESTROY, wParam, lParam);
}
