// SoundPlayer from tag bodies to samples (manual mode renders into a buffer),
// the clock of silent mode, and the device or its absence under Wine.
#include "player/sound/soundplayer.h"
#include "soundtest.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

using namespace soundtest;
using snd::SoundPlayer;

std::vector<int16_t> Render(SoundPlayer* p, size_t frames) {
    std::vector<int16_t> out(2 * frames);
    p->Render(out.data(), frames);
    return out;
}

void Define(SoundPlayer* p, const Bytes& body) {
    p->DefineSound(body.data(), body.size());
}

void Start(SoundPlayer* p, uint16_t id, const Info& info = Info()) {
    const Bytes body = StartSoundBody(id, info);
    p->StartSound(body.data(), body.size());
}

void Head(SoundPlayer* p, int stream, const Bytes& body) {
    p->StreamHead(stream, body.data(), body.size());
}

void Block(SoundPlayer* p, int stream, const Bytes& body) {
    p->StreamBlock(stream, body.data(), body.size());
}

TEST(SoundPlayer, StartSoundPlaysStopsAndSkipsByItsFlags) {
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    Define(&p, DefineSoundBody(5, 3, 3, true, false, 1000, Pcm16(std::vector<int16_t>(1000, 1000))));
    Start(&p, 5);
    Info once;
    once.noMultiple = true;
    Start(&p, 5, once); // already playing: not again
    EXPECT_EQ(Render(&p, 1)[0], 1000);
    Start(&p, 5);
    EXPECT_EQ(Render(&p, 1)[0], 2000);
    Info stop;
    stop.stop = true;
    Start(&p, 5, stop);
    EXPECT_EQ(Render(&p, 1)[0], 0);
    Start(&p, 5, once);
    EXPECT_EQ(Render(&p, 1)[0], 1000);
    Start(&p, 77); // never defined
    EXPECT_EQ(Render(&p, 1)[0], 1000);
}

TEST(SoundPlayer, StartSoundTellsTheBytesItTook) {
    // The sound entries of a DefineButtonSound body are id and SOUNDINFO pairs like StartSound's.
    Info looped;
    looped.loops = 2;
    Info enveloped;
    enveloped.hasEnvelope = true;
    enveloped.envelope = {{0, 1, 1}, {10, 2, 2}};
    const Bytes first = StartSoundBody(5, looped), second = StartSoundBody(6, enveloped);
    const Bytes body = Cat(first, second);
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    const size_t used = p.StartSound(body.data(), body.size());
    EXPECT_EQ(used, first.size());
    EXPECT_EQ(p.StartSound(body.data() + used, body.size() - used), second.size());
    EXPECT_EQ(p.StartSound(body.data(), 2), 0u);
}

TEST(SoundPlayer, TheFirstDefinitionOfAnIdWins) {
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    Define(&p, DefineSoundBody(5, 3, 3, true, false, 10, Pcm16(std::vector<int16_t>(10, 1))));
    Define(&p, DefineSoundBody(5, 3, 3, true, false, 10, Pcm16(std::vector<int16_t>(10, 2))));
    Start(&p, 5);
    EXPECT_EQ(Render(&p, 1)[0], 1);
}

TEST(SoundPlayer, SoundInfoPointsLoopsAndEnvelopeFromTheTag) {
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    std::vector<int16_t> ramp;
    for (int i = 0; i < 200; ++i)
        ramp.push_back(static_cast<int16_t>(100 * i));
    // 22 kHz: every source sample lasts two output frames.
    Define(&p, DefineSoundBody(2, 3, 2, true, false, 200, Pcm16(ramp)));
    Info info;
    info.inPoint = 10;
    info.outPoint = 14;
    info.loops = 2;
    info.hasEnvelope = true;
    info.envelope = {{0, 16384, 16384}};
    Start(&p, 2, info);
    std::vector<int16_t> out = Render(&p, 24);
    const int expected[] = {500, 525, 550, 575, 600, 625, 650, 675, 700, 700, 500, 525};
    for (int i = 0; i < 12; ++i)
        EXPECT_NEAR(out[2 * i], expected[i], 1) << i;
    EXPECT_NEAR(out[2 * 19], 700, 1);
    EXPECT_EQ(out[2 * 20], 0);
}

TEST(SoundPlayer, ScriptsStartSoundsByIdWithLoopsAndOffset) {
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    std::vector<int16_t> ramp;
    for (int i = 0; i < 441; ++i)
        ramp.push_back(static_cast<int16_t>(i));
    Define(&p, DefineSoundBody(8, 3, 3, true, false, 441, Pcm16(ramp)));
    EXPECT_EQ(p.StartSoundById(9, 1, 0), 0);
    const int h = p.StartSoundById(8, 2, 0.005); // from sample 220, twice
    ASSERT_GT(h, 0);
    EXPECT_TRUE(p.IsPlaying(h));
    std::vector<int16_t> out = Render(&p, 500);
    EXPECT_EQ(out[0], 220);
    EXPECT_EQ(out[2 * 220], 440);
    EXPECT_EQ(out[2 * 221], 220);
    EXPECT_EQ(out[2 * 441], 440);
    EXPECT_EQ(out[2 * 442], 0);
    EXPECT_FALSE(p.IsPlaying(h));
    const int again = p.StartSoundById(8, 0, -4);
    EXPECT_EQ(Render(&p, 1)[0], 0);
    p.StopSoundById(8);
    EXPECT_FALSE(p.IsPlaying(again));
    EXPECT_EQ(p.StartSoundById(8, 1, 1e300), 0); // past the end
}

TEST(SoundPlayer, StopAllAndVolume) {
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    Define(&p, DefineSoundBody(1, 3, 3, true, false, 100, Pcm16(std::vector<int16_t>(100, 800))));
    Head(&p, 0, StreamHeadBody(3, 3, true, false, 100));
    Block(&p, 0, Pcm16(std::vector<int16_t>(100, 200)));
    Start(&p, 1);
    p.SetVolume(25);
    EXPECT_EQ(p.Volume(), 25);
    EXPECT_EQ(Render(&p, 1)[0], 250);
    p.StopAll();
    EXPECT_EQ(Render(&p, 1)[0], 0);
    EXPECT_NEAR(p.StreamSeconds(0), 100 / 44100.0, 1e-9); // the dropped frames count as heard
    Block(&p, 0, Pcm16(std::vector<int16_t>(100, 200)));
    EXPECT_EQ(Render(&p, 1)[0], 50); // the stream goes on with its next block
}

TEST(SoundPlayer, StreamsOfEveryFormatAdvanceByTheirBlocks) {
    // One stream per timeline, each its own format: their sum is what is heard.
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    EXPECT_EQ(p.StreamSeconds(1), -1);
    Head(&p, 1, StreamHeadBody(3, 1, true, false, 1102)); // 11 kHz, 16-bit
    Head(&p, 2, StreamHeadBody(0, 2, false, true, 2205)); // 22 kHz, 8-bit stereo
    std::vector<int16_t> expected;
    const Bytes adpcm = AdpcmEncode(std::vector<int16_t>(4410, 0), 1, 4, &expected);
    Head(&p, 3, StreamHeadBody(1, 3, true, false, 4410)); // 44 kHz ADPCM
    Head(&p, 4, StreamHeadBody(6, 2, true, false, 2205)); // Nellymoser: silence
    for (int frame = 0; frame < 2; ++frame) {
        Block(&p, 1, Pcm16(std::vector<int16_t>(1102, 1000)));
        Block(&p, 2, Pcm8(std::vector<uint8_t>(2 * 2205, 128 + 4)));
        Block(&p, 3, adpcm);
        Block(&p, 4, {1, 2, 3});
    }
    EXPECT_NEAR(p.StreamQueuedSeconds(1), 2 * 1102 / 11025.0, 1e-9);
    EXPECT_NEAR(p.StreamQueuedSeconds(2), 0.2, 1e-9);
    EXPECT_NEAR(p.StreamQueuedSeconds(3), 0.2, 1e-9);
    EXPECT_NEAR(p.StreamQueuedSeconds(4), 0.2, 1e-9);
    std::vector<int16_t> out = Render(&p, 4410);
    EXPECT_EQ(out[2 * 100], 1000 + 1024);
    EXPECT_EQ(out[2 * 100 + 1], 1000 + 1024);
    for (int s = 2; s <= 4; ++s)
        EXPECT_NEAR(p.StreamSeconds(s), 0.1, 1e-9) << s;
    Render(&p, 44100);
    EXPECT_NEAR(p.StreamSeconds(1), 2 * 1102 / 11025.0, 1e-9);
    EXPECT_NEAR(p.StreamSeconds(3), 0.2, 1e-9);
    // A new head restarts its stream; an ended stream is gone.
    Head(&p, 3, StreamHeadBody(3, 3, true, false, 10));
    EXPECT_EQ(p.StreamSeconds(3), 0);
    p.EndStream(3);
    EXPECT_EQ(p.StreamSeconds(3), -1);
    Block(&p, 3, Pcm16({1, 2, 3}));
    EXPECT_EQ(p.StreamQueuedSeconds(3), -1);
}

TEST(SoundPlayer, Mp3StreamSkipsItsSeekSamplesAfterAJump) {
    const std::vector<Bytes> frames = Mp3Frames(Mp3Fixture("mono22"));
    ASSERT_GT(frames.size(), 8u);
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    Head(&p, 0, StreamHeadBody(2, 2, true, false, 576, 100));
    for (int i = 0; i < 4; ++i)
        Block(&p, 0, Mp3StreamBlock(576, i == 0 ? 100 : 0, frames[i]));
    const double before = p.StreamQueuedSeconds(0);
    EXPECT_GT(before, (4 * 576 - 100 - 2 * 576) / 22050.0);
    EXPECT_LE(before, (4 * 576 - 100) / 22050.0 + 1e-9);
    // The timeline jumps: what was queued goes, and the next block skips its
    // SeekSamples plus the latency.
    p.StopStream(0);
    Block(&p, 0, Mp3StreamBlock(1152, 200, Cat(frames[6], frames[7])));
    Block(&p, 0, Mp3StreamBlock(576, 0, frames[8]));
    const double added = p.StreamQueuedSeconds(0) - before;
    EXPECT_LE(added, (3 * 576 - 300) / 22050.0 + 1e-9);
    EXPECT_GT(added, (3 * 576 - 300 - 2 * 576) / 22050.0);
}

TEST(SoundPlayer, Mp3EventSoundFromTheTag) {
    const Bytes file = Mp3Fixture("stereo44");
    const Bytes data = Cat({0, 0}, file);
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    Define(&p, DefineSoundBody(3, 2, 3, true, true, 22050, data));
    EXPECT_EQ(p.DecodedBytes(), 22050u * 4);
    Start(&p, 3);
    std::vector<int16_t> out = Render(&p, 23000);
    EXPECT_NEAR(Frequency(out, 2, 0, 2000, 21000, 44100), 440, 9);
    EXPECT_NEAR(Frequency(out, 2, 1, 2000, 21000, 44100), 660, 13);
    EXPECT_EQ(out[2 * 22050], 0);
}

// Silent mode follows its clock: here one the test moves.
double FakeClock(void* context) {
    return *static_cast<double*>(context);
}

TEST(SoundPlayer, SilentModeAdvancesByTheClockAndNeverPastTheData) {
    double now = 100;
    SoundPlayer p;
    p.SetClock(FakeClock, &now);
    EXPECT_FALSE(p.Open(snd::SND_OPEN_SILENT));
    EXPECT_TRUE(p.Silent());
    Head(&p, 0, StreamHeadBody(3, 1, true, false, 11025));
    Block(&p, 0, Pcm16(std::vector<int16_t>(11025, 5)));
    EXPECT_EQ(p.StreamSeconds(0), 0);
    now = 100.25;
    EXPECT_NEAR(p.StreamSeconds(0), 0.25, 1e-4);
    now = 103;
    EXPECT_NEAR(p.StreamSeconds(0), 1, 1e-9); // dry after its one second
    Block(&p, 0, Pcm16(std::vector<int16_t>(11025, 5)));
    now = 103.5;
    EXPECT_NEAR(p.StreamSeconds(0), 1.5, 1e-4);
    // Event sounds end by the clock too.
    Define(&p, DefineSoundBody(1, 3, 1, true, false, 1102, Pcm16(std::vector<int16_t>(1102, 1))));
    const int h = p.StartSoundById(1, 1, 0);
    EXPECT_TRUE(p.IsPlaying(h));
    now = 103.59;
    EXPECT_TRUE(p.IsPlaying(h));
    now = 103.61;
    EXPECT_FALSE(p.IsPlaying(h));
    p.Close();
    p.Close();
    EXPECT_EQ(p.StreamSeconds(0), -1);
}

TEST(SoundPlayer, DeviceOrNotTheStreamKeepsTime) {
    // Under Wine on the test machine there is no sound device; with one the
    // same holds through waveOut.
    SoundPlayer p;
    const bool device = p.Open();
    EXPECT_EQ(p.Silent(), !device);
    std::printf("sound output: %s\n", device ? "waveOut device" : "none, the silent clock");
    Head(&p, 7, StreamHeadBody(3, 2, true, true, 2205));
    for (int i = 0; i < 20; ++i)
        Block(&p, 7, Pcm16(Sine(22050, 440, 0.1, 2205, 2)));
    EXPECT_NEAR(p.StreamQueuedSeconds(7), 2, 1e-9);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return p.StreamSeconds(7) >= 0.3; }, 20000));
    EXPECT_LE(p.StreamSeconds(7), 2);
    p.Close();
    EXPECT_FALSE(p.Open(snd::SND_OPEN_SILENT));
    p.Close();
}

TEST(SoundPlayer, NothingAdvancesBeforeOpen) {
    SoundPlayer p;
    Head(&p, 0, StreamHeadBody(3, 1, true, false, 11025));
    Block(&p, 0, Pcm16(std::vector<int16_t>(11025, 5)));
    EXPECT_EQ(p.StreamSeconds(0), 0);
    std::vector<int16_t> out(20, 9);
    p.Render(out.data(), 10); // only in manual mode
    EXPECT_EQ(out[0], 9);
}

} // namespace

namespace {

// Run by its own ctest entry, where ALSA's default device is a file: the
// mix that went through waveOut is read back and measured.
TEST(SoundDevice, PlaysTheMixThroughWaveOut) {
    const char* capture = std::getenv("MS_SOUND_CAPTURE");
    if (!capture || !*capture)
        GTEST_SKIP() << "needs a capture device (the SoundDeviceCapture test)";
    DeleteFileA(capture);
    SoundPlayer p;
    ASSERT_TRUE(p.Open()) << "no waveOut device";
    Head(&p, 0, StreamHeadBody(3, 2, true, true, 2205));
    // A second and a half queued; a second of it is measured once more than that was heard
    // (the device may drop what it holds when it closes).
    const std::vector<int16_t> sine = Sine(22050, 440, 0.25, 33075, 2, 660);
    for (int i = 0; i < 15; ++i)
        Block(&p, 0, Pcm16(std::vector<int16_t>(sine.begin() + i * 4410, sine.begin() + (i + 1) * 4410)));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return p.StreamSeconds(0) >= 1.25; }, 30000));
    p.Close();
    // The capture opens with the silence the device was given before the stream came.
    std::vector<int16_t> heard;
    size_t first = 0;
    const bool whole = testsupport::WaitUntil(
        [&] {
            const std::string bytes = testsupport::ReadFileBytes(capture);
            heard.assign(bytes.size() / 2, 0);
            std::memcpy(heard.data(), bytes.data(), heard.size() * 2);
            first = 0;
            while (first < heard.size() / 2 && heard[2 * first] == 0 && heard[2 * first + 1] == 0)
                ++first;
            return heard.size() / 2 >= first + 44100;
        },
        10000);
    ASSERT_TRUE(whole) << heard.size() / 2 << " frames captured, sound from frame " << first;
    EXPECT_NEAR(Frequency(heard, 2, 0, first, first + 44100, 44100), 440, 2);
    EXPECT_NEAR(Frequency(heard, 2, 1, first, first + 44100, 44100), 660, 3);
    EXPECT_NEAR(Rms(heard, 2, 0, first, first + 44100), 8192 / std::sqrt(2.0), 200);
    EXPECT_NEAR(Rms(heard, 2, 1, first, first + 44100), 8192 / std::sqrt(2.0), 200);
}

} // namespace
