// CDLG: the window object for dialog boxes made from templates. One shared
// dialog procedure, DialogProc, finds the object attached to a dialog and
// calls its Dispatch, as WindowProc does for plain windows. WM_INITDIALOG
// goes to OnInitDialog; every message a derived class does not handle
// answers 0, which leaves it to the dialog manager.
//
// An object is attached from WM_INITDIALOG until WM_DESTROY has been handled;
// messages before that (WM_SETFONT) find no object and answer 0. DoModal runs
// the platform's modal loop until a handler calls EndDialog.
//
// Context help: SetHelp copies a help file name and a table of (control id,
// help context id) pairs, ended by a pair whose control id is 0, onto the
// heap. The object owns both copies; SetHelp(nullptr, nullptr) and the
// destructor release them.
#pragma once

#include "framework/cwin.h"

class CDLG : public CWIN {
public:
    DWORD* helpIds = nullptr; // pairs, ending with control id 0
    char* helpFile = nullptr;

    CDLG() = default;
    ~CDLG() override;

    LRESULT OnContextMenu(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnHelp(WPARAM wParam, LPARAM lParam) override;
    // 0 for every message: the dialog manager does the default processing.
    LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // 1: the dialog manager sets the focus to the control wParam names.
    virtual LRESULT OnInitDialog(WPARAM wParam, LPARAM lParam);

    // The value given to EndDialog, or -1 when the dialog cannot be created.
    INT_PTR DoModal(HINSTANCE instance, const char* dialogTemplate, HWND owner);

    // Releases earlier copies; then, with both arguments, copies them (an
    // empty name means the module's own path with ".hlp"): 0 when memory runs
    // out, and the copy that failed stays none. Without one of them: 1.
    BOOL SetHelp(const char* fileName, const DWORD* ids);

private:
    bool HasHelp() const { return helpIds && helpFile; }
};

// The dialog procedure of every CDLG dialog; lParam of WM_INITDIALOG is the object.
INT_PTR CALLBACK DialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
