// The SWF variant of IMA ADPCM: 2- to 5-bit codes, mono or stereo.
//
// An ADPCMSOUNDDATA record is one bit stream (most significant bit first): a
// 2-bit code size, then packets of, per channel, a 16-bit first sample and a
// 6-bit step index, followed by up to 4095 codes per channel (interleaved
// left, right). The last packet may be short; the decoder takes the codes that
// are there in full and drops a trailing frame that lacks a channel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snd {

// The step size table and the index changes per code size (2 to 5 bits).
extern const int16_t kAdpcmSteps[89];
const int8_t* AdpcmIndexTable(int bits);

// Decodes one record, appending at most maxFrames frames (channels values
// each) to out. Returns the frames appended. The record ends with up to 7
// bits of padding, which a decoder cannot tell from codes: *padding (when
// given) receives how many of the last frames lie wholly in the last byte's
// padding room, so a caller that knows the true count can trim them.
size_t SndAdpcmDecode(const uint8_t* data, size_t size, int channels, size_t maxFrames, std::vector<int16_t>* out,
                      size_t* padding = nullptr);

} // namespace snd
