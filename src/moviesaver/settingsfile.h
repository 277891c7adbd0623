// The settings file beside the module (its path with ".ini"), read and
// written through the platform's profile functions. For a module without a
// package it carries the settings block that a trailer would hold.
#pragma once

#include "moviesaver/trailer.h"

#include <windows.h>

struct KeyName {
    const char* name;
    DWORD code;
};

// Names of keys that are not a letter or digit, matched case-insensitively in order.
extern const KeyName KeyNameTable[];
extern const int KeyNameCount;

// Sets bit in *bits when the integer key is nonzero, clears it when 0 or not a number.
void ReadFlagSetting(DWORD* bits, DWORD bit, const char* section, const char* key, const char* iniPath);

// A virtual-key code from a key name: 0 for an empty value, the table's code
// for a known name, otherwise the first character (a to z made upper case).
DWORD ReadKeySetting(const char* section, const char* key, const char* iniPath);

// appName becomes the name part of namePath without its extension, cut to fit.
void SetDefaultAppName(mvTrailer* record, const char* namePath);

// Reads [Settings], [Timesink], [Interactive] and [Execute] of iniPath into
// the record. An empty AppName becomes the name part of namePath without its
// extension. The record's other bits are left as they are.
void ReadSettingsSections(mvTrailer* record, const char* iniPath, const char* namePath);
