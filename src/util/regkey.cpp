#include "util/regkey.h"

#include "util/paths.h"

#include <cstring>

HKEY OpenRegKey(RegKey* key, HKEY root, const char* subkeyPath, REGSAM access) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, subkeyPath, 0, access, &opened) != ERROR_SUCCESS)
        opened = nullptr;
    key->handle = opened;
    return opened;
}

HKEY CloseRegKey(RegKey* key) {
    if (key->handle) {
        RegCloseKey(key->handle);
        key->handle = nullptr;
    }
    return key->handle;
}

DWORD ReadRegDword(const RegKey& key, const char* valueName, DWORD defaultValue) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!key.handle || RegQueryValueExA(key.handle, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                                        &size) != ERROR_SUCCESS)
        return defaultValue;
    return value;
}

DWORD ReadRegString(const RegKey& key, const char* valueName, const char* defaultValue, char* buffer, DWORD size) {
    if (size == 0)
        return 0;
    DWORD count = size;
    if (key.handle && RegQueryValueExA(key.handle, valueName, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                                       &count) == ERROR_SUCCESS) {
        // Binary data, or text stored without its terminator, may fill the
        // buffer to the last byte; such a value is as good as too long.
        if (count < size) {
            buffer[count] = 0;
            return count;
        }
        if (buffer[size - 1] == 0)
            return count;
    }
    CopyText(buffer, size, defaultValue);
    return 0;
}
