// The fuzz entry point of the sound library. The input is a list of records,
// each a kind byte, a 16-bit little-endian length and that many bytes of a
// tag body; the kinds are SND_FUZZ_ values. Records go to a SoundPlayer in
// manual mode, with a little audio mixed after each, and a last stretch of
// audio at the end. Returns the records taken; any crash, hang or runaway
// allocation on the way is the fault being looked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snd {

enum : uint8_t {
    SND_FUZZ_DEFINE = 0,
    SND_FUZZ_START = 1,
    SND_FUZZ_HEAD = 2,
    SND_FUZZ_BLOCK = 3,
    SND_FUZZ_STOP_STREAM = 4,
    SND_FUZZ_SCRIPT = 5, // body: id (16 bits), loops (16 bits), offset in ms (16 bits)
    SND_FUZZ_KINDS = 6,
};

// Appends one record to a fuzz input.
void SndFuzzRecord(std::vector<uint8_t>* input, uint8_t kind, const std::vector<uint8_t>& body);
int SndFuzzOne(const uint8_t* data, size_t size);

} // namespace snd
