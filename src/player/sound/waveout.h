// WaveOut: the sound device through waveOut, fed by a thread of its own.
//
// Open starts 16-bit stereo output at SND_OUTPUT_RATE with four buffers of
// 50 ms and a thread that refills each buffer as the device returns it, by
// calling the render function (on that thread; it must not call back into
// WaveOut). It returns false, having started nothing, when there is no
// device or the device refuses the format. Close stops the thread, returns
// the buffers and closes the device; it is safe twice and must not be called
// while holding a lock that the render function takes.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace snd {

class WaveOut {
public:
    using RenderFn = void (*)(void* context, int16_t* out, size_t frames);

    WaveOut() = default;
    ~WaveOut() { Close(); }
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    bool Open(RenderFn render, void* context);
    void Close();
    bool IsOpen() const { return device_ != nullptr; }
    // Output frames the device has played since Open (not thread-safe:
    // one caller thread).
    uint64_t PlayedFrames();

    static constexpr int kBuffers = 4;
    static constexpr size_t kBufferFrames = 2205; // 50 ms

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Fill(int i);

    HWAVEOUT device_ = nullptr;
    HANDLE event_ = nullptr;
    HANDLE thread_ = nullptr;
    volatile LONG stop_ = 0;
    RenderFn render_ = nullptr;
    void* context_ = nullptr;
    WAVEHDR headers_[kBuffers] = {};
    std::vector<int16_t> buffers_[kBuffers];
    DWORD lastPosition_ = 0;
    uint64_t played_ = 0;
};

} // namespace snd
