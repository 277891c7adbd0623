#include "moviesaver/settingsfile.h"

#include "moviesaver/mvpak.h"
#include "util/paths.h"

#include <cctype>
#include <cstdio>
#include <cstring>

const KeyName KeyNameTable[] = {
    {"Shift", 0x10},     {"Ctrl", 0x11}, {"Alt", 0x12},  {"Enter", 0x0D},     {"Return", 0x0D}, {"Escape", 0x1B},
    {"Esc", 0x1B},       {"Space", 0x20}, {"Backspace", 0x08}, {"Tab", 0x09}, {"Caps Lock", 0x14}, {"F1", 0x70},
    {"F2", 0x71},        {"F3", 0x72},   {"F4", 0x73},   {"F5", 0x74},        {"F6", 0x75},     {"F7", 0x76},
    {"F8", 0x77},        {"F9", 0x78},   {"F10", 0x79},  {"F11", 0x7A},       {"F12", 0x7B},
};
const int KeyNameCount = sizeof KeyNameTable / sizeof KeyNameTable[0];

void ReadFlagSetting(DWORD* bits, DWORD bit, const char* section, const char* key, const char* iniPath) {
    if (GetPrivateProfileIntA(section, key, 0, iniPath) != 0)
        *bits |= bit;
    else
        *bits &= ~bit;
}

DWORD ReadKeySetting(const char* section, const char* key, const char* iniPath) {
    char value[32] = "";
    GetPrivateProfileStringA(section, key, "", value, sizeof value, iniPath);
    if (!value[0])
        return 0;
    for (int i = 0; i < KeyNameCount; ++i) {
        if (_stricmp(value, KeyNameTable[i].name) == 0)
            return KeyNameTable[i].code;
    }
    unsigned char first = static_cast<unsigned char>(value[0]);
    return first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first;
}

void SetDefaultAppName(mvTrailer* record, const char* namePath) {
    char name[PATH_SIZE];
    SplitPath(namePath, nullptr, name);
    if (char* dot = strrchr(name, '.'))
        *dot = 0;
    CopyText(record->appName, sizeof record->appName, name); // a longer name is cut
}

void ReadSettingsSections(mvTrailer* record, const char* iniPath, const char* namePath) {
    ReadFlagSetting(&record->flags, FLAG_EXTERNAL, "Settings", "External", iniPath);
    ReadFlagSetting(&record->flags, FLAG_FORCE_MAXIMIZE, "Settings", "ForceMaximize", iniPath);
    ReadFlagSetting(&record->flags, FLAG_RUN_PREVIEW, "Settings", "RunPreview", iniPath);
    ReadFlagSetting(&record->flags, FLAG_TWO_WAY_SOUND, "Settings", "TwoWaySound", iniPath);
    ReadFlagSetting(&record->flags, FLAG_THREE_WAY_SOUND, "Settings", "ThreeWaySound", iniPath);

    ReadFlagSetting(&record->adFlags, AD_DISPLAY_ADS, "Timesink", "DisplayAds", iniPath);
    ReadFlagSetting(&record->adFlags, AD_REQUIRED, "Timesink", "Required", iniPath);
    ReadFlagSetting(&record->adFlags, AD_ADS_FIRST, "Timesink", "AdsFirst", iniPath);
    GetPrivateProfileStringA("Timesink", "AppName", "", record->appName, sizeof record->appName, iniPath);
    if (!record->appName[0])
        SetDefaultAppName(record, namePath);

    for (int i = 0; i < static_cast<int>(TRAILER_KEYS); ++i) {
        char key[16];
        snprintf(key, sizeof key, "Key%d", i + 1);
        record->keys[i] = ReadKeySetting("Interactive", key, iniPath);
    }
    ReadFlagSetting(&record->interactiveFlags, INTERACTIVE_ON_MOUSE, "Interactive", "OnMouse", iniPath);
    ReadFlagSetting(&record->interactiveFlags, INTERACTIVE_ON_KEY, "Interactive", "OnKey", iniPath);

    GetPrivateProfileStringA("Execute", "Command", "", record->command, sizeof record->command, iniPath);
    record->executeKey = ReadKeySetting("Execute", "Key", iniPath);
}

void mvPak::ReadSettingsFile(const char* modulePath) {
    char ini[PATH_SIZE];
    if (ReplaceExtension(ini, modulePath, ".ini"))
        ReadSettingsSections(&trailer, ini, modulePath);
}

void mvPak::ReadSoundSetting() {
    char ini[PATH_SIZE];
    ModuleFileWithExtension(ini, ".ini");
    sound = static_cast<int>(GetPrivateProfileIntA("Screensaver", "Sound", sound, ini));
}

void mvPak::WriteSoundSetting() {
    char ini[PATH_SIZE];
    char value[16];
    ModuleFileWithExtension(ini, ".ini");
    snprintf(value, sizeof value, "%d", sound);
    WritePrivateProfileStringA("Screensaver", "Sound", value, ini);
}
