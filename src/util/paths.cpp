#include "util/paths.h"

#include "util/modulenames.h"

#include <cstring>

bool CopyText(char* out, size_t size, const char* text) {
    if (size == 0)
        return false;
    size_t n = text ? strlen(text) : 0;
    bool whole = n < size;
    if (!whole)
        n = size - 1;
    memcpy(out, text ? text : "", n);
    out[n] = 0;
    return whole;
}

bool AppendText(char* out, size_t size, const char* text) {
    size_t used = strnlen(out, size);
    if (used >= size)
        return false;
    return CopyText(out + used, size - used, text);
}

static bool Matches(const FileSearch* search) {
    const WIN32_FIND_DATAA& d = search->data;
    if (strcmp(d.cFileName, ".") == 0 || strcmp(d.cFileName, "..") == 0)
        return false;
    if (search->mask == 0 || (d.dwFileAttributes & search->mask) != 0)
        return true;
    return (search->mask & ATTR_ANY_FILE) != 0 && d.dwFileAttributes == 0;
}

bool FindFirstMatch(FileSearch* search, const char* pattern, DWORD mask) {
    search->mask = mask;
    search->handle = FindFirstFileA(pattern, &search->data);
    if (search->handle == INVALID_HANDLE_VALUE)
        return false;
    return Matches(search) || FindNextMatch(search);
}

bool FindNextMatch(FileSearch* search) {
    if (search->handle == INVALID_HANDLE_VALUE)
        return false;
    while (FindNextFileA(search->handle, &search->data)) {
        if (Matches(search))
            return true;
    }
    return false;
}

void EndSearch(FileSearch* search) {
    if (search->handle != INVALID_HANDLE_VALUE) {
        FindClose(search->handle);
        search->handle = INVALID_HANDLE_VALUE;
    }
}

bool FileExists(const char* path) {
    FileSearch search;
    bool found = FindFirstMatch(&search, path, ATTR_ANY_FILE);
    EndSearch(&search);
    return found;
}

bool IsPathSeparator(char c) { return c == '\\' || c == ':' || c == '/'; }

bool SplitPath(const char* path, char* directoryOut, char* nameOut) {
    const char* last = nullptr;
    for (const char* p = path; *p; ++p) {
        if (IsPathSeparator(*p))
            last = p;
    }
    bool whole = true;
    if (last) {
        if (directoryOut) {
            size_t n = static_cast<size_t>(last - path);
            if (n >= PATH_SIZE) {
                n = PATH_SIZE - 1;
                whole = false;
            }
            memcpy(directoryOut, path, n);
            directoryOut[n] = 0;
        }
        if (nameOut)
            whole = CopyText(nameOut, PATH_SIZE, last + 1) && whole;
    } else {
        if (directoryOut)
            directoryOut[0] = 0;
        if (nameOut)
            whole = CopyText(nameOut, PATH_SIZE, path);
    }
    return whole;
}

bool JoinPath(char* out, const char* directory, const char* name) {
    // The inputs may overlap out (JoinPath(p, p, name)), so build aside first.
    char result[PATH_SIZE];
    bool whole = CopyText(result, sizeof result, directory);
    if (name) {
        size_t n = strlen(result);
        if (n >= 2 && !IsPathSeparator(result[n - 1]))
            whole = AppendText(result, sizeof result, "\\") && whole;
        whole = AppendText(result, sizeof result, name) && whole;
    }
    memcpy(out, result, sizeof result);
    return whole;
}

bool GetLongFileName(const char* path, char* nameOut) {
    FileSearch search;
    bool found = FindFirstMatch(&search, path, ATTR_ANY_FILE);
    EndSearch(&search);
    if (found)
        return CopyText(nameOut, PATH_SIZE, search.data.cFileName);
    return SplitPath(path, nullptr, nameOut);
}

bool ReplaceExtension(char* out, const char* path, const char* extension) {
    char result[PATH_SIZE];
    bool whole = CopyText(result, sizeof result, path);
    if (char* dot = strrchr(result, '.'))
        *dot = 0;
    whole = AppendText(result, sizeof result, extension) && whole;
    memcpy(out, result, sizeof result);
    return whole;
}

char* ModuleFileWithExtension(char* out, const char* extension) {
    ReplaceExtension(out, ModulePath, extension);
    return out;
}
