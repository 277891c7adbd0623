// Damaged sound tags: a table of the faults a movie can carry, then a
// fixed-seed mutation run over a list of valid tags of every kind through
// the fuzz entry point. Passing means no crash, no hang, no runaway memory.
#include "player/sound/soundfuzz.h"
#include "player/sound/soundplayer.h"
#include "soundtest.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace soundtest;
using snd::SoundPlayer;

TEST(SoundDamage, DamagedTagsAreSkippedOrCut) {
    const Bytes mp3 = Mp3Fixture("mono11");
    std::vector<int16_t> ignored;
    const Bytes adpcm = AdpcmEncode(Sine(11025, 200, 0.5, 3000, 2), 2, 5, &ignored);
    const Bytes defines[] = {
        {},
        {1},
        {1, 0, 0x3E, 0xFF, 0xFF}, // cut inside SoundSampleCount
        DefineSoundBody(2, 3, 3, true, true, 0xFFFFFFFF, {1, 2, 3}),
        DefineSoundBody(3, 1, 3, true, true, 0xFFFFFFFF, {0xC0}),
        DefineSoundBody(4, 1, 3, true, true, 0xFFFFFFFF, Bytes(adpcm.begin(), adpcm.begin() + adpcm.size() / 2)),
        DefineSoundBody(5, 2, 2, true, false, 0xFFFFFFFF, {0x10}),
        DefineSoundBody(6, 2, 2, true, false, 0xFFFFFFFF, {0xFF, 0x7F, 0xFF, 0xFB, 0x90}),
        DefineSoundBody(7, 2, 1, true, false, 0xFFFFFFFF, Cat({0xFF, 0x7F}, Bytes(mp3.begin(), mp3.begin() + 300))),
        DefineSoundBody(8, 6, 1, true, false, 0xFFFFFFFF, {}),
        DefineSoundBody(9, 15, 1, true, false, 10, {1, 2, 3}),
    };
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    for (const Bytes& d : defines)
        p.DefineSound(d.data(), d.size());
    // Decoded by what the data holds, not by what the headers claim.
    EXPECT_LT(p.DecodedBytes(), size_t(4) << 20);
    const Bytes starts[] = {
        {},
        {2},
        {2, 0},
        {3, 0, 0x0F},                                           // every optional field announced, none there
        {4, 0, 0x08, 0xFF, 0, 0, 0, 0, 0, 0x80, 0, 0x80, 1, 2}, // 255 envelope points, one there
        {5, 0, 0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},       // in-point past out-point
        StartSoundBody(7, Info()),
        StartSoundBody(8, Info()),
        StartSoundBody(9, Info()),
    };
    for (const Bytes& s : starts)
        p.StartSound(s.data(), s.size());
    for (uint16_t id = 0; id < 12; ++id)
        p.StartSoundById(id, 0xFFFF, 1e9);
    const Bytes heads[] = {{}, {0}, {0, 0x2E}, {0, 0x2E, 0x40}, StreamHeadBody(2, 1, true, false, 576)};
    p.StreamBlock(0, mp3.data(), mp3.size()); // no head yet
    for (size_t i = 0; i < sizeof(heads) / sizeof(heads[0]); ++i)
        p.StreamHead(static_cast<int>(i), heads[i].data(), heads[i].size());
    const Bytes blocks[] = {{}, {1}, {1, 2, 3}, Cat({0x40, 0x02, 0xFF, 0x7F}, mp3), Cat({0, 0, 0x00, 0x80}, mp3)};
    for (const Bytes& b : blocks)
        p.StreamBlock(4, b.data(), b.size());
    std::vector<int16_t> out(2 * 44100);
    p.Render(out.data(), 44100);
    EXPECT_LT(p.DecodedBytes(), size_t(4) << 20);
    EXPECT_LE(p.StreamSeconds(4), p.StreamQueuedSeconds(4));
    p.Close();
}

TEST(SoundDamage, ClaimsDoNotAllocate) {
    // Silence is kept as a length: a sound claiming 4 billion samples costs nothing.
    SoundPlayer p;
    p.Open(snd::SND_OPEN_MANUAL);
    for (uint16_t id = 1; id <= 200; ++id) {
        const Bytes d = DefineSoundBody(id, 4 + id % 3, 3, true, true, 0xFFFFFFFF, {1});
        p.DefineSound(d.data(), d.size());
    }
    EXPECT_EQ(p.DecodedBytes(), 0u);
    const int h = p.StartSoundById(1, 1, 0);
    EXPECT_GT(h, 0);
    std::vector<int16_t> out(2 * 1000);
    p.Render(out.data(), 1000);
    EXPECT_TRUE(p.IsPlaying(h));
}

Bytes ValidInput() {
    using snd::SndFuzzRecord;
    Bytes in;
    std::vector<int16_t> ignored;
    const std::vector<int16_t> sine = Sine(22050, 300, 0.5, 3000, 2);
    const std::vector<Bytes> frames = Mp3Frames(Mp3Fixture("mono22"));
    const Bytes mp3 = Cat(Cat(frames.at(0), frames.at(1)), frames.at(2));
    SndFuzzRecord(&in, snd::SND_FUZZ_DEFINE, DefineSoundBody(1, 3, 2, true, true, 3000, Pcm16(sine)));
    SndFuzzRecord(&in, snd::SND_FUZZ_DEFINE, DefineSoundBody(2, 0, 0, false, false, 100, Bytes(100, 200)));
    SndFuzzRecord(&in, snd::SND_FUZZ_DEFINE,
                  DefineSoundBody(3, 1, 2, true, true, 3000, AdpcmEncode(sine, 2, 3, &ignored)));
    SndFuzzRecord(&in, snd::SND_FUZZ_DEFINE, DefineSoundBody(4, 2, 2, true, false, 1728, Cat({0x10, 0}, mp3)));
    SndFuzzRecord(&in, snd::SND_FUZZ_DEFINE, DefineSoundBody(5, 6, 1, true, false, 800, {7, 7, 7}));
    Info info;
    info.inPoint = 10;
    info.outPoint = 2000;
    info.loops = 3;
    info.hasEnvelope = true;
    info.envelope = {{0, 0, 32768}, {2000, 32768, 100}, {9000, 5, 5}};
    for (uint16_t id = 1; id <= 5; ++id)
        SndFuzzRecord(&in, snd::SND_FUZZ_START, StartSoundBody(id, id % 2 ? info : Info()));
    SndFuzzRecord(&in, snd::SND_FUZZ_HEAD, StreamHeadBody(3, 2, true, true, 1000));
    SndFuzzRecord(&in, snd::SND_FUZZ_HEAD | 0x10, StreamHeadBody(1, 1, true, false, 1000));
    SndFuzzRecord(&in, snd::SND_FUZZ_HEAD | 0x20, StreamHeadBody(2, 2, true, false, 576, 50));
    for (int i = 0; i < 3; ++i) {
        SndFuzzRecord(&in, snd::SND_FUZZ_BLOCK, Pcm16(std::vector<int16_t>(sine.begin(), sine.begin() + 2000)));
        SndFuzzRecord(&in, snd::SND_FUZZ_BLOCK | 0x10,
                      AdpcmEncode(std::vector<int16_t>(1000, int16_t(i * 100)), 1, 2 + i, &ignored));
        SndFuzzRecord(&in, snd::SND_FUZZ_BLOCK | 0x20, Mp3StreamBlock(576, 50, frames.at(3 + i)));
    }
    SndFuzzRecord(&in, snd::SND_FUZZ_STOP_STREAM | 0x20, {});
    SndFuzzRecord(&in, snd::SND_FUZZ_BLOCK | 0x20, Mp3StreamBlock(576, 20, frames.at(7)));
    SndFuzzRecord(&in, snd::SND_FUZZ_SCRIPT, {3, 0, 2, 0, 10, 0});
    return in;
}

TEST(SoundDamage, MutatedTagsThroughTheFuzzEntryPoint) {
    const Bytes valid = ValidInput();
    EXPECT_EQ(snd::SndFuzzOne(valid.data(), valid.size()), 25);
    std::mt19937 random(20260611);
    for (int round = 0; round < 400; ++round) {
        Bytes m = valid;
        switch (round % 5) {
        case 0: // bytes flipped
            for (int i = 0; i < 1 + round % 13; ++i)
                m[random() % m.size()] ^= static_cast<uint8_t>(1 + random() % 255);
            break;
        case 1: // absurd counts and lengths
            for (int i = 0; i < 3; ++i) {
                const size_t at = random() % (m.size() - 4);
                std::fill(m.begin() + at, m.begin() + at + 4, static_cast<uint8_t>(i % 2 ? 0xFF : 0x7F));
            }
            break;
        case 2: // cut anywhere
            m.resize(random() % m.size());
            break;
        case 3: { // a stretch repeated
            const size_t at = random() % m.size(), n = std::min<size_t>(random() % 400, m.size() - at);
            m.insert(m.begin() + at, valid.begin() + at, valid.begin() + at + n);
            break;
        }
        default: { // a stretch zeroed
            const size_t at = random() % m.size(), n = std::min<size_t>(random() % 200, m.size() - at);
            std::fill(m.begin() + at, m.begin() + at + n, 0);
            break;
        }
        }
        snd::SndFuzzOne(m.data(), m.size());
    }
}

} // namespace
