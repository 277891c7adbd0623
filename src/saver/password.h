// The platform's screen saver password services.
#pragma once

#include "framework/cmdline.h"

#include <windows.h>

// Whether the desktop settings ask for a password when a full-screen run ends.
BOOL ReadPasswordSetting();

// The whole of MODE_SET_PASSWORD: the platform's change dialog.
void ChangePassword(const SaverArgs& args);
