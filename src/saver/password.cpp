#include "saver/password.h"

#include "saver/csaver.h"
#include "util/paths.h"
#include "util/regkey.h"

#include <cstring>

namespace {

typedef BOOL(WINAPI* VerifyScreenSavePwdProc)(HWND owner);
typedef DWORD(WINAPI* PwdChangePasswordAProc)(LPCSTR key, HWND owner, DWORD reserved1, DWORD reserved2);

// The desktop's text value is read into this many bytes, terminator included.
const DWORD kIsSecureSize = 32;

// By full path from the system directory, never by bare name: the platform's
// search would find a planted copy beside the module or in the current
// directory first. Null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name) {
    char path[PATH_SIZE];
    UINT length = GetSystemDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path || !JoinPath(path, path, name))
        return nullptr;
    return LoadLibraryA(path);
}

// GetProcAddress's own type fits no entry point, hence the step through void*.
template <typename Proc> Proc FindEntryPoint(HMODULE library, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

} // namespace

BOOL ReadPasswordSetting() {
    // Read access only: a key the user may read but not write must not turn
    // the password off.
    RegKey key;
    if (!OpenRegKey(&key, HKEY_CURRENT_USER, "Control Panel\\Desktop", KEY_READ))
        return 0;
    char isSecure[kIsSecureSize];
    ReadRegString(key, "ScreenSaverIsSecure", "0", isSecure, sizeof isSecure);
    DWORD usePassword = ReadRegDword(key, "ScreenSaveUsePassword", 0);
    CloseRegKey(&key);
    // An empty text counts as secure: only "0" itself means no password.
    return usePassword != 0 || strcmp(isSecure, "0") != 0;
}

BOOL CSAVER::VerifyPassword() {
    if (!passwordRequired)
        return 1;
    // The dialog is already open further up the call chain.
    if (verifying)
        return 0;
    verifying = 1;
    BOOL result = 1;
    if (HMODULE library = LoadSystemLibrary("PASSWORD.CPL")) {
        auto verify = FindEntryPoint<VerifyScreenSavePwdProc>(library, "VerifyScreenSavePwd");
        if (verify)
            result = verify(hwnd);
        FreeLibrary(library);
    }
    verifying = 0;
    return result;
}

void ChangePassword(const SaverArgs& args) {
    HMODULE library = LoadSystemLibrary("MPR.DLL");
    if (!library)
        return;
    auto change = FindEntryPoint<PwdChangePasswordAProc>(library, "PwdChangePasswordA");
    if (change)
        change("SCRSAVE", args.window ? args.window : GetForegroundWindow(), 0, 0);
    FreeLibrary(library);
}
