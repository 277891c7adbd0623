// The settings dialog of a launched module, seen from outside: starting it,
// reading what GDI reports the screen shows, and screenshots for people to
// look at (build/screenshots/settings-<name>.bmp).
#pragma once

#include "testsupport.h"

#include <windows.h>

#include <string>

namespace e2e {

// Starts module with the command line and waits until its dialog is shown,
// which happens once its initialisation has run; null when it is not.
HWND StartDialog(testsupport::Process& saver, const std::string& module, const std::string& line);

// Sound of the settings file, or "none" when the key (or the file) is missing.
std::string StoredSound(const std::string& ini);

bool IsUniform(const testsupport::ScreenShot& shot, const RECT& area);

// The pixels of area (screen coordinates), as a shot of that area alone.
testsupport::ScreenShot ReadScreenArea(const RECT& area);

// The rectangle of a window, or of its client area, in screen coordinates.
RECT ScreenRect(HWND window);
RECT ClientScreenRect(HWND window);

// Waits until the dialog has drawn its OK and Cancel buttons, then saves
// the dialog's area.
void SaveScreenshot(HWND dialog, const std::string& name);

} // namespace e2e
