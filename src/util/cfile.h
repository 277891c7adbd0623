// cError remembers the outcome of its last operation as a code; cFile is a
// file whose every operation records its outcome there. Nothing throws: a
// caller reads the result or GetError() after each call.
//
// A cFile has no destructor that closes it: whoever Opens or Creates calls
// Close on every path. Close on a closed file does nothing.
#pragma once

#include <windows.h>

enum : int {
    CERR_NONE = 0,
    CERR_EOF = 17,      // a read returned no bytes
    CERR_NOT_OPEN = 19, // a seek was asked of a closed file
    CERR_NO_MEMORY = 23,
    CERR_SYSTEM = 99, // a platform call failed; systemError holds its number
};

class cError {
public:
    int error = CERR_NONE;
    DWORD systemError = 0;

    virtual ~cError() = default;

    // Stores code, and GetLastError() with CERR_SYSTEM; returns GetError().
    virtual int SetError(int code);
    virtual int GetError();
    virtual DWORD GetSystemError();
    virtual bool IsSystemError();
    virtual int CopyError(cError& other);
    virtual bool GetErrorText(char* buffer, int size);
    virtual int ShowError(HWND window, const char* prefix, const char* suffix);
};

class cFile : public cError {
public:
    HANDLE handle = INVALID_HANDLE_VALUE;

    int Open(const char* name, DWORD access, DWORD share);
    int Create(const char* name, DWORD attributes, DWORD share);
    // A file named by GetTempFileNameA ("tmp" prefix) in the temporary folder.
    int CreateTemp(bool deleteOnClose, char* nameOut = nullptr);
    // Bytes read; CERR_EOF when none, CERR_SYSTEM and 0 on failure.
    DWORD Read(void* buffer, DWORD count);
    DWORD Write(const void* buffer, DWORD count);
    // The new position; -1 with CERR_NOT_OPEN on a closed file.
    LONG Seek(LONG distance, DWORD origin);
    LONG Position();
    int Truncate();
    DWORD Attributes();
    bool Times(FILETIME* created, FILETIME* accessed, FILETIME* written);
    DWORD Size();
    ULONGLONG Size64();
    // Closes when open; returns GetError(). A good close keeps the earlier code.
    int Close();
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    // Copies count bytes from this file's position to destination's in chunks
    // of at most 8192 bytes; a chunk is written only when it was read whole.
    // Returns this object's code: CERR_EOF for a short source, the
    // destination's code when a write fails.
    int CopyTo(cFile& destination, DWORD count);
};

// The platform's text for a code, on one line. False (and an empty buffer for
// code 0) when there is no real text.
bool GetErrorCodeText(int code, DWORD systemError, char* buffer, int size);

// Prefix, the code's text and suffix in a warning box titled "Error".
int ShowErrorCodeBox(int code, DWORD systemError, HWND window, const char* prefix, const char* suffix);

// The platform's wording for an error number, with its line end; the count of
// characters stored, 0 when the platform has no text.
DWORD SystemErrorText(DWORD number, char* buffer, DWORD size);
