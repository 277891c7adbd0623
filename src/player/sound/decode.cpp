#include "player/sound/decode.h"

#include "player/sound/adpcm.h"
#include "player/sound/bytereader.h"

#include <algorithm>

namespace snd {

size_t SndDecodePcm(const uint8_t* data, size_t size, bool is16Bit, int channels, size_t maxFrames,
                    std::vector<int16_t>* out) {
    const size_t bytesPerFrame = (is16Bit ? 2 : 1) * static_cast<size_t>(channels);
    const size_t frames = std::min(size / bytesPerFrame, maxFrames);
    const size_t values = frames * channels;
    const size_t at = out->size();
    out->resize(at + values);
    int16_t* dst = out->data() + at;
    for (size_t i = 0; i < values; ++i) {
        if (is16Bit)
            dst[i] = static_cast<int16_t>(data[2 * i] | data[2 * i + 1] << 8);
        else
            dst[i] = static_cast<int16_t>((data[i] - 128) * 256);
    }
    return frames;
}

namespace {

// Drops the first `skip` frames of a decoded MP3 sound (the encoder's latency).
void DropFrames(std::vector<int16_t>* samples, size_t skip, int channels) {
    const size_t values = std::min(samples->size(), skip * channels);
    samples->erase(samples->begin(), samples->begin() + values);
}

} // namespace

bool SndDecodeSound(const SoundDefinition& def, size_t maxFrames, SoundClip* out) {
    SoundClip clip;
    clip.rate = def.rate;
    clip.channels = def.stereo ? 2 : 1;
    const size_t claimed = std::min<size_t>(def.sampleCount, maxFrames);
    switch (def.format) {
    case SND_FMT_PCM_NATIVE:
    case SND_FMT_PCM_LE:
        clip.frames = SndDecodePcm(def.data, def.size, def.is16Bit, clip.channels, claimed, &clip.samples);
        break;
    case SND_FMT_ADPCM:
        clip.frames = SndAdpcmDecode(def.data, def.size, clip.channels, claimed, &clip.samples);
        break;
    case SND_FMT_MP3: {
        ByteReader r(def.data, def.size);
        const int seek = std::max<int>(0, r.S16());
        if (r.Failed())
            return false;
        Mp3Decoder decoder;
        decoder.Decode(r.Here(), r.Remaining(), std::min(maxFrames, claimed + seek), true, &clip.samples);
        if (decoder.Channels() == 0)
            return false; // not one frame
        clip.rate = decoder.Rate();
        clip.channels = decoder.Channels();
        DropFrames(&clip.samples, seek, clip.channels);
        clip.frames = std::min(clip.samples.size() / clip.channels, claimed);
        clip.samples.resize(clip.frames * clip.channels);
        break;
    }
    case SND_FMT_NELLY16K:
    case SND_FMT_NELLY8K:
    case SND_FMT_NELLY:
    case SND_FMT_SPEEX:
        clip.rate = def.format == SND_FMT_NELLY8K ? 8000 : def.format == SND_FMT_NELLY ? def.rate : 16000;
        clip.channels = 1;
        clip.frames = claimed;
        break;
    default:
        return false;
    }
    if (!clip.Silent())
        clip.samples.shrink_to_fit();
    *out = std::move(clip);
    return true;
}

void StreamDecoder::Start(const StreamFormat& format) {
    mp3_.Close();
    format_ = format;
    started_ = true;
    fresh_ = true;
    seeked_ = false;
    skip_ = 0;
}

void StreamDecoder::Seek() {
    mp3_.Reset();
    fresh_ = true;
    seeked_ = true;
    skip_ = 0;
}

int StreamDecoder::Rate() const {
    if (format_.format == SND_FMT_MP3 && mp3_.Rate())
        return mp3_.Rate();
    if (format_.format == SND_FMT_NELLY8K)
        return 8000;
    if (format_.format == SND_FMT_NELLY16K || format_.format == SND_FMT_SPEEX)
        return 16000;
    return format_.rate;
}

int StreamDecoder::Channels() const {
    if (format_.format == SND_FMT_MP3 && mp3_.Channels())
        return mp3_.Channels();
    if (format_.format >= SND_FMT_NELLY16K)
        return 1;
    return format_.stereo ? 2 : 1;
}

size_t StreamDecoder::Block(const uint8_t* body, size_t size, size_t maxFrames, std::vector<int16_t>* out) {
    if (!started_ || !body)
        return 0;
    const bool fresh = fresh_;
    fresh_ = false;
    const int channels = Channels();
    switch (format_.format) {
    case SND_FMT_PCM_NATIVE:
    case SND_FMT_PCM_LE:
        return SndDecodePcm(body, size, format_.is16Bit, channels, maxFrames, out);
    case SND_FMT_ADPCM: {
        // The head's block size tells real codes from the padding of the last byte.
        size_t padding = 0;
        const size_t at = out->size();
        const size_t frames = SndAdpcmDecode(body, size, channels, maxFrames, out, &padding);
        if (frames > format_.blockSamples && frames - padding <= format_.blockSamples) {
            out->resize(at + format_.blockSamples * channels);
            return format_.blockSamples;
        }
        return frames;
    }
    case SND_FMT_MP3: {
        ByteReader r(body, size);
        r.U16(); // SampleCount: the frames themselves say how many
        const int seek = r.S16();
        if (r.Failed())
            return 0;
        if (fresh)
            skip_ = static_cast<size_t>(std::max(0, seek + (seeked_ ? format_.latencySeek : 0)));
        const size_t at = out->size();
        mp3_.Decode(r.Here(), r.Remaining(), maxFrames, false, out);
        const int ch = std::max(1, mp3_.Channels());
        size_t frames = (out->size() - at) / ch;
        const size_t drop = std::min(skip_, frames);
        out->erase(out->begin() + at, out->begin() + at + drop * ch);
        skip_ -= drop;
        return frames - drop;
    }
    case SND_FMT_NELLY16K:
    case SND_FMT_NELLY8K:
    case SND_FMT_NELLY:
    case SND_FMT_SPEEX: {
        const size_t frames = std::min<size_t>(format_.blockSamples, maxFrames);
        out->resize(out->size() + frames, 0);
        return frames;
    }
    default:
        return 0;
    }
}

} // namespace snd
