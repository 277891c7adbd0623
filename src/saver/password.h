// The platform's screen saver password services: whether the desktop asks for
// a password (read once when the saver window is made), the check before a
// full-screen run ends (CSAVER::VerifyPassword), and the change dialog of
// MODE_SET_PASSWORD.
//
// Both services live in platform libraries that are loaded for each use and
// unloaded right after. They are loaded from the system directory by full
// path only: a library of the same name beside the module or in the current
// directory would otherwise be loaded and run. Where a library or its entry
// point is missing, the check lets the run end and the change does nothing.
#pragma once

#include "framework/cmdline.h"

#include <windows.h>

// 1 when HKCU "Control Panel\Desktop" asks for a password: a nonzero
// "ScreenSaveUsePassword", or a "ScreenSaverIsSecure" text other than "0".
BOOL ReadPasswordSetting();

// The whole of MODE_SET_PASSWORD: PwdChangePasswordA("SCRSAVE", owner, 0, 0),
// owned by the window the command line names, else the foreground window.
void ChangePassword(const SaverArgs& args);
