#include "util/filebox.h"

#include <new>

static FileBox* BoxFor(HANDLE handle) {
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    FileBox* box = new (std::nothrow) FileBox{handle};
    if (!box)
        CloseHandle(handle);
    return box;
}

FileBox* OpenFileBox(const char* name, DWORD access, DWORD share) {
    return BoxFor(CreateFileA(name, access, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_RANDOM_ACCESS | FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileBox* CreateFileBox(const char* name, DWORD attributes, DWORD share) {
    return BoxFor(
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, CREATE_ALWAYS, attributes, nullptr));
}

FileBox* CreateTempFileBox() {
    char directory[MAX_PATH];
    char name[MAX_PATH];
    if (!GetTempPathA(sizeof directory, directory) || !GetTempFileNameA(directory, "tmp", 0, name))
        return nullptr;
    return CreateFileBox(name, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, 0);
}

void CloseFileBox(FileBox* box) {
    if (!box)
        return;
    if (box->handle != INVALID_HANDLE_VALUE)
        CloseHandle(box->handle);
    delete box;
}

int ReadFileBox(FileBox* box, void* buffer, int count) {
    DWORD done = 0;
    if (count < 0 || !ReadFile(box->handle, buffer, static_cast<DWORD>(count), &done, nullptr))
        return -1;
    return static_cast<int>(done);
}

int WriteFileBox(FileBox* box, const void* buffer, int count) {
    DWORD done = 0;
    if (count < 0 || !WriteFile(box->handle, buffer, static_cast<DWORD>(count), &done, nullptr))
        return -1;
    return static_cast<int>(done);
}

DWORD SeekFileBox(FileBox* box, LONG distance, DWORD origin) {
    return SetFilePointer(box->handle, distance, nullptr, origin);
}

DWORD FileBoxAttributes(FileBox* box) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(box->handle, &info) ? info.dwFileAttributes : INVALID_FILE_ATTRIBUTES;
}

bool FileBoxTimes(FileBox* box, FILETIME* created, FILETIME* accessed, FILETIME* written) {
    return GetFileTime(box->handle, created, accessed, written) != FALSE;
}

BOOL DeleteFileByName(const char* name) { return DeleteFileA(name); }

BOOL MoveFileByName(const char* from, const char* to) { return MoveFileA(from, to); }
