// SoundPlayer: the sound of one playing movie. The player hands it the sound
// tags' bodies as they stand in the movie (the bytes after each tag's
// RECORDHEADER) and the requests of scripts; it decodes, mixes and plays them.
//
// Output. Open(SND_OPEN_DEVICE) plays through waveOut on a thread of its own
// (four buffers of 50 ms); without a device, or with SND_OPEN_SILENT, it runs
// silently on a clock (the performance counter, or the one SetClock gives),
// so streams advance in real time and timelines keep their pace.
// SND_OPEN_MANUAL advances only through Render, for tests and for drawing a
// movie headless. Before Open and after Close nothing advances. No call
// waits on the device: the mixing thread holds the lock only while it mixes
// one buffer.
//
// Threads. One thread (the player's) makes every call; the library's own
// thread only mixes. DefineSound decodes on the calling thread (an MP3 sound
// through the platform's codec, msacm32).
//
// Sounds. DefineSound keeps a sound by its id (the first definition of an id
// wins), decoded whole; one sound decodes to at most SND_MAX_FRAMES frames,
// all sounds together to SND_MAX_TOTAL_BYTES (a sound past that is not
// defined). StartSound plays, stops or skips by the SOUNDINFO's flags, with
// its in- and out-points, loops and envelope. At most SND_MAX_VOICES sounds
// play at once; a further start is refused.
//
// Streams. Each timeline with stream sound has a number of the player's
// choosing (the root and each sprite instance). StreamHead (re)starts the
// stream with a SoundStreamHead or SoundStreamHead2 body; StreamBlock queues
// one frame's SoundStreamBlock. StopStream drops what is queued (a jump in
// the timeline, or the timeline stopped): the next block starts afresh and,
// for MP3, skips its SeekSamples plus the head's LatencySeek (the first block
// after a head skips its SeekSamples, the encoder's latency). EndStream forgets the stream (its
// timeline is gone). StreamSeconds says how much of the stream has been
// heard since its head, dropped frames included; it never runs past what
// was queued, so a starved stream holds still.
//
// Damaged data. A body too short for its fixed fields is ignored; sound data
// that ends early is cut where it ends; sample counts that claim more than
// the data holds are cut to the data; formats we do not decode (Nellymoser,
// Speex) play as silence of their length. Nothing overruns, nothing
// allocates by what a header claims.
#pragma once

#include "player/sound/decode.h"
#include "player/sound/mixer.h"
#include "player/sound/waveout.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace snd {

enum : int {
    SND_OPEN_DEVICE = 0, // the sound device, or the clock when there is none
    SND_OPEN_SILENT = 1, // the clock only (sound turned off)
    SND_OPEN_MANUAL = 2, // only Render advances
};

// Seconds from any fixed origin, never decreasing.
using SndClock = double (*)(void* context);

class SoundPlayer {
public:
    SoundPlayer() = default;
    ~SoundPlayer() { Close(); }
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Starts (or changes) the output; sounds and streams stay. True when
    // sound goes to a device; false when it runs silently (or manually).
    bool Open(int mode = SND_OPEN_DEVICE);
    // Stops output and releases every sound and stream; safe twice.
    void Close();
    bool Silent() const { return !device_.IsOpen(); }
    // The clock of silent mode; call before Open. Null restores the default.
    void SetClock(SndClock clock, void* context);

    void DefineSound(const uint8_t* body, size_t size);
    // A StartSound body: a sound id and its SOUNDINFO. Returns the bytes the
    // two took (0 when cut short), so the id-and-SOUNDINFO pairs of a
    // DefineButtonSound body can go through here one after another.
    size_t StartSound(const uint8_t* body, size_t size);
    // For scripts: plays a defined sound `loops` times from offsetSeconds on
    // (each loop starts there). Returns a handle > 0, or 0 when the sound is
    // unknown or cannot play.
    int StartSoundById(uint16_t id, int loops, double offsetSeconds);
    void StopSoundById(uint16_t id);
    bool IsPlaying(int handle) const;
    // Every event sound and the queued audio of every stream (StopSounds).
    void StopAll();
    // 0 to 100, on the whole mix (a Sound object's setVolume).
    void SetVolume(int percent);
    int Volume() const;

    void StreamHead(int stream, const uint8_t* body, size_t size);
    void StreamBlock(int stream, const uint8_t* body, size_t size);
    void StopStream(int stream);
    void EndStream(int stream);
    // Seconds heard and seconds queued since the stream's head; -1 for a
    // stream without a head.
    double StreamSeconds(int stream) const;
    double StreamQueuedSeconds(int stream) const;

    // SND_OPEN_MANUAL: mixes the next frames (16-bit stereo, 2 values a frame) into out.
    void Render(int16_t* out, size_t frames);
    // Bytes held by decoded sounds.
    size_t DecodedBytes() const;

private:
    static void RenderThunk(void* self, int16_t* out, size_t frames);
    static double DefaultClock(void* context);
    // Brings the mixer up to the present (silent mode); needs the lock.
    void Advance() const;
    uint64_t PlayedFrames() const;

    // The player's thread only.
    std::map<uint16_t, std::shared_ptr<const SoundClip>> sounds_;
    std::map<int, std::unique_ptr<StreamDecoder>> decoders_;
    std::vector<int16_t> scratch_;
    size_t decodedBytes_ = 0;
    int mode_ = -1; // closed
    SndClock clock_ = nullptr;
    void* clockContext_ = nullptr;
    double clockStart_ = 0;
    uint64_t deviceBase_ = 0; // the mix's frame when the device started

    // Shared with the mixing thread, under lock_.
    mutable std::mutex lock_;
    mutable Mixer mixer_;
    mutable WaveOut device_;
};

} // namespace snd
