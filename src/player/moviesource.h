// Where the player finds its movie and its settings.
//
// ReadMovieFile reads a named file whole. ReadProjectorMovie looks at the end
// of a program file for the projector tail (the 32-bit value
// PROJECTOR_MAGIC and the movie's length, little-endian) and returns the
// movie before it; a length that does not fit the file is a damaged
// projector. Both return MOVIE_FOUND or a MOVIE_ code whose text
// MovieSourceText gives. Files above MOVIE_MAX_FILE bytes are refused.
//
// ReadPlayerConfig reads the ".cfg" beside the player: name=value pairs
// joined by "&", values URL-decoded; false when there is no such file.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

constexpr uint32_t PROJECTOR_MAGIC = 0xFA123456u;
constexpr uint32_t MOVIE_MAX_FILE = 512u << 20;

enum : int {
    MOVIE_FOUND = 0,
    MOVIE_NONE = 1,          // a program without a movie appended
    MOVIE_CANNOT_OPEN = 2,
    MOVIE_READ_ERROR = 3,
    MOVIE_DAMAGED_PROJECTOR = 4,
    MOVIE_TOO_LARGE = 5,
};

int ReadMovieFile(const char* path, std::vector<uint8_t>* out);
int ReadProjectorMovie(const char* programPath, std::vector<uint8_t>* out);
const char* MovieSourceText(int code);

using ConfigPairs = std::vector<std::pair<std::string, std::string>>;
bool ReadPlayerConfig(const char* path, ConfigPairs* out);
// Splits a query string into its URL-decoded pairs.
void ParseQuery(const std::string& query, ConfigPairs* out);
std::string UrlDecode(const std::string& text);
