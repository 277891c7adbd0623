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
    LONG playerExStyle = 0; // the player window's own extended style, given back on hand-over
    BOOL damaged = 0;     // the trailer's offsets contradict the file

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

    // Player process host. States: idle (no process), running (process and
    // window), running without window (a start that found no window; the
    // process is terminated by StopPlayer).
    //
    // Writes the query into the player's .cfg, starts the player, waits until
    // it is idle and adopts its first top-level window (AdoptPlayerWindow).
    // False when it could not be started or has no window; errorText then
    // says why.
    bool Launch(HWND saverWindow, const char* query, bool inPreview);
    // Places the found window: a disabled child of saverWindow in the
    // preview, a disabled click-through window over it full screen.
    void AdoptPlayerWindow(HWND saverWindow, bool inPreview);
    // Places it again where the player has undone that (a player may show or
    // restyle its window after the adoption); called on every tick.
    void KeepPlayerAdopted(HWND saverWindow, bool inPreview);
    // Waits up to timeout ms; true once when the player has ended by itself.
    bool PollPlayerEnded(DWORD timeout);
    // Ends the player, deletes an extracted player's files, back to idle.
    void StopPlayer();
    // Lets the adopted full-screen window take input again, in front, for the
    // user to go on with after the saver has gone.
    void ReleasePlayerWindow();
    void SetStartError(const char* message, const char* path, bool withSystemError);
    bool PlayerRunning() const { return process != nullptr; }
};
