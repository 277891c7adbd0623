// mvPlayer: one movie being played: the loaded Movie, its Stage (display
// list and timelines) and the Renderer, with the frame clock that turns
// elapsed time into timeline steps.
//
// Call order: Load (bytes are copied; the result is SWF_OK or an SWF_ERR_
// code, with errorText set), Start, then per wake-up Due(now) timeline steps
// via Step, and Draw when Changed(). Release frees everything; safe twice.
#pragma once

#include "player/display.h"
#include "player/movie.h"
#include "player/renderer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class mvPlayer {
public:
    mvPlayer();
    ~mvPlayer();

    int Load(const uint8_t* data, size_t size);
    void Start();
    void Step();
    // Draws into the canvas and clears the changed flag.
    void Draw(const Canvas& canvas);
    bool Changed() const { return stage_ && stage_->changed; }
    // Nothing will move until something from outside changes the movie (no script engine yet).
    bool Still() const { return !stage_ || !stage_->root || stage_->root->Still(); }
    void Release();

    // Milliseconds per frame from the header's rate (12 frames a second when it gives none).
    double FramePeriod() const;
    bool Loaded() const { return loaded_; }
    Movie& GetMovie() { return movie_; }
    Stage* GetStage() { return stage_.get(); }
    void SetVariables(std::vector<std::pair<std::string, std::string>> pairs);

    std::string errorText;

private:
    Movie movie_;
    std::unique_ptr<Stage> stage_;
    Renderer renderer_;
    bool loaded_ = false;
    std::vector<std::pair<std::string, std::string>> variables_;
};

// Milliseconds from the performance counter.
double ClockMs();

// The frame clock: frames are due at fixed times from the start, so that
// waiting and drawing never make the movie drift.
class FrameClock {
public:
    void Start(double nowMs, double periodMs);
    // Timeline steps due by now; when far behind, the clock catches up
    // without replaying more than maxSteps at once.
    int Due(double nowMs, int maxSteps = 8);
    // Milliseconds until the next step is due (0 when one is due now).
    double Wait(double nowMs) const;

private:
    double start_ = 0, period_ = 1000.0 / 12;
    int64_t done_ = 0;
};
