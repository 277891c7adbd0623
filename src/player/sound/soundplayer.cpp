#include "player/sound/soundplayer.h"

#include <algorithm>
#include <cmath>

namespace snd {

double SoundPlayer::DefaultClock(void*) {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / frequency.QuadPart;
}

void SoundPlayer::SetClock(SndClock clock, void* context) {
    clock_ = clock;
    clockContext_ = context;
}

bool SoundPlayer::Open(int mode) {
    device_.Close();
    if (!clock_)
        clock_ = DefaultClock;
    {
        // Time goes on from where the mix stands, whatever ran before.
        std::lock_guard<std::mutex> hold(lock_);
        mode_ = mode;
        clockStart_ = clock_(clockContext_) - static_cast<double>(mixer_.Mixed()) / SND_OUTPUT_RATE;
        deviceBase_ = mixer_.Mixed();
    }
    if (mode == SND_OPEN_DEVICE && device_.Open(RenderThunk, this))
        return true;
    if (mode_ == SND_OPEN_DEVICE)
        mode_ = SND_OPEN_SILENT;
    return false;
}

void SoundPlayer::Close() {
    // Not under the lock: the mixing thread takes it to finish its buffer.
    device_.Close();
    std::lock_guard<std::mutex> hold(lock_);
    mixer_ = Mixer();
    for (auto& d : decoders_)
        d.second->Close();
    decoders_.clear();
    sounds_.clear();
    std::vector<int16_t>().swap(scratch_);
    decodedBytes_ = 0;
    mode_ = -1;
}

void SoundPlayer::RenderThunk(void* self, int16_t* out, size_t frames) {
    SoundPlayer* p = static_cast<SoundPlayer*>(self);
    std::lock_guard<std::mutex> hold(p->lock_);
    p->mixer_.Render(out, frames);
}

uint64_t SoundPlayer::PlayedFrames() const {
    if (device_.IsOpen())
        return deviceBase_ + device_.PlayedFrames();
    if (mode_ == SND_OPEN_SILENT) {
        const double elapsed = clock_(clockContext_) - clockStart_;
        return elapsed > 0 ? static_cast<uint64_t>(elapsed * SND_OUTPUT_RATE) : 0;
    }
    return mixer_.Mixed();
}

void SoundPlayer::Advance() const {
    if (mode_ != SND_OPEN_SILENT)
        return;
    const uint64_t target = PlayedFrames();
    if (target > mixer_.Mixed())
        mixer_.Render(nullptr, static_cast<size_t>(target - mixer_.Mixed()));
}

void SoundPlayer::Render(int16_t* out, size_t frames) {
    if (mode_ != SND_OPEN_MANUAL || !out)
        return;
    std::lock_guard<std::mutex> hold(lock_);
    mixer_.Render(out, frames);
}

void SoundPlayer::DefineSound(const uint8_t* body, size_t size) {
    SoundDefinition def;
    if (!SndParseDefineSound(body, size, &def) || sounds_.count(def.id))
        return;
    const size_t budget = SND_MAX_TOTAL_BYTES - decodedBytes_;
    const size_t maxFrames = std::min(SND_MAX_FRAMES, budget / (2 * sizeof(int16_t)));
    auto clip = std::make_shared<SoundClip>();
    if (!SndDecodeSound(def, maxFrames, clip.get()))
        return;
    decodedBytes_ += clip->Bytes();
    std::lock_guard<std::mutex> hold(lock_);
    sounds_[def.id] = std::move(clip);
}

size_t SoundPlayer::StartSound(const uint8_t* body, size_t size) {
    uint16_t id;
    SoundStyle style;
    size_t used = 0;
    if (!SndParseStartSound(body, size, &id, &style, &used))
        return 0;
    std::lock_guard<std::mutex> hold(lock_);
    Advance();
    auto it = sounds_.find(id);
    if (style.stop)
        mixer_.StopSound(id);
    else if (it != sounds_.end() && !(style.noMultiple && mixer_.SoundPlaying(id)))
        mixer_.Play(id, it->second, style);
    return used;
}

int SoundPlayer::StartSoundById(uint16_t id, int loops, double offsetSeconds) {
    std::lock_guard<std::mutex> hold(lock_);
    Advance();
    auto it = sounds_.find(id);
    if (it == sounds_.end())
        return 0;
    SoundStyle style;
    style.loops = std::clamp(loops, 1, 0xFFFF);
    size_t start = 0;
    if (offsetSeconds > 0 && std::isfinite(offsetSeconds))
        start = static_cast<size_t>(std::min(offsetSeconds * it->second->rate, double(SND_MAX_FRAMES)));
    return mixer_.Play(id, it->second, style, start);
}

void SoundPlayer::StopSoundById(uint16_t id) {
    std::lock_guard<std::mutex> hold(lock_);
    mixer_.StopSound(id);
}

bool SoundPlayer::IsPlaying(int handle) const {
    std::lock_guard<std::mutex> hold(lock_);
    Advance();
    return mixer_.VoicePlaying(handle);
}

void SoundPlayer::StopAll() {
    std::lock_guard<std::mutex> hold(lock_);
    Advance();
    mixer_.StopVoices();
    for (auto& d : decoders_) {
        d.second->Seek();
        mixer_.StreamDrop(d.first);
    }
}

void SoundPlayer::SetVolume(int percent) {
    std::lock_guard<std::mutex> hold(lock_);
    Advance();
    mixer_.SetVolume(percent);
}

int SoundPlayer::Volume() const {
    std::lock_guard<std::mutex> hold(lock_);
    return mixer_.Volume();
}

void SoundPlayer::StreamHead(int stream, const uint8_t* body, size_t size) {
    StreamFormat format;
    if (!SndParseStreamHead(body, size, &format))
        return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        Advance();
        if (!mixer_.StreamOpen(stream))
            return;
    }
    std::unique_ptr<StreamDecoder>& d = decoders_[stream];
    if (!d)
        d = std::make_unique<StreamDecoder>();
    d->Start(format);
}

void SoundPlayer::StreamBlock(int stream, const uint8_t* body, size_t size) {
    auto it = decoders_.find(stream);
    if (it == decoders_.end())
        return;
    StreamDecoder& d = *it->second;
    scratch_.clear();
    // One block never holds more than the queue may.
    const size_t limit = static_cast<size_t>(SND_MAX_QUEUED_SECONDS) * 48000;
    const size_t frames = d.Block(body, size, limit, &scratch_);
    std::lock_guard<std::mutex> hold(lock_);
    Advance();
    if (frames)
        mixer_.StreamAppend(stream, scratch_.data(), frames, d.Rate(), d.Channels());
}

void SoundPlayer::StopStream(int stream) {
    auto it = decoders_.find(stream);
    if (it == decoders_.end())
        return;
    it->second->Seek();
    std::lock_guard<std::mutex> hold(lock_);
    Advance();
    mixer_.StreamDrop(stream);
}

void SoundPlayer::EndStream(int stream) {
    auto it = decoders_.find(stream);
    if (it == decoders_.end())
        return;
    it->second->Close();
    decoders_.erase(it);
    std::lock_guard<std::mutex> hold(lock_);
    mixer_.StreamClose(stream);
}

double SoundPlayer::StreamSeconds(int stream) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (!mixer_.StreamKnown(stream))
        return -1;
    Advance();
    return mixer_.StreamHeardSeconds(stream, PlayedFrames());
}

double SoundPlayer::StreamQueuedSeconds(int stream) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (!mixer_.StreamKnown(stream))
        return -1;
    return mixer_.StreamQueuedSeconds(stream);
}

size_t SoundPlayer::DecodedBytes() const {
    return decodedBytes_;
}

} // namespace snd
