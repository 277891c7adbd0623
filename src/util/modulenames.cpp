#include "util/modulenames.h"

#include "util/paths.h"

#include <windows.h>
#include <cstring>

char ModulePath[260];
char ModuleTitle[260];

void SetModuleNames(const char* rawPath) {
    char longName[PATH_SIZE];
    char directory[PATH_SIZE];
    GetLongFileName(rawPath, longName);
    SplitPath(rawPath, directory, nullptr);
    // Only the last component changes; the directories stay as given.
    JoinPath(ModulePath, directory, longName);
    CopyText(ModuleTitle, sizeof ModuleTitle, longName);
    if (char* dot = strrchr(ModuleTitle, '.'))
        *dot = 0;
}

void InitModuleNames() {
    char raw[PATH_SIZE] = "";
    GetModuleFileNameA(nullptr, raw, sizeof raw);
    SetModuleNames(raw);
}
