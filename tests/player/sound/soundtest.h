// Builders of sound tag bodies, test signals, an ADPCM encoder written from
// the format's description, and the MP3 fixtures that lame made at build time.
#pragma once

#include "player/sound/soundtags.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace soundtest {

using Bytes = std::vector<uint8_t>;

Bytes Cat(Bytes a, const Bytes& b);

Bytes DefineSoundBody(uint16_t id, int format, int rateCode, bool is16Bit, bool stereo, uint32_t sampleCount,
                      const Bytes& data);

// A SOUNDINFO record; negative values leave the field out.
struct Info {
    bool stop = false;
    bool noMultiple = false;
    int64_t inPoint = -1, outPoint = -1;
    int loops = -1;
    bool hasEnvelope = false;
    std::vector<snd::EnvelopePoint> envelope;
};
Bytes SoundInfoBytes(const Info& info);
Bytes StartSoundBody(uint16_t id, const Info& info = Info());

Bytes StreamHeadBody(int format, int rateCode, bool is16Bit, bool stereo, uint16_t blockSamples,
                     int16_t latencySeek = 0);
// An MP3STREAMSOUNDDATA record: sample count, seek samples, frames.
Bytes Mp3StreamBlock(uint16_t sampleCount, int16_t seekSamples, const Bytes& frames);

Bytes Pcm16(const std::vector<int16_t>& samples);
Bytes Pcm8(const std::vector<uint8_t>& samples);
// frames of a sine (both channels: the second at freqRight when given).
std::vector<int16_t> Sine(int rate, double freq, double amplitude, size_t frames, int channels = 1,
                          double freqRight = 0);

// Encodes interleaved samples into an ADPCMSOUNDDATA record with the given
// code size (2 to 5 bits); reconstructed receives what a decoder must give.
Bytes AdpcmEncode(const std::vector<int16_t>& samples, int channels, int bits, std::vector<int16_t>* reconstructed);

// Whole MP3 fixtures from build/bin/soundfix, made from Sine() signals:
// "mono44" (440 Hz, MPEG 1), "stereo44" (440 Hz left, 660 Hz right),
// "mono22" (MPEG 2), "mono11" (MPEG 2.5); each half a second at amplitude 0.5.
Bytes Mp3Fixture(const std::string& name);
// The MP3 frames of a file, each whole.
std::vector<Bytes> Mp3Frames(const Bytes& file);

// Measures a channel of interleaved samples between frames [from, to).
double Rms(const std::vector<int16_t>& s, int channels, int channel, size_t from, size_t to);
// Frequency from the count of rising zero crossings.
double Frequency(const std::vector<int16_t>& s, int channels, int channel, size_t from, size_t to, int rate);

} // namespace soundtest
