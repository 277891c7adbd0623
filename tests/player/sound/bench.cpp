// Speed of the sound library: decoding each format and mixing voices, in
// multiples of real time (how many seconds of sound one second of CPU gives).
#include "player/sound/decode.h"
#include "player/sound/mixer.h"
#include "soundtest.h"

#include <windows.h>

#include <cstdio>
#include <memory>

namespace {

using namespace soundtest;

// CPU time of this thread in seconds (100 ns units underneath).
double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    auto s = [](const FILETIME& t) { return (uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7; };
    return s(kernel) + s(user);
}

template <class F> double Measure(double audioSeconds, F work) {
    int runs = 0;
    const double start = CpuSeconds();
    double used = 0;
    do {
        work();
        ++runs;
        used = CpuSeconds() - start;
    } while (used < 0.5);
    return audioSeconds * runs / used;
}

void Decode(const char* name, const snd::SoundDefinition& def, double seconds) {
    const double speed = Measure(seconds, [&] {
        snd::SoundClip clip;
        snd::SndDecodeSound(def, snd::SND_MAX_FRAMES, &clip);
    });
    std::printf("decode %-28s %8.0f x real time\n", name, speed);
}

} // namespace

int main() {
    const std::vector<int16_t> sine = Sine(44100, 440, 0.5, 44100 * 5, 2, 660);
    const Bytes pcm = DefineSoundBody(1, 3, 3, true, true, 44100 * 5, Pcm16(sine));
    std::vector<int16_t> ignored;
    const Bytes adpcm = DefineSoundBody(1, 1, 3, true, true, 44100 * 5, AdpcmEncode(sine, 2, 4, &ignored));
    const Bytes file = Mp3Fixture("stereo44");
    const Bytes mp3 = DefineSoundBody(1, 2, 3, true, true, 22050, Cat({0, 0}, file));
    snd::SoundDefinition def;
    snd::SndParseDefineSound(pcm.data(), pcm.size(), &def);
    Decode("16-bit stereo 44.1 kHz", def, 5);
    snd::SndParseDefineSound(adpcm.data(), adpcm.size(), &def);
    Decode("ADPCM 4-bit stereo 44.1 kHz", def, 5);
    snd::SndParseDefineSound(mp3.data(), mp3.size(), &def);
    Decode("MP3 128 kbit/s stereo 44.1 kHz", def, 0.5);

    auto clip = std::make_shared<snd::SoundClip>();
    clip->rate = 22050;
    clip->channels = 2;
    clip->frames = 22050 * 5;
    clip->samples = Sine(22050, 440, 0.1, clip->frames, 2);
    std::vector<int16_t> out(2 * 2205);
    for (int voices : {1, 8, 32}) {
        snd::SoundStyle style;
        style.loops = 1000;
        style.envelope = {{0, 0, 0}, {44100, 32768, 32768}};
        snd::Mixer m;
        for (int i = 0; i < voices; ++i)
            m.Play(1, clip, style);
        const double speed = Measure(0.05, [&] { m.Render(out.data(), 2205); });
        std::printf("mix %2d voices (22.05 kHz stereo, envelope) %8.0f x real time\n", voices, speed);
    }
    return 0;
}
