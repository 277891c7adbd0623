// Path strings and small file-system queries.
//
// Paths are 8-bit strings in the platform's code page held in buffers of
// PATH_SIZE bytes, terminator included. Separators are the backslash, the
// colon and the slash; the one inserted is the backslash.
//
// Every operation that writes a path stops at PATH_SIZE - 1 characters and
// reports the cut through its result, so an over-long path never runs past
// a buffer. A cut path names nothing useful; callers treat it as missing.
#pragma once

#include <windows.h>

enum : unsigned {
    PATH_SIZE = MAX_PATH,
    // Plain files: read-only, system, archive, normal, compressed.
    ATTR_ANY_FILE = 0x8A5,
    ATTR_DIRECTORY = FILE_ATTRIBUTE_DIRECTORY,
};

// One directory search in progress.
struct FileSearch {
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD mask = 0;
    WIN32_FIND_DATAA data = {};
};

// True when an entry matching the mask was found; it is in search->data.
bool FindFirstMatch(FileSearch* search, const char* pattern, DWORD mask);
// True when a further matching entry was found.
bool FindNextMatch(FileSearch* search);
// Closes the search when open; safe to call twice.
void EndSearch(FileSearch* search);

// True when a plain file (not a directory) matches path, which may hold wildcards.
bool FileExists(const char* path);

bool IsPathSeparator(char c);

// Splits at the last separator: directory before it (without the separator),
// name after it. Either output may be null; each holds PATH_SIZE bytes.
// Returns false when a part had to be cut.
bool SplitPath(const char* path, char* directoryOut, char* nameOut);

// out = directory, a backslash when directory has at least two characters and
// does not end in a separator, then name. Either input may be null.
// Returns false when the result had to be cut.
bool JoinPath(char* out, const char* directory, const char* name);

// The name of the file as the file system stores it, or the name part of path.
bool GetLongFileName(const char* path, char* nameOut);

// Replaces the text from the last "." of path by extension, or appends it when
// path has no ".". Returns false when the result had to be cut.
bool ReplaceExtension(char* out, const char* path, const char* extension);

// ModulePath with its extension replaced; returns out.
char* ModuleFileWithExtension(char* out, const char* extension);

// Copies at most size - 1 characters and always terminates. Returns false when
// the source was cut.
bool CopyText(char* out, size_t size, const char* text);
// Appends within size bytes; returns false when the text was cut.
bool AppendText(char* out, size_t size, const char* text);
