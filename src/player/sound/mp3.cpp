#include "player/sound/mp3.h"

#include <algorithm>
#include <cstring>

namespace snd {

bool Mp3ParseHeader(const uint8_t* p, size_t avail, Mp3Header* out) {
    if (avail < 4 || p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits != 1 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    static const int bitratesV1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static const int bitratesV2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static const int ratesV1[3] = {44100, 48000, 32000};
    Mp3Header h;
    h.version = versionBits == 3 ? 1 : versionBits == 2 ? 2 : 25;
    const bool v1 = h.version == 1;
    h.rate = ratesV1[rateIndex] >> (v1 ? 0 : h.version == 2 ? 1 : 2);
    h.bitrate = v1 ? bitratesV1[bitrateIndex] : bitratesV2[bitrateIndex];
    h.channels = (p[3] >> 6) == 3 ? 1 : 2;
    h.samplesPerFrame = v1 ? 1152 : 576;
    h.frameBytes = (v1 ? 144 : 72) * h.bitrate * 1000 / h.rate + ((p[2] >> 1) & 1);
    *out = h;
    return true;
}

bool Mp3Decoder::OpenCodec() {
    MPEGLAYER3WAVEFORMAT in = {};
    in.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
    in.wfx.nChannels = static_cast<WORD>(format_.channels);
    in.wfx.nSamplesPerSec = static_cast<DWORD>(format_.rate);
    in.wfx.nAvgBytesPerSec = static_cast<DWORD>(format_.bitrate * 1000 / 8);
    in.wfx.nBlockAlign = 1;
    in.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
    in.wID = MPEGLAYER3_ID_MPEG;
    in.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
    in.nBlockSize = static_cast<WORD>(format_.frameBytes);
    in.nFramesPerBlock = 1;
    WAVEFORMATEX pcm = {};
    pcm.wFormatTag = WAVE_FORMAT_PCM;
    pcm.nChannels = static_cast<WORD>(format_.channels);
    pcm.nSamplesPerSec = static_cast<DWORD>(format_.rate);
    pcm.wBitsPerSample = 16;
    pcm.nBlockAlign = static_cast<WORD>(format_.channels * 2);
    pcm.nAvgBytesPerSec = pcm.nSamplesPerSec * pcm.nBlockAlign;
    if (acmStreamOpen(&stream_, nullptr, &in.wfx, &pcm, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) != 0) {
        stream_ = nullptr;
        failed_ = true;
        return false;
    }
    started_ = false;
    return true;
}

size_t Mp3Decoder::Convert(const uint8_t* data, size_t size, size_t frames, bool end, size_t maxFrames,
                           std::vector<int16_t>* out) {
    const size_t frameValues = static_cast<size_t>(format_.channels);
    // Room for this input and for frames the codec held back from earlier calls.
    output_.resize((frames + 8) * format_.samplesPerFrame * frameValues * 2);
    size_t appended = 0;
    size_t consumed = 0;
    while (appended < maxFrames) {
        ACMSTREAMHEADER h = {};
        h.cbStruct = sizeof(h);
        h.pbSrc = const_cast<uint8_t*>(data + consumed);
        h.cbSrcLength = static_cast<DWORD>(size - consumed);
        h.pbDst = output_.data();
        h.cbDstLength = static_cast<DWORD>(output_.size());
        if (acmStreamPrepareHeader(stream_, &h, 0) != 0)
            break;
        DWORD flags = started_ ? 0 : ACM_STREAMCONVERTF_START;
        if (end)
            flags |= ACM_STREAMCONVERTF_END;
        MMRESULT result = acmStreamConvert(stream_, &h, flags);
        started_ = true;
        const size_t used = std::min<size_t>(h.cbSrcLengthUsed, size - consumed);
        const size_t produced = std::min<size_t>(h.cbDstLengthUsed, output_.size());
        h.cbSrcLength = static_cast<DWORD>(size - consumed);
        h.cbDstLength = static_cast<DWORD>(output_.size());
        acmStreamUnprepareHeader(stream_, &h, 0);
        const size_t take = std::min(produced / (2 * frameValues), maxFrames - appended);
        const size_t at = out->size();
        out->resize(at + take * frameValues);
        std::memcpy(out->data() + at, output_.data(), take * frameValues * 2);
        appended += take;
        consumed += used;
        if (result != 0 || consumed >= size || (used == 0 && produced == 0))
            break;
    }
    return appended;
}

size_t Mp3Decoder::Decode(const uint8_t* data, size_t size, size_t maxFrames, bool flush, std::vector<int16_t>* out) {
    if (!data)
        return 0;
    // Whole frames are gathered into chunks; a chunk goes to the codec once the
    // next frame is found, so the last one can carry the end of the sound.
    const size_t kChunkFrames = 32;
    size_t appended = 0;
    size_t chunkFrames = 0;
    input_.clear();
    auto feed = [&](bool end) {
        if (chunkFrames == 0 || appended >= maxFrames)
            return;
        if (!stream_ && !failed_)
            OpenCodec();
        if (stream_) {
            appended += Convert(input_.data(), input_.size(), chunkFrames, end, maxFrames - appended, out);
        } else {
            const size_t take = std::min(chunkFrames * format_.samplesPerFrame, maxFrames - appended);
            out->resize(out->size() + take * format_.channels, 0);
            appended += take;
        }
        input_.clear();
        chunkFrames = 0;
    };
    size_t at = 0;
    while (at + 4 <= size && appended < maxFrames) {
        Mp3Header h;
        if (!Mp3ParseHeader(data + at, size - at, &h)) {
            ++at; // lost sync: look for the next frame
            continue;
        }
        if (static_cast<size_t>(h.frameBytes) > size - at)
            break;
        if (format_.rate == 0)
            format_ = h;
        if (h.rate == format_.rate && h.channels == format_.channels) {
            if (chunkFrames == kChunkFrames)
                feed(false);
            input_.insert(input_.end(), data + at, data + at + h.frameBytes);
            ++chunkFrames;
        }
        at += h.frameBytes;
    }
    feed(flush);
    return appended;
}

void Mp3Decoder::Reset() {
    if (stream_) {
        acmStreamClose(stream_, 0);
        stream_ = nullptr;
    }
    started_ = false;
    failed_ = false;
}

void Mp3Decoder::Close() {
    Reset();
    format_ = Mp3Header();
}

} // namespace snd
