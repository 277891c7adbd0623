// Mixer: event voices and timeline streams mixed into 16-bit stereo at
// SND_OUTPUT_RATE, resampled by linear interpolation, scaled by the master
// volume and clipped.
//
// Voices play a shared SoundClip from its in-point to its out-point, as many
// times as the loop count says, under an envelope whose time runs from the
// start of the sound (in-point included) across all loops. Streams play the
// frames appended to them; a stream that runs dry waits silently for more.
// Each stream counts the frames heard (dropped ones included) and records,
// at every Render, which output frame they correspond to, so a caller that
// knows which output frame is being heard gets the stream's position then.
//
// Not thread-safe: the owner serialises calls (SoundPlayer holds a lock).
#pragma once

#include "player/sound/sounddefs.h"
#include "player/sound/soundtags.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace snd {

class Mixer {
public:
    // Starts a voice; returns its handle (> 0), or 0 when the clip plays
    // nothing or SND_MAX_VOICES already play. startFrame moves the loop start
    // past the in-point (a script's offset).
    int Play(uint16_t soundId, std::shared_ptr<const SoundClip> clip, const SoundStyle& style, size_t startFrame = 0);
    void StopSound(uint16_t soundId);
    void StopVoice(int handle);
    void StopVoices();
    bool SoundPlaying(uint16_t soundId) const;
    bool VoicePlaying(int handle) const;
    int VoiceCount() const { return static_cast<int>(voices_.size()); }

    // 0 to 100, on the whole mix.
    void SetVolume(int percent);
    int Volume() const { return volume_; }

    // Streams by the caller's number. StreamOpen starts (or restarts) one;
    // false when SND_MAX_STREAMS are open. StreamAppend takes frames at the
    // stream's rate; a change of rate or channels drops what was queued.
    bool StreamOpen(int stream);
    void StreamAppend(int stream, const int16_t* samples, size_t frames, int rate, int channels);
    // Drops the queued frames (counted as heard).
    void StreamDrop(int stream);
    void StreamClose(int stream);
    bool StreamKnown(int stream) const { return streams_.count(stream) != 0; }
    // Frames heard at output frame `played` (at most what was mixed), and frames appended, in seconds.
    double StreamHeardSeconds(int stream, uint64_t played) const;
    double StreamQueuedSeconds(int stream) const;

    // Mixes the next frames into out (2 values a frame); null out only advances.
    void Render(int16_t* out, size_t frames);
    uint64_t Mixed() const { return mixed_; }

private:
    struct Voice {
        int handle = 0;
        uint16_t soundId = 0;
        std::shared_ptr<const SoundClip> clip;
        uint64_t pos = 0;  // 32.32 fixed point, frames of the clip
        uint64_t step = 0; // clip frames per output frame, 32.32
        size_t begin = 0, end = 0;
        int loopsLeft = 0;
        std::vector<EnvelopePoint> envelope;
        uint64_t envTime = 0; // in 44.1 kHz samples (= output frames)
        size_t envSegment = 0;
    };
    struct Checkpoint {
        uint64_t mixed;    // output frame
        uint64_t consumed; // stream frames heard by then
    };
    struct Stream {
        int rate = 0, channels = 1;
        std::vector<int16_t> queue;
        size_t read = 0;   // frames of queue already heard
        uint32_t frac = 0; // position between queue[read] and queue[read + 1]
        uint64_t step = 0;
        uint64_t consumedBase = 0; // frames heard before queue[0]
        uint64_t appended = 0;
        std::deque<Checkpoint> checkpoints;
    };

    // False once the voice has played out.
    bool MixVoice(Voice* v, int32_t* acc, size_t frames);
    void MixStream(Stream* s, int32_t* acc, size_t frames);
    static void Gains(Voice* v, int* left, int* right);
    static void Compact(Stream* s);

    std::vector<Voice> voices_;
    std::map<int, Stream> streams_;
    std::vector<int32_t> acc_;
    int volume_ = 100;
    int nextHandle_ = 1;
    uint64_t mixed_ = 0;
};

} // namespace snd
