#include "player/sound/waveout.h"

#include "player/sound/sounddefs.h"

#include <mmsystem.h>

namespace snd {

bool WaveOut::Open(RenderFn render, void* context) {
    if (device_ || !render || waveOutGetNumDevs() == 0)
        return false;
    render_ = render;
    context_ = context;
    event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!event_)
        return false;
    WAVEFORMATEX format = {};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = SND_OUTPUT_RATE;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = SND_OUTPUT_RATE * 4;
    if (waveOutOpen(&device_, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(event_), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
        device_ = nullptr;
        Close();
        return false;
    }
    for (int i = 0; i < kBuffers; ++i) {
        buffers_[i].assign(kBufferFrames * 2, 0);
        headers_[i] = WAVEHDR();
        headers_[i].lpData = reinterpret_cast<LPSTR>(buffers_[i].data());
        headers_[i].dwBufferLength = static_cast<DWORD>(kBufferFrames * 4);
        if (waveOutPrepareHeader(device_, &headers_[i], sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
            Close();
            return false;
        }
    }
    stop_ = 0;
    lastPosition_ = 0;
    played_ = 0;
    for (int i = 0; i < kBuffers; ++i)
        Fill(i);
    thread_ = CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr);
    if (!thread_) {
        Close();
        return false;
    }
    SetThreadPriority(thread_, THREAD_PRIORITY_HIGHEST);
    return true;
}

void WaveOut::Fill(int i) {
    render_(context_, buffers_[i].data(), kBufferFrames);
    waveOutWrite(device_, &headers_[i], sizeof(WAVEHDR));
}

DWORD WINAPI WaveOut::ThreadMain(void* param) {
    WaveOut* self = static_cast<WaveOut*>(param);
    while (!self->stop_) {
        WaitForSingleObject(self->event_, 100);
        for (int i = 0; i < kBuffers && !self->stop_; ++i) {
            if (self->headers_[i].dwFlags & WHDR_DONE)
                self->Fill(i);
        }
    }
    return 0;
}

uint64_t WaveOut::PlayedFrames() {
    if (!device_)
        return played_;
    MMTIME t = {};
    t.wType = TIME_SAMPLES;
    if (waveOutGetPosition(device_, &t, sizeof(t)) != MMSYSERR_NOERROR)
        return played_;
    const DWORD now = t.wType == TIME_SAMPLES ? t.u.sample : t.wType == TIME_BYTES ? t.u.cb / 4 : lastPosition_;
    played_ += static_cast<DWORD>(now - lastPosition_); // the counter wraps after 27 hours
    lastPosition_ = now;
    return played_;
}

void WaveOut::Close() {
    if (thread_) {
        InterlockedExchange(&stop_, 1);
        SetEvent(event_);
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    if (device_) {
        waveOutReset(device_);
        for (int i = 0; i < kBuffers; ++i) {
            if (headers_[i].dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(device_, &headers_[i], sizeof(WAVEHDR));
        }
        waveOutClose(device_);
        device_ = nullptr;
    }
    for (int i = 0; i < kBuffers; ++i) {
        headers_[i] = WAVEHDR();
        std::vector<int16_t>().swap(buffers_[i]);
    }
    if (event_) {
        CloseHandle(event_);
        event_ = nullptr;
    }
}

} // namespace snd
