// Builds small SWF movies in memory for the tests: frames of DoAction
// blocks on the root timeline, and sprites placed by name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace swftest {

struct TestSprite {
    uint16_t id = 0;
    std::vector<std::vector<uint8_t>> frames; // one DoAction per frame (empty: none)
    std::string exportName;
};

struct TestPlacement {
    int frame = 1; // root frame that places it
    uint16_t character = 0;
    uint16_t depth = 1;
    std::string name;
};

struct TestMovie {
    int version = 8;
    std::vector<std::vector<uint8_t>> frames; // root DoAction per frame (empty: none)
    std::vector<TestSprite> sprites;
    std::vector<TestPlacement> placements;
};

// An uncompressed SWF file of the movie.
std::string BuildSwf(const TestMovie& movie);

// Plays the movie for frames frames on the FakePlayer; the trace output.
std::string RunMovie(const TestMovie& movie, int frames);
// One frame of code in a movie of that version.
std::string RunCode(const std::vector<uint8_t>& code, int version = 8);

} // namespace swftest
