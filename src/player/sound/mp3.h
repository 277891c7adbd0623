// MP3 sound data: MPEG 1, 2 and 2.5 layer III frame headers, and decoding
// through the platform's MP3 codec (the audio compression manager, msacm32).
//
// Mp3ParseHeader reads one 4-byte frame header. Mp3Decoder takes bytes that
// hold whole frames, skips anything that is not a valid layer III frame of
// the first frame's format (rate and channels), and appends 16-bit PCM.
// Frames whose data is missing at the end of the input are not fed to the
// codec. Without a codec for the format every frame decodes to silence of
// its length, so timing holds. The decoder keeps the codec's state between
// calls (a frame may use bits of earlier ones); Reset forgets it.
//
// One thread at a time; Close releases the codec stream and is safe twice.
#pragma once

#include <windows.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snd {

struct Mp3Header {
    int version = 0; // 1 = MPEG 1, 2 = MPEG 2, 25 = MPEG 2.5
    int rate = 0;    // Hz
    int channels = 0;
    int bitrate = 0;         // kbit/s
    int frameBytes = 0;      // header included
    int samplesPerFrame = 0; // 1152 or 576
};

// False for anything but a layer III header with a known bitrate and rate.
bool Mp3ParseHeader(const uint8_t* p, size_t avail, Mp3Header* out);

class Mp3Decoder {
public:
    Mp3Decoder() = default;
    ~Mp3Decoder() { Close(); }
    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    // Appends at most maxFrames frames; returns the frames appended. With
    // flush, also takes what the codec still holds (the end of a sound).
    size_t Decode(const uint8_t* data, size_t size, size_t maxFrames, bool flush, std::vector<int16_t>* out);
    // Drops the codec's state but keeps the format (a jump within one stream).
    void Reset();
    // Releases the codec and forgets the format.
    void Close();

    // The format of the first frame seen (0 before any).
    int Rate() const { return format_.rate; }
    int Channels() const { return format_.channels; }
    // False once the platform refused the format: frames then decode to silence.
    bool HasCodec() const { return !failed_; }

private:
    bool OpenCodec();
    size_t Convert(const uint8_t* data, size_t size, size_t frames, bool end, size_t maxFrames,
                   std::vector<int16_t>* out);

    Mp3Header format_;
    HACMSTREAM stream_ = nullptr;
    bool failed_ = false;
    bool started_ = false;
    std::vector<uint8_t> input_;
    std::vector<uint8_t> output_;
};

} // namespace snd
