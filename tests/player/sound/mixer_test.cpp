// The mixer renders into buffers: sounds together, envelopes, loops, in- and
// out-points, stopping, volume, clipping, resampling and streams.
#include "player/sound/mixer.h"
#include "soundtest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

using namespace soundtest;
using snd::Mixer;
using snd::SoundClip;
using snd::SoundStyle;

std::shared_ptr<const SoundClip> Clip(std::vector<int16_t> samples, int channels = 1, int rate = 44100) {
    auto c = std::make_shared<SoundClip>();
    c->rate = rate;
    c->channels = channels;
    c->frames = samples.size() / channels;
    c->samples = std::move(samples);
    return c;
}

std::vector<int16_t> Render(Mixer* m, size_t frames) {
    std::vector<int16_t> out(2 * frames);
    m->Render(out.data(), frames);
    return out;
}

std::vector<int16_t> Ramp(int n, int start = 0, int step = 1) {
    std::vector<int16_t> r;
    for (int i = 0; i < n; ++i)
        r.push_back(static_cast<int16_t>(start + i * step));
    return r;
}

TEST(SoundMixer, TwoSoundsPlayTogetherAndEndOnTheirOwn) {
    Mixer m;
    EXPECT_GT(m.Play(1, Clip(std::vector<int16_t>(100, 1000)), SoundStyle()), 0);
    EXPECT_GT(m.Play(2, Clip({2000, -500, 2000, -500, 2000, -500}, 2), SoundStyle()), 0); // 3 stereo frames
    std::vector<int16_t> out = Render(&m, 200);
    EXPECT_EQ(out[0], 3000);
    EXPECT_EQ(out[1], 500);
    EXPECT_EQ(out[2 * 2], 3000);
    EXPECT_EQ(out[2 * 3], 1000); // the stereo sound is over
    EXPECT_EQ(out[2 * 3 + 1], 1000);
    EXPECT_EQ(out[2 * 99], 1000);
    EXPECT_EQ(out[2 * 100], 0);
    EXPECT_EQ(m.VoiceCount(), 0);
}

TEST(SoundMixer, LoudSoundsClip) {
    Mixer m;
    for (uint16_t id = 1; id <= 3; ++id)
        m.Play(id, Clip(std::vector<int16_t>(10, -30000)), SoundStyle());
    std::vector<int16_t> out = Render(&m, 1);
    EXPECT_EQ(out[0], -32768);
    Mixer n;
    n.Play(1, Clip(std::vector<int16_t>(10, 30000)), SoundStyle());
    n.Play(2, Clip(std::vector<int16_t>(10, 30000)), SoundStyle());
    EXPECT_EQ(Render(&n, 1)[0], 32767);
}

TEST(SoundMixer, LoopsRepeatBetweenTheInAndOutPoints) {
    Mixer m;
    SoundStyle style;
    style.loops = 3;
    style.hasInPoint = style.hasOutPoint = true;
    style.inPoint = 10;
    style.outPoint = 19; // the last sample played
    m.Play(1, Clip(Ramp(100)), style);
    std::vector<int16_t> out = Render(&m, 40);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(out[2 * i], 10 + i % 10) << i;
    EXPECT_EQ(out[2 * 30], 0);
    EXPECT_EQ(m.VoiceCount(), 0);
}

TEST(SoundMixer, PointsPastTheSoundAreCut) {
    Mixer m;
    SoundStyle style;
    style.hasOutPoint = true;
    style.outPoint = 0xFFFFFFFF;
    EXPECT_GT(m.Play(1, Clip(Ramp(5, 1)), style), 0);
    std::vector<int16_t> out = Render(&m, 8);
    EXPECT_EQ(out[2 * 4], 5);
    EXPECT_EQ(out[2 * 5], 0);
    style.hasInPoint = true;
    style.inPoint = 5;
    EXPECT_EQ(m.Play(1, Clip(Ramp(5, 1)), style), 0); // nothing left to play
    EXPECT_EQ(m.Play(1, Clip(Ramp(5, 1)), SoundStyle(), 99), 0);
}

TEST(SoundMixer, EnvelopeScalesEachChannelAlongTheSound) {
    // Left fades in over 4410 samples while right fades out; mono sounds take the average.
    SoundStyle style;
    style.envelope = {{0, 0, 32768}, {4410, 32768, 0}};
    struct Case {
        int channels;
        size_t frame;
        int left, right;
    } const cases[] = {
        {2, 0, 0, 10000},    {2, 2205, 5000, 5000}, {2, 1000, 2267, 7732}, {2, 4410, 10000, 0},
        {2, 8000, 10000, 0}, {1, 0, 5000, 5000},    {1, 3000, 5000, 5000},
    };
    for (const Case& c : cases) {
        Mixer m;
        m.Play(1, Clip(std::vector<int16_t>(20000 * c.channels, 10000), c.channels), style);
        std::vector<int16_t> out = Render(&m, 10000);
        EXPECT_NEAR(out[2 * c.frame], c.left, 2) << c.channels << " channels, frame " << c.frame;
        EXPECT_NEAR(out[2 * c.frame + 1], c.right, 2) << c.channels << " channels, frame " << c.frame;
    }
}

TEST(SoundMixer, EnvelopeLevelsPastFullAreFull) {
    Mixer m;
    SoundStyle style;
    style.envelope = {{0, 65535, 40000}};
    m.Play(1, Clip(std::vector<int16_t>(10, 30000), 1), style);
    m.Play(2, Clip({-30000, 30000}, 2), style);
    std::vector<int16_t> out = Render(&m, 1);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 32767);
}

TEST(SoundMixer, EnvelopeTimeRunsOnAcrossLoopsFromTheInPoint) {
    Mixer m;
    SoundStyle style;
    style.loops = 2;
    style.hasInPoint = true;
    style.inPoint = 1000; // 44.1 kHz sound: envelope time starts at 1000
    style.envelope = {{1000, 32768, 32768}, {3000, 0, 0}};
    m.Play(1, Clip(std::vector<int16_t>(2000, 8000)), style);
    std::vector<int16_t> out = Render(&m, 2100);
    EXPECT_NEAR(out[0], 8000, 2);
    EXPECT_NEAR(out[2 * 500], 6000, 2);
    EXPECT_NEAR(out[2 * 999], 4004, 8);
    EXPECT_NEAR(out[2 * 1000], 4000, 8); // the second loop goes on fading
    EXPECT_LE(out[2 * 1999], 8);
    EXPECT_EQ(out[2 * 2000], 0);
}

TEST(SoundMixer, StopAndVolume) {
    Mixer m;
    const int a = m.Play(1, Clip(std::vector<int16_t>(1000, 1000)), SoundStyle());
    const int b = m.Play(2, Clip(std::vector<int16_t>(1000, 2000)), SoundStyle());
    m.Play(2, Clip(std::vector<int16_t>(1000, 4000)), SoundStyle());
    EXPECT_TRUE(m.SoundPlaying(2));
    EXPECT_EQ(Render(&m, 1)[0], 7000);
    m.StopSound(2); // every voice of the sound
    EXPECT_FALSE(m.SoundPlaying(2));
    EXPECT_FALSE(m.VoicePlaying(b));
    EXPECT_EQ(Render(&m, 1)[0], 1000);
    m.SetVolume(50);
    EXPECT_EQ(Render(&m, 1)[0], 500);
    m.SetVolume(-20);
    EXPECT_EQ(Render(&m, 1)[0], 0);
    m.SetVolume(250);
    EXPECT_EQ(m.Volume(), 100);
    EXPECT_EQ(Render(&m, 1)[0], 1000);
    m.StopVoice(a);
    EXPECT_EQ(Render(&m, 1)[0], 0);
}

TEST(SoundMixer, VoicesAreBounded) {
    Mixer m;
    for (int i = 0; i < snd::SND_MAX_VOICES; ++i)
        EXPECT_GT(m.Play(1, Clip({1, 1}), SoundStyle()), 0);
    EXPECT_EQ(m.Play(1, Clip({1, 1}), SoundStyle()), 0);
    m.StopVoices();
    EXPECT_GT(m.Play(1, Clip({1, 1}), SoundStyle()), 0);
}

TEST(SoundMixer, ResamplesEveryRateToTheOutput) {
    struct Case {
        int rate;
    } const cases[] = {{5512}, {11025}, {22050}, {44100}, {48000}, {8000}};
    for (const Case& c : cases) {
        Mixer m;
        const size_t frames = c.rate / 2; // half a second
        m.Play(1, Clip(Sine(c.rate, 440, 0.5, frames, 2, 880), 2, c.rate), SoundStyle());
        std::vector<int16_t> out = Render(&m, 30000);
        // It lasts half a second at the output rate, at the same pitch.
        size_t last = 0;
        for (size_t i = 0; i < 30000; ++i) {
            if (out[2 * i] != 0 || out[2 * i + 1] != 0)
                last = i;
        }
        EXPECT_NEAR(static_cast<double>(last), 22050, 3) << c.rate;
        EXPECT_NEAR(Frequency(out, 2, 0, 100, 22000, 44100), 440, 2) << c.rate;
        EXPECT_NEAR(Frequency(out, 2, 1, 100, 22000, 44100), 880, 4) << c.rate;
        EXPECT_NEAR(Rms(out, 2, 0, 100, 22000), 16383 / std::sqrt(2.0), 300) << c.rate;
    }
}

TEST(SoundMixer, InterpolatesBetweenSourceSamples) {
    Mixer m;
    m.Play(1, Clip({0, 4000, 8000}, 1, 11025), SoundStyle());
    std::vector<int16_t> out = Render(&m, 13);
    const int expected[] = {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 8000, 8000, 8000, 0};
    for (int i = 0; i < 13; ++i)
        EXPECT_NEAR(out[2 * i], expected[i], 1) << i;
}

TEST(SoundMixer, AdvancingWithoutOutputKeepsThePlace) {
    // Silent mode only moves time on; a voice must stand where mixing would have left it.
    SoundStyle style;
    style.loops = 5;
    style.hasInPoint = true;
    style.inPoint = 3;
    for (size_t skip : {size_t(0), size_t(1), size_t(250), size_t(997), size_t(1000), size_t(2994)}) {
        Mixer a, b;
        a.Play(1, Clip(Ramp(200), 1, 22050), style);
        b.Play(1, Clip(Ramp(200), 1, 22050), style);
        a.Render(nullptr, skip);
        std::vector<int16_t> fromA = Render(&a, 20);
        std::vector<int16_t> fromB = Render(&b, skip + 20);
        EXPECT_EQ(fromA, std::vector<int16_t>(fromB.end() - 40, fromB.end())) << skip;
    }
    Mixer m;
    m.Play(1, Clip(Ramp(200), 1, 22050), style);
    m.Render(nullptr, 5 * 394 - 1); // five loops of 197 samples at half the output rate
    EXPECT_EQ(m.VoiceCount(), 1);
    m.Render(nullptr, 2);
    EXPECT_EQ(m.VoiceCount(), 0);
}

TEST(SoundMixer, SilentClipsKeepTimeWithoutSound) {
    auto silent = std::make_shared<SoundClip>();
    silent->rate = 22050;
    silent->frames = 100;
    Mixer m;
    const int h = m.Play(1, silent, SoundStyle());
    std::vector<int16_t> out = Render(&m, 199);
    EXPECT_EQ(out[0], 0);
    EXPECT_TRUE(m.VoicePlaying(h));
    Render(&m, 2);
    EXPECT_FALSE(m.VoicePlaying(h));
}

TEST(SoundMixer, StreamsPlayWhatIsQueuedAndWaitWhenDry) {
    Mixer m;
    ASSERT_TRUE(m.StreamOpen(0));
    EXPECT_EQ(m.StreamHeardSeconds(0, 0), 0);
    std::vector<int16_t> block(441, 1234);
    m.StreamAppend(0, block.data(), 441, 44100, 1);
    m.StreamAppend(0, block.data(), 441, 44100, 1);
    std::vector<int16_t> out = Render(&m, 600);
    EXPECT_EQ(out[0], 1234);
    EXPECT_EQ(out[1], 1234);
    EXPECT_NEAR(m.StreamHeardSeconds(0, m.Mixed()), 600 / 44100.0, 1e-9);
    out = Render(&m, 600);
    EXPECT_EQ(out[2 * 281], 1234);
    EXPECT_EQ(out[2 * 282], 0); // ran dry: holds still
    EXPECT_NEAR(m.StreamHeardSeconds(0, m.Mixed()), 0.02, 1e-9);
    EXPECT_NEAR(m.StreamQueuedSeconds(0), 0.02, 1e-9);
    m.StreamAppend(0, block.data(), 441, 44100, 1);
    out = Render(&m, 10);
    EXPECT_EQ(out[0], 1234);
}

TEST(SoundMixer, StreamPositionFollowsTheFrameBeingHeard) {
    // Rendered ahead of the device: the position at an earlier output frame lies between renders.
    Mixer m;
    m.Render(nullptr, 1000); // a stream opened later starts at this point
    m.StreamOpen(3);
    std::vector<int16_t> block(22050 * 2, 100);
    m.StreamAppend(3, block.data(), 22050, 22050, 2);
    m.Render(nullptr, 4410);
    m.Render(nullptr, 4410);
    EXPECT_NEAR(m.StreamHeardSeconds(3, 500), 0, 1e-9);
    EXPECT_NEAR(m.StreamHeardSeconds(3, 1000 + 2205), 0.05, 1e-4);
    EXPECT_NEAR(m.StreamHeardSeconds(3, 1000 + 6615), 0.15, 1e-4);
    EXPECT_NEAR(m.StreamHeardSeconds(3, 1000 + 8820), 0.2, 1e-4);
    EXPECT_NEAR(m.StreamHeardSeconds(3, 99999), 0.2, 1e-4);
}

TEST(SoundMixer, StreamDropsCountAsHeardAndTheQueueIsBounded) {
    Mixer m;
    m.StreamOpen(1);
    std::vector<int16_t> second(11025, 7);
    for (int i = 0; i < snd::SND_MAX_QUEUED_SECONDS + 5; ++i)
        m.StreamAppend(1, second.data(), 11025, 11025, 1);
    EXPECT_NEAR(m.StreamQueuedSeconds(1), snd::SND_MAX_QUEUED_SECONDS + 5, 1e-9);
    EXPECT_NEAR(m.StreamHeardSeconds(1, m.Mixed()), 5, 1e-9); // the oldest were let go
    m.StreamDrop(1);
    EXPECT_NEAR(m.StreamHeardSeconds(1, m.Mixed()), snd::SND_MAX_QUEUED_SECONDS + 5, 1e-9);
    EXPECT_EQ(Render(&m, 10)[0], 0);
    // A new format starts the queue afresh.
    std::vector<int16_t> stereo(200, -3);
    m.StreamAppend(1, stereo.data(), 100, 22050, 2);
    std::vector<int16_t> out = Render(&m, 10);
    EXPECT_EQ(out[0], -3);
    m.StreamClose(1);
    EXPECT_FALSE(m.StreamKnown(1));
    EXPECT_EQ(m.StreamHeardSeconds(1, 0), 0);
}

TEST(SoundMixer, StreamsAreBounded) {
    Mixer m;
    for (int i = 0; i < snd::SND_MAX_STREAMS; ++i)
        EXPECT_TRUE(m.StreamOpen(i));
    EXPECT_FALSE(m.StreamOpen(snd::SND_MAX_STREAMS));
    EXPECT_TRUE(m.StreamOpen(0)); // a restart is no new stream
}

TEST(SoundMixer, StreamsAndSoundsMix) {
    Mixer m;
    m.StreamOpen(0);
    std::vector<int16_t> block(100, 300);
    m.StreamAppend(0, block.data(), 100, 44100, 1);
    m.Play(1, Clip(std::vector<int16_t>(100, 20)), SoundStyle());
    m.SetVolume(50);
    std::vector<int16_t> out = Render(&m, 2);
    EXPECT_EQ(out[0], 160);
    EXPECT_EQ(out[1], 160);
}

} // namespace
