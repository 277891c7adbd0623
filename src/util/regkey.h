// Thin functions over the platform registry. A RegKey holds one open key
// handle, null while closed; OpenRegKey fills it and CloseRegKey empties it
// (safe on a closed holder). The reads never fail loudly: a value that cannot
// be read gives the caller's default. Nothing keeps an error state.
#pragma once

#include <windows.h>

// Read, set value and create subkey: the access asked for every key opened.
enum : DWORD { REG_ACCESS = 0x2001F };

struct RegKey {
    HKEY handle = nullptr;
};

// Opens root\subkeyPath into key, with REG_ACCESS unless a reader asks for
// less; the handle, or null.
HKEY OpenRegKey(RegKey* key, HKEY root, const char* subkeyPath, REGSAM access = REG_ACCESS);

// Closes the key when open; the holder becomes null and is returned.
HKEY CloseRegKey(RegKey* key);

// The value's first 4 bytes as a 32-bit number, whatever its type (shorter
// data is padded with zero bytes); the default when it is missing or longer.
DWORD ReadRegDword(const RegKey& key, const char* valueName, DWORD defaultValue);

// Reads the value into buffer, whatever its type, and returns the byte count
// the platform reports. Data that does not fit with a terminator fails: then
// the default is copied into the buffer (cut to fit) and the result is 0.
// The buffer always ends up terminated.
DWORD ReadRegString(const RegKey& key, const char* valueName, const char* defaultValue, char* buffer, DWORD size);
