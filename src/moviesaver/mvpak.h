// mvPak: the package and settings record of the movie saver. It finds and
// checks the trailer at the end of the module file, keeps its settings,
// copies the player into the temporary folder, and runs the player process.
//
// One record per process user (the saver window, the settings dialog), each
// calling Load once. Construction zeroes everything; destruction releases
// nothing: StopPlayer ends the player and deletes its temporary files.
#pragma once

#include "moviesaver/trailer.h"
#include "util/cfile.h"

#include <windows.h>

enum : int {
    SOUND_ALWAYS = 0,
    SOUND_ONCE = 1,
    SOUND_NEVER = 2,
};

class mvPak {
public:
    mvTrailer trailer = {}; // all zero until a valid trailer is read
    char errorText[512] = "";
    int sound = SOUND_ALWAYS;
    char playerPath[260] = "";
    BOOL extracted = 0; // the temporary player file was created; never reset
    HANDLE process = nullptr;
    HANDLE thread = nullptr;
    DWORD processId = 0;
    DWORD threadId = 0;
    HWND playerWindow = nullptr;

    // Finds the package (extracting the player when asked and present), reads
    // the sound setting, or falls back to a player beside the module. 1 on
    // success, 0 on failure.
    int Load(BOOL extract);
    // Copies the player item from the open module file into the temporary folder.
    bool Extract(cFile& moduleFile);

    // Settings file beside the module.
    void ReadSettingsFile(const char* modulePath);
    void ReadSoundSetting();
    void WriteSoundSetting();

    // Player process host.
    bool Launch(HWND saverWindow, const char* query, bool inPreview);
    bool PollPlayerEnded(DWORD timeout);
    void StopPlayer();
    void SetStartError(const char* message, const char* path, bool withSystemError);
    bool PlayerRunning() const { return process != nullptr; }
};
