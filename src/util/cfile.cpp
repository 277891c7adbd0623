#include "util/cfile.h"

#include "util/paths.h"

#include <cstdio>
#include <cstdlib>

// Error texts of the module's own codes would be string resources from here on.
static const UINT ErrorStringBase = 0;

int cError::SetError(int code) {
    systemError = code == CERR_SYSTEM ? GetLastError() : 0;
    error = code;
    return GetError();
}

int cError::GetError() { return error; }

DWORD cError::GetSystemError() { return systemError; }

bool cError::IsSystemError() { return error == CERR_SYSTEM; }

int cError::CopyError(cError& other) {
    error = other.error;
    systemError = other.systemError;
    return GetError();
}

bool cError::GetErrorText(char* buffer, int size) { return GetErrorCodeText(error, systemError, buffer, size); }

int cError::ShowError(HWND window, const char* prefix, const char* suffix) {
    return ShowErrorCodeBox(error, systemError, window, prefix, suffix);
}

int cFile::Open(const char* name, DWORD access, DWORD share) {
    Close();
    handle = CreateFileA(name, access, share, nullptr, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS | FILE_ATTRIBUTE_NORMAL,
                         nullptr);
    return SetError(IsOpen() ? CERR_NONE : CERR_SYSTEM);
}

int cFile::Create(const char* name, DWORD attributes, DWORD share) {
    Close();
    handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, CREATE_ALWAYS, attributes, nullptr);
    return SetError(IsOpen() ? CERR_NONE : CERR_SYSTEM);
}

int cFile::CreateTemp(bool deleteOnClose, char* nameOut) {
    char directory[PATH_SIZE];
    char name[PATH_SIZE];
    if (!GetTempPathA(sizeof directory, directory) || !GetTempFileNameA(directory, "tmp", 0, name))
        return SetError(CERR_SYSTEM);
    DWORD flags = FILE_ATTRIBUTE_TEMPORARY | (deleteOnClose ? FILE_FLAG_DELETE_ON_CLOSE : 0);
    int result = Create(name, flags, 0);
    if (nameOut)
        CopyText(nameOut, PATH_SIZE, name);
    return result;
}

DWORD cFile::Read(void* buffer, DWORD count) {
    DWORD done = 0;
    if (!ReadFile(handle, buffer, count, &done, nullptr)) {
        SetError(CERR_SYSTEM);
        return 0;
    }
    SetError(done == 0 ? CERR_EOF : CERR_NONE);
    return done;
}

DWORD cFile::Write(const void* buffer, DWORD count) {
    DWORD done = 0;
    if (!WriteFile(handle, buffer, count, &done, nullptr)) {
        SetError(CERR_SYSTEM);
        return 0;
    }
    SetError(CERR_NONE);
    return done;
}

LONG cFile::Seek(LONG distance, DWORD origin) {
    if (!IsOpen()) {
        SetError(CERR_NOT_OPEN);
        return -1;
    }
    SetLastError(NO_ERROR);
    DWORD position = SetFilePointer(handle, distance, nullptr, origin);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) {
        SetError(CERR_SYSTEM);
        return -1;
    }
    SetError(CERR_NONE);
    return static_cast<LONG>(position);
}

LONG cFile::Position() { return Seek(0, FILE_CURRENT); }

int cFile::Truncate() { return SetError(SetEndOfFile(handle) ? CERR_NONE : CERR_SYSTEM); }

DWORD cFile::Attributes() {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) {
        SetError(CERR_SYSTEM);
        return INVALID_FILE_ATTRIBUTES;
    }
    SetError(CERR_NONE);
    return info.dwFileAttributes;
}

bool cFile::Times(FILETIME* created, FILETIME* accessed, FILETIME* written) {
    return SetError(GetFileTime(handle, created, accessed, written) ? CERR_NONE : CERR_SYSTEM) == CERR_NONE;
}

DWORD cFile::Size() { return static_cast<DWORD>(Size64()); }

ULONGLONG cFile::Size64() {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) {
        SetError(CERR_SYSTEM);
        return 0;
    }
    SetError(CERR_NONE);
    return static_cast<ULONGLONG>(size.QuadPart);
}

int cFile::Close() {
    if (IsOpen()) {
        if (!CloseHandle(handle))
            SetError(CERR_SYSTEM);
        handle = INVALID_HANDLE_VALUE;
    }
    return GetError();
}

int cFile::CopyTo(cFile& destination, DWORD count) {
    DWORD chunk = count < 8192 ? count : 8192;
    char* buffer = static_cast<char*>(malloc(chunk ? chunk : 1));
    if (!buffer)
        return SetError(CERR_NO_MEMORY);
    SetError(CERR_NONE);
    DWORD remaining = count;
    while (GetError() == CERR_NONE && remaining > 0) {
        DWORD part = remaining < chunk ? remaining : chunk;
        remaining -= part;
        DWORD got = Read(buffer, part);
        if (got == part) {
            if (destination.Write(buffer, part) != part)
                CopyError(destination);
        } else if (GetError() == CERR_NONE) {
            // A short read is the end of the source.
            SetError(CERR_EOF);
        }
    }
    free(buffer);
    return GetError();
}

bool GetErrorCodeText(int code, DWORD systemError, char* buffer, int size) {
    if (size <= 0)
        return false;
    buffer[0] = 0;
    if (code == CERR_NONE)
        return false;
    snprintf(buffer, static_cast<size_t>(size), "<unknown error: %d>", code);
    if (code == CERR_SYSTEM) {
        // The width mask keeps the system text on one line.
        DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK;
        return FormatMessageA(flags, nullptr, systemError, 0, buffer, static_cast<DWORD>(size), nullptr) > 0;
    }
    return LoadStringA(GetModuleHandleA(nullptr), ErrorStringBase + static_cast<UINT>(code), buffer, size) > 0;
}

int ShowErrorCodeBox(int code, DWORD systemError, HWND window, const char* prefix, const char* suffix) {
    char text[1024] = "";
    if (prefix) {
        AppendText(text, sizeof text, prefix);
        AppendText(text, sizeof text, " ");
    }
    size_t used = strlen(text);
    GetErrorCodeText(code, systemError, text + used, static_cast<int>(sizeof text - used));
    if (suffix) {
        AppendText(text, sizeof text, " ");
        AppendText(text, sizeof text, suffix);
    }
    return MessageBoxA(window, text, "Error", MB_ICONWARNING);
}

DWORD SystemErrorText(DWORD number, char* buffer, DWORD size) {
    // Without insertion arguments a message holding "%1" would read arguments
    // that were never given; it keeps its insertion marks as text instead.
    return FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, number, 0, buffer, size,
                          nullptr);
}
