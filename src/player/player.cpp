#include "player/player.h"

#include <windows.h>

#include <cmath>

double ClockMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return c.QuadPart * 1000.0 / f.QuadPart;
}

mvPlayer::mvPlayer() = default;

mvPlayer::~mvPlayer() { Release(); }

void mvPlayer::Release() {
    stage_.reset();
    renderer_.Release();
    movie_.Release();
    loaded_ = false;
}

int mvPlayer::Load(const uint8_t* data, size_t size) {
    Release();
    int result = movie_.Load(data, size);
    if (result != SWF_OK) {
        errorText = SwfErrorText(result);
        movie_.Release();
        return result;
    }
    loaded_ = true;
    stage_ = std::make_unique<Stage>(&movie_);
    stage_->variables = variables_;
    return SWF_OK;
}

void mvPlayer::SetVariables(std::vector<std::pair<std::string, std::string>> pairs) {
    variables_ = std::move(pairs);
    if (stage_)
        stage_->variables = variables_;
}

void mvPlayer::Start() {
    if (stage_)
        stage_->Start();
}

void mvPlayer::Step() {
    if (stage_) {
        stage_->Tick();
        stage_->pendingActions.clear(); // no script engine yet: frame scripts are skipped
    }
}

void mvPlayer::Draw(const Canvas& canvas) {
    if (!stage_)
        return;
    renderer_.Render(*stage_, canvas);
    stage_->changed = false;
}

double mvPlayer::FramePeriod() const {
    float rate = movie_.header.frameRate;
    if (!(rate >= 0.01f))
        rate = 12;
    if (rate > 120)
        rate = 120;
    return 1000.0 / rate;
}

void FrameClock::Start(double now, double period) {
    start_ = now;
    period_ = period;
    done_ = 0;
}

int FrameClock::Due(double now, int maxSteps) {
    int64_t target = static_cast<int64_t>(std::floor((now - start_) / period_));
    int64_t due = target - done_;
    if (due <= 0)
        return 0;
    if (due > maxSteps) {
        // Too far behind (a stall, a suspended machine): play on from here.
        done_ = target;
        return maxSteps;
    }
    done_ = target;
    return static_cast<int>(due);
}

double FrameClock::Wait(double now) const {
    double next = start_ + (done_ + 1) * period_;
    return next > now ? next - now : 0;
}
