// The 492-byte trailer that closes a packaged saver. Layout of the file:
//
//   0             .. pictureOffset   the module executable
//   pictureOffset .. playerOffset    the preview picture, a BMP file (none when pictureOffset is 0)
//   playerOffset  .. playerEnd       the player executable
//   playerEnd     .. end of file     this trailer; playerEnd is its own offset
//
// Integers are 32-bit little-endian; offsets count from the start of the file.
// From `flags` on the record is the saver's settings block, the same fields the
// settings file fills for a module without a package.
#pragma once

#include <windows.h>
#include <cstddef>

enum : DWORD {
    TRAILER_SIZE = 492,
    TRAILER_KEYS = 20,

    // flags
    FLAG_EXTERNAL = 0x01,
    FLAG_FORCE_MAXIMIZE = 0x02,
    FLAG_RUN_PREVIEW = 0x04,
    FLAG_TWO_WAY_SOUND = 0x08,
    FLAG_THREE_WAY_SOUND = 0x10,

    // adFlags
    AD_DISPLAY_ADS = 0x01,
    AD_REQUIRED = 0x02,
    AD_ADS_FIRST = 0x04,

    // interactiveFlags
    INTERACTIVE_ON_MOUSE = 0x01,
    INTERACTIVE_ON_KEY = 0x02,
};

#pragma pack(push, 1)
struct mvTrailer {
    char magic[4]; // "MVP2"
    DWORD flags;
    DWORD pictureOffset; // 0: no picture
    DWORD playerOffset;  // 0: no package
    DWORD playerEnd;
    DWORD adFlags;
    char appName[80];
    DWORD interactiveFlags;
    DWORD keys[TRAILER_KEYS]; // hand-over keys; 0 marks an empty entry
    DWORD executeKey;
    char command[300];
};
#pragma pack(pop)

static_assert(sizeof(mvTrailer) == TRAILER_SIZE, "trailer is 492 bytes");
static_assert(offsetof(mvTrailer, magic) == 0, "magic");
static_assert(offsetof(mvTrailer, flags) == 4, "flags");
static_assert(offsetof(mvTrailer, pictureOffset) == 8, "pictureOffset");
static_assert(offsetof(mvTrailer, playerOffset) == 12, "playerOffset");
static_assert(offsetof(mvTrailer, playerEnd) == 16, "playerEnd");
static_assert(offsetof(mvTrailer, adFlags) == 20, "adFlags");
static_assert(offsetof(mvTrailer, appName) == 24, "appName");
static_assert(offsetof(mvTrailer, interactiveFlags) == 104, "interactiveFlags");
static_assert(offsetof(mvTrailer, keys) == 108, "keys");
static_assert(offsetof(mvTrailer, executeKey) == 188, "executeKey");
static_assert(offsetof(mvTrailer, command) == 192, "command");

extern const char TRAILER_MAGIC[4];

enum class PackageState {
    None,    // too short, wrong magic or playerOffset 0
    Valid,   // offsets agree with each other and with the file
    Damaged, // the right magic, but offsets that contradict the file
};

// Classifies a trailer read from the last 492 bytes of a file of fileSize
// bytes (bytesRead of them read). A damaged trailer must never be used to copy.
PackageState CheckTrailer(const mvTrailer& trailer, DWORD bytesRead, DWORD fileSize);
