#include "framework/cdlg.h"

#include "util/paths.h"

#include <cstdlib>
#include <cstring>

CDLG::~CDLG() {
    SetHelp(nullptr, nullptr);
}

LRESULT CDLG::OnContextMenu(WPARAM wParam, LPARAM) {
    if (HasHelp())
        WinHelpA(reinterpret_cast<HWND>(wParam), helpFile, HELP_CONTEXTMENU, reinterpret_cast<ULONG_PTR>(helpIds));
    return 0;
}

LRESULT CDLG::OnHelp(WPARAM, LPARAM lParam) {
    const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
    if (!HasHelp() || !info)
        return 0;
    WinHelpA(static_cast<HWND>(info->hItemHandle), helpFile, HELP_WM_HELP, reinterpret_cast<ULONG_PTR>(helpIds));
    return 1;
}

LRESULT CDLG::DefaultProc(UINT, WPARAM, LPARAM) {
    return 0;
}

LRESULT CDLG::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG)
        return OnInitDialog(wParam, lParam);
    return CWIN::Dispatch(msg, wParam, lParam);
}

LRESULT CDLG::OnInitDialog(WPARAM, LPARAM) {
    return 1;
}

INT_PTR CDLG::DoModal(HINSTANCE instance, const char* dialogTemplate, HWND owner) {
    return DialogBoxParamA(instance, dialogTemplate, owner, DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDLG::SetHelp(const char* fileName, const DWORD* ids) {
    // A second call replaces the earlier copies instead of losing them.
    free(helpIds);
    free(helpFile);
    helpIds = nullptr;
    helpFile = nullptr;
    if (!fileName || !ids)
        return 1;
    char name[PATH_SIZE];
    if (fileName[0]) {
        CopyText(name, sizeof name, fileName);
    } else {
        char module[PATH_SIZE] = "";
        GetModuleFileNameA(nullptr, module, sizeof module);
        ReplaceExtension(name, module, ".hlp");
    }
    size_t nameSize = strlen(name) + 1;
    helpFile = static_cast<char*>(malloc(nameSize));
    if (!helpFile)
        return 0;
    memcpy(helpFile, name, nameSize);

    size_t pairs = 1; // the terminating pair
    while (ids[2 * (pairs - 1)] != 0)
        ++pairs;
    size_t tableSize = pairs * 2 * sizeof(DWORD);
    helpIds = static_cast<DWORD*>(malloc(tableSize));
    if (!helpIds)
        return 0;
    memcpy(helpIds, ids, tableSize);
    return 1;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
    CDLG* object = nullptr;
    if (msg == WM_INITDIALOG) {
        object = reinterpret_cast<CDLG*>(lParam);
        if (object) {
            object->hwnd = dialog;
            SetWindowLongA(dialog, DWL_USER, reinterpret_cast<LONG>(object));
        }
    } else {
        object = reinterpret_cast<CDLG*>(GetWindowLongA(dialog, DWL_USER));
    }
    INT_PTR result = object ? object->Dispatch(msg, wParam, lParam) : 0;
    if (msg == WM_DESTROY) {
        SetWindowLongA(dialog, DWL_USER, 0);
        if (object)
            object->hwnd = nullptr;
    }
    return result;
}
