// The sound tags' records, read from a tag body (the bytes after its
// RECORDHEADER): DefineSound, StartSound with its SOUNDINFO, and
// SoundStreamHead / SoundStreamHead2.
//
// Every parser returns false when the fixed part of its record is cut off;
// the caller then ignores the tag. Optional SOUNDINFO fields that run past the
// body are treated as absent, and an envelope keeps its complete points only.
// Nothing here allocates beyond the 255 envelope points a record can hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snd {

struct SoundDefinition {
    uint16_t id = 0;
    int format = 0;
    int rate = 0; // Hz
    bool is16Bit = false;
    bool stereo = false;
    uint32_t sampleCount = 0; // as claimed; frames, not values
    const uint8_t* data = nullptr;
    size_t size = 0;
};

struct EnvelopePoint {
    uint32_t pos44 = 0; // in 44.1 kHz samples from the start of the sound
    uint16_t left = 32768, right = 32768;
};

// How one event sound plays (a SOUNDINFO record).
struct SoundStyle {
    bool stop = false;
    bool noMultiple = false;
    bool hasInPoint = false, hasOutPoint = false;
    uint32_t inPoint = 0, outPoint = 0;  // in the sound's own samples
    int loops = 1;                       // times played in all, at least 1
    std::vector<EnvelopePoint> envelope; // sorted by position
};

struct StreamFormat {
    int format = 0;
    int rate = 0; // Hz
    bool is16Bit = true;
    bool stereo = false;
    uint16_t blockSamples = 0; // average frames a block carries
    int16_t latencySeek = 0;   // MP3 only
};

bool SndParseDefineSound(const uint8_t* body, size_t size, SoundDefinition* out);
// A bare SOUNDINFO record; *used receives the bytes it took.
bool SndParseSoundInfo(const uint8_t* data, size_t size, SoundStyle* out, size_t* used = nullptr);
bool SndParseStartSound(const uint8_t* body, size_t size, uint16_t* id, SoundStyle* style, size_t* used = nullptr);
bool SndParseStreamHead(const uint8_t* body, size_t size, StreamFormat* out);

} // namespace snd
