// Builds package files in memory for the tests: the items laid out as the
// trailer says, with the trailer's offsets filled in.
#pragma once

#include "moviesaver/trailer.h"

#include <cstring>
#include <string>

namespace fixture {

inline mvTrailer Settings() {
    mvTrailer t = {};
    memcpy(t.magic, TRAILER_MAGIC, 4);
    return t;
}

inline std::string TrailerBytes(const mvTrailer& t) { return std::string(reinterpret_cast<const char*>(&t), sizeof t); }

inline std::string Package(const std::string& module, const std::string& picture, const std::string& player,
                           mvTrailer t = Settings()) {
    t.pictureOffset = picture.empty() ? 0 : static_cast<DWORD>(module.size());
    t.playerOffset = static_cast<DWORD>(module.size() + picture.size());
    t.playerEnd = static_cast<DWORD>(t.playerOffset + player.size());
    return module + picture + player + TrailerBytes(t);
}

inline std::string Bytes(size_t size, unsigned seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + seed * 17 + (i >> 8)) & 0xFF);
    return s;
}

} // namespace fixture
