#include "soundtest.h"

#include "player/sound/adpcm.h"
#include "player/sound/mp3.h"
#include "testsupport.h"

#include <algorithm>
#include <cmath>

namespace soundtest {

namespace {

void Put16(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(Bytes* b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

class BitWriter {
public:
    void Write(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            acc_ = static_cast<uint8_t>(acc_ << 1 | ((value >> i) & 1));
            if (++count_ == 8) {
                bytes_.push_back(acc_);
                acc_ = 0;
                count_ = 0;
            }
        }
    }
    Bytes Finish() {
        if (count_)
            bytes_.push_back(static_cast<uint8_t>(acc_ << (8 - count_)));
        count_ = 0;
        return bytes_;
    }

private:
    Bytes bytes_;
    uint8_t acc_ = 0;
    int count_ = 0;
};

} // namespace

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes DefineSoundBody(uint16_t id, int format, int rateCode, bool is16Bit, bool stereo, uint32_t sampleCount,
                      const Bytes& data) {
    Bytes b;
    Put16(&b, id);
    b.push_back(static_cast<uint8_t>(format << 4 | rateCode << 2 | (is16Bit ? 2 : 0) | (stereo ? 1 : 0)));
    Put32(&b, sampleCount);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes SoundInfoBytes(const Info& info) {
    Bytes b;
    b.push_back(static_cast<uint8_t>((info.stop ? 0x20 : 0) | (info.noMultiple ? 0x10 : 0) |
                                     (info.hasEnvelope ? 0x08 : 0) | (info.loops >= 0 ? 0x04 : 0) |
                                     (info.outPoint >= 0 ? 0x02 : 0) | (info.inPoint >= 0 ? 0x01 : 0)));
    if (info.inPoint >= 0)
        Put32(&b, static_cast<uint32_t>(info.inPoint));
    if (info.outPoint >= 0)
        Put32(&b, static_cast<uint32_t>(info.outPoint));
    if (info.loops >= 0)
        Put16(&b, static_cast<uint32_t>(info.loops));
    if (info.hasEnvelope) {
        b.push_back(static_cast<uint8_t>(info.envelope.size()));
        for (const snd::EnvelopePoint& p : info.envelope) {
            Put32(&b, p.pos44);
            Put16(&b, p.left);
            Put16(&b, p.right);
        }
    }
    return b;
}

Bytes StartSoundBody(uint16_t id, const Info& info) {
    Bytes b;
    Put16(&b, id);
    Bytes i = SoundInfoBytes(info);
    b.insert(b.end(), i.begin(), i.end());
    return b;
}

Bytes StreamHeadBody(int format, int rateCode, bool is16Bit, bool stereo, uint16_t blockSamples, int16_t latencySeek) {
    Bytes b;
    b.push_back(static_cast<uint8_t>(rateCode << 2 | 2 | (stereo ? 1 : 0)));
    b.push_back(static_cast<uint8_t>(format << 4 | rateCode << 2 | (is16Bit ? 2 : 0) | (stereo ? 1 : 0)));
    Put16(&b, blockSamples);
    if (format == 2)
        Put16(&b, static_cast<uint16_t>(latencySeek));
    return b;
}

Bytes Mp3StreamBlock(uint16_t sampleCount, int16_t seekSamples, const Bytes& frames) {
    Bytes b;
    Put16(&b, sampleCount);
    Put16(&b, static_cast<uint16_t>(seekSamples));
    b.insert(b.end(), frames.begin(), frames.end());
    return b;
}

Bytes Pcm16(const std::vector<int16_t>& samples) {
    Bytes b;
    for (int16_t s : samples)
        Put16(&b, static_cast<uint16_t>(s));
    return b;
}

Bytes Pcm8(const std::vector<uint8_t>& samples) {
    return samples;
}

std::vector<int16_t> Sine(int rate, double freq, double amplitude, size_t frames, int channels, double freqRight) {
    std::vector<int16_t> s;
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double f = c == 1 && freqRight > 0 ? freqRight : freq;
            s.push_back(static_cast<int16_t>(std::lround(32767 * amplitude * std::sin(2 * pi * f * i / rate))));
        }
    }
    return s;
}

Bytes AdpcmEncode(const std::vector<int16_t>& samples, int channels, int bits, std::vector<int16_t>* reconstructed) {
    BitWriter w;
    w.Write(static_cast<uint32_t>(bits - 2), 2);
    const int8_t* indexTable = snd::AdpcmIndexTable(bits);
    const int sign = 1 << (bits - 1);
    const size_t frames = samples.size() / channels;
    int predicted[2] = {0, 0};
    int index[2] = {0, 0};
    reconstructed->clear();
    for (size_t f = 0; f < frames; ++f) {
        const bool packetStart = f % 4096 == 0;
        for (int c = 0; c < channels; ++c) {
            const int target = samples[f * channels + c];
            if (packetStart) {
                // A packet opens with the sample itself and the step index so far.
                predicted[c] = target;
                w.Write(static_cast<uint16_t>(target), 16);
                w.Write(static_cast<uint32_t>(index[c]), 6);
                reconstructed->push_back(static_cast<int16_t>(target));
                continue;
            }
            int step = snd::kAdpcmSteps[index[c]];
            int diff = target - predicted[c];
            int code = 0;
            if (diff < 0) {
                code = sign;
                diff = -diff;
            }
            int delta = step >> (bits - 1);
            for (int mask = sign >> 1; mask; mask >>= 1) {
                if (diff >= step) {
                    code |= mask;
                    diff -= step;
                    delta += step;
                }
                step >>= 1;
            }
            predicted[c] += (code & sign) ? -delta : delta;
            predicted[c] = std::clamp(predicted[c], -32768, 32767);
            index[c] = std::clamp(index[c] + indexTable[code & (sign - 1)], 0, 88);
            w.Write(static_cast<uint32_t>(code), bits);
            reconstructed->push_back(static_cast<int16_t>(predicted[c]));
        }
    }
    return w.Finish();
}

Bytes Mp3Fixture(const std::string& name) {
    const std::string text = testsupport::ReadFileBytes(testsupport::BinDir() + "\\soundfix\\" + name + ".mp3");
    return Bytes(text.begin(), text.end());
}

std::vector<Bytes> Mp3Frames(const Bytes& file) {
    std::vector<Bytes> frames;
    size_t at = 0;
    snd::Mp3Header h;
    while (at + 4 <= file.size()) {
        if (!snd::Mp3ParseHeader(file.data() + at, file.size() - at, &h)) {
            ++at;
            continue;
        }
        if (at + h.frameBytes > file.size())
            break;
        frames.emplace_back(file.begin() + at, file.begin() + at + h.frameBytes);
        at += h.frameBytes;
    }
    return frames;
}

double Rms(const std::vector<int16_t>& s, int channels, int channel, size_t from, size_t to) {
    double sum = 0;
    size_t n = 0;
    for (size_t f = from; f < to && f * channels + channel < s.size(); ++f, ++n) {
        const double v = s[f * channels + channel];
        sum += v * v;
    }
    return n ? std::sqrt(sum / n) : 0;
}

double Frequency(const std::vector<int16_t>& s, int channels, int channel, size_t from, size_t to, int rate) {
    size_t first = 0, last = 0;
    int crossings = 0;
    for (size_t f = from + 1; f < to && f * channels + channel < s.size(); ++f) {
        if (s[(f - 1) * channels + channel] < 0 && s[f * channels + channel] >= 0) {
            if (crossings == 0)
                first = f;
            last = f;
            ++crossings;
        }
    }
    if (crossings < 2)
        return 0;
    return static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

} // namespace soundtest
