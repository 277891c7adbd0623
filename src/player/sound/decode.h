// From tag data to samples: an event sound's DefineSound data to a whole
// SoundClip, and a timeline's stream blocks to frames as they come.
//
// Uncompressed data of either byte order is read little-endian (what every
// authoring machine wrote); 8-bit samples are unsigned. Nellymoser and Speex
// become silence of the length the tag gives. No decoded sound exceeds
// maxFrames, whatever its header claims; a claim beyond the data is cut to
// the data.
#pragma once

#include "player/sound/mp3.h"
#include "player/sound/sounddefs.h"
#include "player/sound/soundtags.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snd {

// False for a format we do not know (the sound is then not defined).
bool SndDecodeSound(const SoundDefinition& def, size_t maxFrames, SoundClip* out);

// Appends the frames of uncompressed data (channels values each), at most maxFrames.
size_t SndDecodePcm(const uint8_t* data, size_t size, bool is16Bit, int channels, size_t maxFrames,
                    std::vector<int16_t>* out);

// One timeline's stream: Start with the head, then Block per SoundStreamBlock.
// Seek says that the timeline jumped: the next block begins playback afresh,
// skipping the samples its MP3 data asks to skip. Close releases the codec
// and is safe twice.
class StreamDecoder {
public:
    void Start(const StreamFormat& format);
    // Appends the block's frames (Channels() values each) to out; returns them.
    size_t Block(const uint8_t* body, size_t size, size_t maxFrames, std::vector<int16_t>* out);
    void Seek();
    void Close() { mp3_.Close(); }

    // Known from the head, or for MP3 from its first frame.
    int Rate() const;
    int Channels() const;
    const StreamFormat& Format() const { return format_; }

private:
    StreamFormat format_;
    Mp3Decoder mp3_;
    bool started_ = false;
    bool fresh_ = true; // no block since Start or Seek
    bool seeked_ = false;
    size_t skip_ = 0; // MP3 frames still to drop
};

} // namespace snd
