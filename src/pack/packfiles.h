// What mvpack reads and writes: whole files in memory, the checks that tell
// a Windows program, a BMP file and an SWF movie, and the safe replacement of
// an output file.
#pragma once

#include "moviesaver/trailer.h"

#include <string>

struct Bytes {
    std::string data;
    bool Read(const std::string& path);
};

// An executable in the portable-executable format ("MZ", then "PE\0\0").
bool IsWindowsProgram(const std::string& data);
// Why the picture file at path is refused, or empty when the settings
// dialog's reader (DibReadFile) takes it: that reader alone decides. data,
// the file's bytes, serves to name the fault. For a picture that is taken,
// *readSize receives how many bytes the reader takes from the picture's
// start: more than the file holds when its pixels are cut short.
std::string CheckPicture(const std::string& path, const std::string& data, size_t* readSize);
// An SWF file, plain ("FWS") or compressed ("CWS").
bool IsMovie(const std::string& data);

// The trailer at the end of data, classified.
PackageState ReadTrailer(const std::string& data, mvTrailer* trailer);

// The player program with the movie appended and the projector's tail.
enum : DWORD { PROJECTOR_MAGIC = 0xFA123456 };
std::string MakeProjector(const std::string& player, const std::string& movie);
// The movie length named by a projector tail, or 0 when there is none that fits.
DWORD ProjectorMovieSize(const std::string& data);

std::string FullPath(const std::string& path);
// True when both paths name the same file (also through another spelling).
bool SameFile(const std::string& a, const std::string& b);

// Writes data to a temporary file beside target and renames it into place,
// so a failure leaves no half-written target. Empty on success, else why.
std::string ReplaceFile(const std::string& target, const std::string& data);
