// Finding the package at the end of the module and copying out its player.
#include "moviesaver/mvpak.h"

#include "util/modulenames.h"
#include "util/paths.h"

#include <cstring>

int mvPak::Load(BOOL extract) {
    cFile module;
    if (module.Open(ModulePath, GENERIC_READ, FILE_SHARE_READ) != CERR_NONE)
        return 0;
    // One seek from the end finds the trailer; the payload is never scanned.
    DWORD size = module.Size();
    DWORD got = 0;
    if (module.Seek(-static_cast<LONG>(TRAILER_SIZE), FILE_END) >= 0)
        got = module.Read(&trailer, TRAILER_SIZE);
    PackageState state = CheckTrailer(trailer, got, size);
    int result = 1;
    if (state != PackageState::Valid)
        trailer = mvTrailer{};
    damaged = state == PackageState::Damaged;
    if (damaged)
        result = 0; // never copy by offsets that contradict the file
    else if (state == PackageState::Valid && extract)
        result = Extract(module) ? 1 : 0;
    module.Close();
    ReadSoundSetting();
    if (result == 0 || state != PackageState::None)
        return result;

    // No package: a player beside the module, unless the module is itself one.
    const char* dot = strrchr(ModulePath, '.');
    if (dot && _stricmp(dot, ".exe") == 0)
        return 0;
    ModuleFileWithExtension(playerPath, ".exe");
    if (!FileExists(playerPath))
        return 0;
    ReadSettingsFile(ModulePath);
    return 1;
}

bool mvPak::Extract(cFile& moduleFile) {
    char name[PATH_SIZE];
    char temp[PATH_SIZE] = "";
    SplitPath(ModulePath, nullptr, name);
    GetTempPathA(sizeof temp, temp);
    bool whole = JoinPath(playerPath, temp, name);
    if (strchr(playerPath, '.'))
        whole = ReplaceExtension(playerPath, playerPath, ".dat") && whole;
    // A cut name would write the player somewhere else.
    if (!whole)
        return false;

    cFile out;
    if (out.Create(playerPath, FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ) != CERR_NONE)
        return false;
    extracted = 1;
    int copied = CERR_SYSTEM;
    if (moduleFile.Seek(static_cast<LONG>(trailer.playerOffset), FILE_BEGIN) >= 0)
        copied = moduleFile.CopyTo(out, trailer.playerEnd - trailer.playerOffset);
    out.Close();
    // Half a player must not be started.
    if (copied != CERR_NONE)
        DeleteFileA(playerPath);
    return copied == CERR_NONE;
}
