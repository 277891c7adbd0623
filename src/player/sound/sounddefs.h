// What the sound library's parts share: the SWF audio coding formats, the
// four sample rates, the limits that bound any sound however damaged, and
// SoundClip, the decoded form of one sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snd {

// SoundFormat / StreamSoundCompression values.
enum : int {
    SND_FMT_PCM_NATIVE = 0, // uncompressed, byte order of the machine that made it (little-endian in practice)
    SND_FMT_ADPCM = 1,
    SND_FMT_MP3 = 2,
    SND_FMT_PCM_LE = 3,
    SND_FMT_NELLY16K = 4,
    SND_FMT_NELLY8K = 5,
    SND_FMT_NELLY = 6,
    SND_FMT_SPEEX = 11,
};

// The mix is always 16-bit stereo at this rate.
constexpr int SND_OUTPUT_RATE = 44100;

// Bounds that hold whatever a tag claims: one decoded sound, all decoded
// sounds together, voices and streams at once, audio queued for one stream.
constexpr size_t SND_MAX_FRAMES = size_t(1) << 24;        // 6.3 minutes at 44.1 kHz
constexpr size_t SND_MAX_TOTAL_BYTES = size_t(256) << 20; // decoded event sounds of one player
constexpr int SND_MAX_VOICES = 32;
constexpr int SND_MAX_STREAMS = 64;
constexpr int SND_MAX_QUEUED_SECONDS = 20;

// The SoundRate field: 0 = 5.5 kHz (5512 Hz), 1 = 11 kHz, 2 = 22 kHz, 3 = 44 kHz.
int SndRateFromCode(int code);

// A decoded sound: frames of 1 or 2 interleaved 16-bit channels. An empty
// samples vector with frames > 0 is silence of that length (a format we do
// not decode, or a codec that is missing), so timing survives without memory.
struct SoundClip {
    int rate = SND_OUTPUT_RATE;
    int channels = 1;
    size_t frames = 0;
    std::vector<int16_t> samples; // frames * channels values, or empty for silence

    bool Silent() const { return samples.empty(); }
    size_t Bytes() const { return samples.size() * sizeof(int16_t); }
};

} // namespace snd
