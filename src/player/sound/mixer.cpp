#include "player/sound/mixer.h"

#include <algorithm>

namespace snd {

namespace {

constexpr size_t kBlockFrames = 1024;
constexpr size_t kMaxCheckpoints = 64;

uint64_t StepFor(int rate) {
    return (static_cast<uint64_t>(rate) << 32) / SND_OUTPUT_RATE;
}

// Linear interpolation with a 15-bit fraction, which keeps the product inside 32 bits.
inline int Lerp(int a, int b, uint32_t frac15) {
    return a + ((b - a) * static_cast<int>(frac15) >> 15);
}

} // namespace

int Mixer::Play(uint16_t soundId, std::shared_ptr<const SoundClip> clip, const SoundStyle& style, size_t startFrame) {
    if (!clip || clip->rate <= 0 || voices_.size() >= static_cast<size_t>(SND_MAX_VOICES))
        return 0;
    size_t begin = style.hasInPoint ? style.inPoint : 0;
    begin = startFrame > clip->frames - std::min(begin, clip->frames) ? clip->frames : begin + startFrame;
    size_t end = clip->frames;
    if (style.hasOutPoint && style.outPoint < end)
        end = static_cast<size_t>(style.outPoint) + 1; // the last sample plays
    if (begin >= end)
        return 0;
    Voice v;
    v.handle = nextHandle_;
    nextHandle_ = nextHandle_ == 0x7FFFFFFF ? 1 : nextHandle_ + 1;
    v.soundId = soundId;
    v.clip = std::move(clip);
    v.begin = begin;
    v.end = end;
    v.pos = static_cast<uint64_t>(begin) << 32;
    v.step = StepFor(v.clip->rate);
    v.loopsLeft = std::max(1, style.loops) - 1;
    v.envelope = style.envelope;
    v.envTime = static_cast<uint64_t>(begin) * SND_OUTPUT_RATE / v.clip->rate;
    voices_.push_back(std::move(v));
    return voices_.back().handle;
}

void Mixer::StopSound(uint16_t soundId) {
    voices_.erase(std::remove_if(voices_.begin(), voices_.end(), [&](const Voice& v) { return v.soundId == soundId; }),
                  voices_.end());
}

void Mixer::StopVoice(int handle) {
    voices_.erase(std::remove_if(voices_.begin(), voices_.end(), [&](const Voice& v) { return v.handle == handle; }),
                  voices_.end());
}

void Mixer::StopVoices() {
    voices_.clear();
}

bool Mixer::SoundPlaying(uint16_t soundId) const {
    return std::any_of(voices_.begin(), voices_.end(), [&](const Voice& v) { return v.soundId == soundId; });
}

bool Mixer::VoicePlaying(int handle) const {
    return std::any_of(voices_.begin(), voices_.end(), [&](const Voice& v) { return v.handle == handle; });
}

void Mixer::SetVolume(int percent) {
    volume_ = std::clamp(percent, 0, 100);
}

void Mixer::Gains(Voice* v, int* left, int* right) {
    const std::vector<EnvelopePoint>& e = v->envelope;
    if (e.empty()) {
        *left = *right = 32768;
        return;
    }
    const uint64_t t = v->envTime;
    while (v->envSegment + 1 < e.size() && e[v->envSegment + 1].pos44 <= t)
        ++v->envSegment;
    const EnvelopePoint& a = e[v->envSegment];
    if (t <= a.pos44 || v->envSegment + 1 == e.size()) {
        *left = a.left;
        *right = a.right;
    } else {
        const EnvelopePoint& b = e[v->envSegment + 1];
        const int64_t span = b.pos44 - a.pos44, into = static_cast<int64_t>(t - a.pos44);
        *left = static_cast<int>(a.left + (int64_t(b.left) - a.left) * into / span);
        *right = static_cast<int>(a.right + (int64_t(b.right) - a.right) * into / span);
    }
    // Levels past 32768 are out of range: they would only overdrive the mix.
    *left = std::min(*left, 32768);
    *right = std::min(*right, 32768);
    if (v->clip->channels == 1)
        *left = *right = (*left + *right) / 2;
}

bool Mixer::MixVoice(Voice* v, int32_t* acc, size_t frames) {
    const SoundClip& c = *v->clip;
    const int16_t* s = c.Silent() ? nullptr : c.samples.data();
    const size_t loop = static_cast<size_t>(v->end - v->begin);
    if (!acc) {
        // Only time passes (silent mode catching up): whole loops at once.
        const uint64_t end = static_cast<uint64_t>(v->end) << 32, length = static_cast<uint64_t>(loop) << 32;
        v->pos += v->step * frames;
        v->envTime += frames;
        if (v->pos >= end) {
            const uint64_t wraps = (v->pos - end) / length + 1;
            if (wraps > static_cast<uint64_t>(v->loopsLeft))
                return false;
            v->loopsLeft -= static_cast<int>(wraps);
            v->pos -= wraps * length;
        }
        return true;
    }
    for (size_t i = 0; i < frames; ++i) {
        size_t idx = static_cast<size_t>(v->pos >> 32);
        while (idx >= v->end) {
            if (v->loopsLeft == 0)
                return false;
            --v->loopsLeft;
            v->pos -= static_cast<uint64_t>(loop) << 32;
            idx = static_cast<size_t>(v->pos >> 32);
        }
        if (s) {
            const size_t next = idx + 1 < v->end ? idx + 1 : idx;
            const uint32_t frac = static_cast<uint32_t>(v->pos >> 17) & 0x7FFF;
            int gl, gr;
            Gains(v, &gl, &gr);
            int l, r;
            if (c.channels == 1) {
                l = r = Lerp(s[idx], s[next], frac);
            } else {
                l = Lerp(s[2 * idx], s[2 * next], frac);
                r = Lerp(s[2 * idx + 1], s[2 * next + 1], frac);
            }
            acc[2 * i] += l * gl >> 15;
            acc[2 * i + 1] += r * gr >> 15;
        }
        v->pos += v->step;
        ++v->envTime;
    }
    return (v->pos >> 32) < v->end || v->loopsLeft > 0;
}

void Mixer::MixStream(Stream* s, int32_t* acc, size_t frames) {
    if (s->rate == 0)
        return;
    const size_t n = s->queue.size() / s->channels;
    const int16_t* q = s->queue.data();
    for (size_t i = 0; i < frames && s->read < n; ++i) {
        if (acc) {
            const size_t next = s->read + 1 < n ? s->read + 1 : s->read;
            const uint32_t frac = s->frac >> 17;
            if (s->channels == 1) {
                const int v = Lerp(q[s->read], q[next], frac);
                acc[2 * i] += v;
                acc[2 * i + 1] += v;
            } else {
                acc[2 * i] += Lerp(q[2 * s->read], q[2 * next], frac);
                acc[2 * i + 1] += Lerp(q[2 * s->read + 1], q[2 * next + 1], frac);
            }
        }
        const uint64_t p = s->frac + s->step;
        s->read += static_cast<size_t>(p >> 32);
        s->frac = static_cast<uint32_t>(p);
    }
    if (s->read >= n) {
        s->read = n;
        s->frac = 0;
    }
    Compact(s);
}

void Mixer::Compact(Stream* s) {
    if (s->read < 65536 || s->read * 2 * s->channels < s->queue.size())
        return;
    s->queue.erase(s->queue.begin(), s->queue.begin() + s->read * s->channels);
    s->consumedBase += s->read;
    s->read = 0;
}

void Mixer::Render(int16_t* out, size_t frames) {
    while (frames > 0) {
        const size_t n = std::min(frames, kBlockFrames);
        int32_t* acc = nullptr;
        if (out) {
            acc_.assign(2 * n, 0);
            acc = acc_.data();
        }
        for (size_t i = 0; i < voices_.size();) {
            if (MixVoice(&voices_[i], acc, n))
                ++i;
            else
                voices_.erase(voices_.begin() + i);
        }
        for (auto& entry : streams_)
            MixStream(&entry.second, acc, n);
        if (out) {
            const int gain = volume_ * 32768 / 100;
            for (size_t i = 0; i < 2 * n; ++i) {
                const int64_t v = static_cast<int64_t>(acc[i]) * gain >> 15;
                out[i] = static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
            }
            out += 2 * n;
        }
        mixed_ += n;
        frames -= n;
    }
    for (auto& entry : streams_) {
        Stream& s = entry.second;
        s.checkpoints.push_back({mixed_, s.consumedBase + s.read});
        while (s.checkpoints.size() > kMaxCheckpoints)
            s.checkpoints.pop_front();
    }
}

bool Mixer::StreamOpen(int stream) {
    auto it = streams_.find(stream);
    if (it == streams_.end() && streams_.size() >= static_cast<size_t>(SND_MAX_STREAMS))
        return false;
    Stream& s = streams_[stream];
    s = Stream();
    s.checkpoints.push_back({mixed_, 0});
    return true;
}

void Mixer::StreamAppend(int stream, const int16_t* samples, size_t frames, int rate, int channels) {
    auto it = streams_.find(stream);
    if (it == streams_.end() || rate <= 0 || channels < 1 || channels > 2)
        return;
    Stream& s = it->second;
    if (s.rate != 0 && (s.rate != rate || s.channels != channels))
        StreamDrop(stream);
    if (s.rate != rate) {
        s.rate = rate;
        s.step = StepFor(rate);
    }
    s.channels = channels;
    s.queue.insert(s.queue.end(), samples, samples + frames * channels);
    s.appended += frames;
    // A timeline that feeds faster than it is heard loses its oldest frames, not its memory.
    const size_t n = s.queue.size() / channels;
    const size_t limit = static_cast<size_t>(SND_MAX_QUEUED_SECONDS) * rate;
    if (n - s.read > limit) {
        s.read = n - limit;
        s.frac = 0;
        Compact(&s);
    }
}

void Mixer::StreamDrop(int stream) {
    auto it = streams_.find(stream);
    if (it == streams_.end())
        return;
    Stream& s = it->second;
    s.consumedBase += s.queue.size() / s.channels;
    s.queue.clear();
    s.read = 0;
    s.frac = 0;
}

void Mixer::StreamClose(int stream) {
    streams_.erase(stream);
}

double Mixer::StreamHeardSeconds(int stream, uint64_t played) const {
    auto it = streams_.find(stream);
    if (it == streams_.end() || it->second.rate == 0)
        return 0;
    const Stream& s = it->second;
    uint64_t heard = s.consumedBase + s.read;
    if (played < mixed_ && !s.checkpoints.empty()) {
        // The output frame being heard lies between two renders: interpolate.
        const Checkpoint* before = &s.checkpoints.front();
        const Checkpoint* after = nullptr;
        for (const Checkpoint& c : s.checkpoints) {
            if (c.mixed <= played) {
                before = &c;
            } else {
                after = &c;
                break;
            }
        }
        heard = before->consumed;
        if (after && after->mixed > before->mixed && played > before->mixed)
            heard += (after->consumed - before->consumed) * (played - before->mixed) / (after->mixed - before->mixed);
    }
    return static_cast<double>(heard) / s.rate;
}

double Mixer::StreamQueuedSeconds(int stream) const {
    auto it = streams_.find(stream);
    if (it == streams_.end() || it->second.rate == 0)
        return 0;
    return static_cast<double>(it->second.appended) / it->second.rate;
}

} // namespace snd
