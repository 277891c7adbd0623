// Plain file functions over a FileBox: a heap box holding one file handle.
// They report through their results (a null box, -1) and keep no error state.
// A box made by OpenFileBox or CreateFileBox is released by CloseFileBox only.
#pragma once

#include <windows.h>

struct FileBox {
    HANDLE handle;
};

// Opens an existing file; null when the box or the file cannot be had.
FileBox* OpenFileBox(const char* name, DWORD access, DWORD share);
// Creates or replaces a file for reading and writing.
FileBox* CreateFileBox(const char* name, DWORD attributes, DWORD share);
// A temporary file that the platform deletes when the box is closed.
FileBox* CreateTempFileBox();
void CloseFileBox(FileBox* box);
// Bytes moved, or -1 when the system call fails.
int ReadFileBox(FileBox* box, void* buffer, int count);
int WriteFileBox(FileBox* box, const void* buffer, int count);
// The new position as SetFilePointer reports it.
DWORD SeekFileBox(FileBox* box, LONG distance, DWORD origin);
DWORD FileBoxAttributes(FileBox* box);
bool FileBoxTimes(FileBox* box, FILETIME* created, FILETIME* accessed, FILETIME* written);
// Nonzero on success.
BOOL DeleteFileByName(const char* name);
BOOL MoveFileByName(const char* from, const char* to);
