// Decoders: uncompressed in both byte orders and sizes, ADPCM against hand
// computed codes and our own encoder, MP3 through the platform's codec.
#include "player/sound/adpcm.h"
#include "player/sound/decode.h"
#include "player/sound/mp3.h"
#include "soundtest.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace soundtest;
using snd::SoundClip;
using snd::SoundDefinition;

SoundClip Decode(const Bytes& body, size_t maxFrames = snd::SND_MAX_FRAMES) {
    SoundDefinition def;
    EXPECT_TRUE(snd::SndParseDefineSound(body.data(), body.size(), &def));
    SoundClip clip;
    EXPECT_TRUE(snd::SndDecodeSound(def, maxFrames, &clip));
    return clip;
}

TEST(SoundDecode, UncompressedFormatsGiveTheSamples) {
    struct Case {
        int format;
        bool is16Bit, stereo;
        Bytes data;
        std::vector<int16_t> expected;
    };
    const Case cases[] = {
        {3, true, false, {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80}, {0x1234, -1, -32768}},
        {0, true, false, {0x34, 0x12, 0xFF, 0xFF, 0x00, 0x80}, {0x1234, -1, -32768}}, // native: written little-endian
        {3, true, true, {0x01, 0x00, 0x02, 0x00, 0x03, 0x00, 0x04, 0x00}, {1, 2, 3, 4}},
        {0, false, false, {128, 255, 0}, {0, 127 * 256, -32768}}, // 8-bit samples are unsigned
        {3, false, true, {129, 127}, {256, -256}},
    };
    for (const Case& c : cases) {
        const int channels = c.stereo ? 2 : 1;
        SoundClip clip = Decode(DefineSoundBody(7, c.format, 1, c.is16Bit, c.stereo,
                                                static_cast<uint32_t>(c.expected.size() / channels), c.data));
        EXPECT_EQ(clip.rate, 11025);
        EXPECT_EQ(clip.channels, channels);
        EXPECT_EQ(clip.frames, c.expected.size() / channels);
        EXPECT_EQ(clip.samples, c.expected) << "format " << c.format << (c.is16Bit ? " 16-bit" : " 8-bit");
    }
}

TEST(SoundDecode, ClaimsAreCutToTheDataAndTheCap) {
    // Twice the frames the data holds, and an odd byte at the end.
    SoundClip clip = Decode(DefineSoundBody(1, 3, 3, true, false, 8, {1, 0, 2, 0, 3, 0, 4, 0, 9}));
    EXPECT_EQ(clip.frames, 4u);
    EXPECT_EQ(clip.samples.size(), 4u);
    clip = Decode(DefineSoundBody(1, 3, 3, true, false, 0xFFFFFFFF, Pcm16(std::vector<int16_t>(100, 5))), 10);
    EXPECT_EQ(clip.frames, 10u);
    // A shorter claim wins over the data.
    clip = Decode(DefineSoundBody(1, 3, 3, true, false, 2, Pcm16({1, 2, 3, 4})));
    EXPECT_EQ(clip.samples, (std::vector<int16_t>{1, 2}));
}

TEST(SoundDecode, UndecodedFormatsAreSilenceOfTheirLength) {
    struct Case {
        int format, rateCode;
        int rate;
    } const cases[] = {{4, 0, 16000}, {5, 3, 8000}, {6, 2, 22050}, {11, 1, 16000}};
    for (const Case& c : cases) {
        SoundClip clip = Decode(DefineSoundBody(1, c.format, c.rateCode, true, true, 0xFFFFFFFF, {1, 2, 3}), 5000);
        EXPECT_TRUE(clip.Silent());
        EXPECT_EQ(clip.frames, 5000u);
        EXPECT_EQ(clip.rate, c.rate);
        EXPECT_EQ(clip.channels, 1);
    }
    SoundDefinition def;
    Bytes unknown = DefineSoundBody(1, 9, 0, true, false, 10, {1, 2});
    ASSERT_TRUE(snd::SndParseDefineSound(unknown.data(), unknown.size(), &def));
    SoundClip clip;
    EXPECT_FALSE(snd::SndDecodeSound(def, 100, &clip));
}

TEST(SoundDecode, AdpcmHandComputedCodes) {
    // 4-bit codes: first sample 0, step index 0 (step 7), then codes 7 and 15.
    // 7: 7/8 + 7 + 7/2 + 7/4 = 0 + 7 + 3 + 1 = 11, index 8 (step 16).
    // 15: -(16/8 + 16 + 8 + 4) = -30, giving -19.
    std::vector<int16_t> out;
    EXPECT_EQ(snd::SndAdpcmDecode(Bytes{0x80, 0x00, 0x00, 0x7F}.data(), 4, 1, 100, &out), 3u);
    EXPECT_EQ(out, (std::vector<int16_t>{0, 11, -19}));

    // 2-bit codes: first sample 100, index 10 (step 19); codes 1, 2, 3.
    // 1: 19/2 + 19 = 28 -> 128, index 12 (step 23); 2: -(23/2) -> 117, index 11
    // (step 21); 3: -(21/2 + 21) -> 86. The last two bits are padding.
    out.clear();
    // 00 | 0000000001100100 | 001010 | 01 10 11 | 00
    const Bytes two = {0x00, 0x19, 0x0A, 0x6C};
    EXPECT_EQ(snd::SndAdpcmDecode(two.data(), two.size(), 1, 4, &out), 4u);
    EXPECT_EQ(out, (std::vector<int16_t>{100, 128, 117, 86}));
}

TEST(SoundDecode, AdpcmRoundTripsThroughOurEncoder) {
    // Longer than one packet, so the second packet's header is read too.
    for (int channels = 1; channels <= 2; ++channels) {
        const std::vector<int16_t> signal = Sine(22050, 440, 0.6, 9000, channels, 550);
        for (int bits = 2; bits <= 5; ++bits) {
            std::vector<int16_t> expected;
            const Bytes data = AdpcmEncode(signal, channels, bits, &expected);
            SoundClip clip = Decode(DefineSoundBody(3, 1, 2, true, channels == 2, 9000, data));
            ASSERT_EQ(clip.frames, 9000u) << bits << " bits, " << channels << " channels";
            EXPECT_EQ(clip.samples, expected) << bits << " bits, " << channels << " channels";
            // And the codec follows the signal: more bits, closer.
            double error = 0;
            for (size_t i = 0; i < signal.size(); ++i)
                error += std::abs(signal[i] - clip.samples[i]);
            error /= signal.size();
            EXPECT_LT(error, 4000 >> bits) << bits << " bits";
        }
    }
}

TEST(SoundDecode, AdpcmTruncatedPacketsDecodeWhatIsThere) {
    std::vector<int16_t> expected;
    const std::vector<int16_t> signal = Sine(11025, 300, 0.5, 5000, 2);
    const Bytes data = AdpcmEncode(signal, 2, 4, &expected);
    for (size_t cut : {size_t(0), size_t(1), size_t(5), size_t(6), data.size() / 3, data.size() - 1}) {
        std::vector<int16_t> out;
        const size_t frames = snd::SndAdpcmDecode(data.data(), cut, 2, 100000, &out);
        ASSERT_EQ(out.size(), frames * 2) << "cut at " << cut;
        ASSERT_LE(frames, 5000u);
        // Whatever was decoded is what the encoder meant.
        EXPECT_TRUE(std::equal(out.begin(), out.end(), expected.begin())) << "cut at " << cut;
    }
}

TEST(SoundDecode, AdpcmStreamBlocksLoseThePaddingOfTheirLastByte) {
    // A block of the head's size ends in up to 7 padding bits, which read as
    // extra codes; the head's block size tells them apart.
    for (int channels = 1; channels <= 2; ++channels) {
        for (int bits = 2; bits <= 5; ++bits) {
            std::vector<int16_t> expected;
            const Bytes block = AdpcmEncode(Sine(11025, 300, 0.5, 1000, channels), channels, bits, &expected);
            snd::StreamFormat f;
            const Bytes head = StreamHeadBody(1, 1, true, channels == 2, 1000);
            ASSERT_TRUE(snd::SndParseStreamHead(head.data(), head.size(), &f));
            snd::StreamDecoder d;
            d.Start(f);
            std::vector<int16_t> out;
            EXPECT_EQ(d.Block(block.data(), block.size(), 100000, &out), 1000u) << bits << " bits";
            EXPECT_EQ(out, expected) << bits << " bits, " << channels << " channels";
        }
    }
}

TEST(SoundDecode, Mp3HeadersOfEveryVersion) {
    struct Case {
        uint8_t b1, b2, b3;
        int version, rate, channels, bitrate, frameBytes, samples;
    } const cases[] = {
        {0xFB, 0x90, 0x44, 1, 44100, 2, 128, 417, 1152}, // MPEG 1, 128 kbit/s, 44.1 kHz
        {0xFB, 0x92, 0xC4, 1, 44100, 1, 128, 418, 1152}, // padded, mono
        {0xF3, 0x40, 0xC4, 2, 22050, 1, 32, 104, 576},   // MPEG 2
        {0xE3, 0x20, 0xC4, 25, 11025, 1, 16, 104, 576},  // MPEG 2.5
        {0xFB, 0x94, 0x00, 1, 48000, 2, 128, 384, 1152},
    };
    for (const Case& c : cases) {
        const uint8_t header[4] = {0xFF, c.b1, c.b2, c.b3};
        snd::Mp3Header h;
        ASSERT_TRUE(snd::Mp3ParseHeader(header, 4, &h)) << std::hex << int(c.b1) << int(c.b2);
        EXPECT_EQ(h.version, c.version);
        EXPECT_EQ(h.rate, c.rate);
        EXPECT_EQ(h.channels, c.channels);
        EXPECT_EQ(h.bitrate, c.bitrate);
        EXPECT_EQ(h.frameBytes, c.frameBytes);
        EXPECT_EQ(h.samplesPerFrame, c.samples);
    }
    const uint8_t bad[][4] = {
        {0xFF, 0xFD, 0x90, 0x44}, // layer II
        {0xFF, 0xEB, 0x90, 0x44}, // reserved version
        {0xFF, 0xFB, 0xF0, 0x44}, // bad bitrate
        {0xFF, 0xFB, 0x00, 0x44}, // free format
        {0xFF, 0xFB, 0x9C, 0x44}, // reserved rate
        {0xFE, 0xFB, 0x90, 0x44}, // no sync
    };
    for (const auto& b : bad) {
        snd::Mp3Header h;
        EXPECT_FALSE(snd::Mp3ParseHeader(b, 4, &h));
    }
    const uint8_t good[4] = {0xFF, 0xFB, 0x90, 0x44};
    snd::Mp3Header h;
    EXPECT_FALSE(snd::Mp3ParseHeader(good, 3, &h));
}

// MP3 decodes by the platform's codec: not sample-exact, so the fixtures'
// sines are measured: length, loudness and pitch of each channel.
TEST(SoundDecode, Mp3EventSoundsOfEveryVersion) {
    struct Case {
        const char* name;
        int rateCode, rate, channels;
    } const cases[] = {
        {"mono44", 3, 44100, 1}, {"stereo44", 3, 44100, 2}, {"mono22", 2, 22050, 1}, {"mono11", 1, 11025, 1}};
    for (const Case& c : cases) {
        const Bytes file = Mp3Fixture(c.name);
        ASSERT_FALSE(file.empty()) << c.name;
        const Bytes data = Cat({0, 0}, file); // SeekSamples, frames
        const uint32_t frames = static_cast<uint32_t>(c.rate / 2);
        SoundClip clip = Decode(DefineSoundBody(9, 2, c.rateCode, true, c.channels == 2, frames, data));
        ASSERT_FALSE(clip.Silent()) << c.name << ": no MP3 codec";
        EXPECT_EQ(clip.rate, c.rate);
        EXPECT_EQ(clip.channels, c.channels);
        EXPECT_EQ(clip.frames, frames) << c.name; // the encoder's delay and padding make up the rest
        // Past the encoder's delay (1105 samples) the sine is there.
        const size_t from = 1700, to = clip.frames - 200;
        for (int ch = 0; ch < c.channels; ++ch) {
            const double expected = ch == 1 ? 660 : 440;
            EXPECT_NEAR(Frequency(clip.samples, c.channels, ch, from, to, c.rate), expected, expected * 0.02) << c.name;
            EXPECT_NEAR(Rms(clip.samples, c.channels, ch, from, to), 16384 / std::sqrt(2.0), 1500) << c.name;
        }
    }
}

TEST(SoundDecode, Mp3SeekSamplesSkipTheLatency) {
    const Bytes file = Mp3Fixture("mono22");
    const Bytes plain = Cat({0, 0}, file), skipped = Cat({0x00, 0x02}, file); // 512 samples
    SoundClip a = Decode(DefineSoundBody(1, 2, 2, true, false, 5000, plain));
    SoundClip b = Decode(DefineSoundBody(1, 2, 2, true, false, 5000, skipped));
    ASSERT_EQ(a.frames, 5000u);
    ASSERT_EQ(b.frames, 5000u);
    EXPECT_TRUE(std::equal(b.samples.begin(), b.samples.begin() + (5000 - 512), a.samples.begin() + 512));
}

TEST(SoundDecode, Mp3GarbageBetweenFramesIsSkipped) {
    const std::vector<Bytes> frames = Mp3Frames(Mp3Fixture("mono22"));
    ASSERT_GT(frames.size(), 10u);
    Bytes data = {0, 0, 0xFF, 0xFF, 0x12}; // a false start
    for (size_t i = 0; i < frames.size(); ++i) {
        data.insert(data.end(), frames[i].begin(), frames[i].end());
        if (i == 3)
            data.insert(data.end(), {0xFF, 0xE0, 0x00, 0x01, 0x02});
    }
    data.resize(data.size() - frames.back().size() / 2); // the last frame cut in half
    SoundClip clip = Decode(DefineSoundBody(1, 2, 2, true, false, 0xFFFFFFFF, data));
    EXPECT_FALSE(clip.Silent());
    EXPECT_LE(clip.frames, (frames.size() - 1) * 576 + 576);
    EXPECT_GE(clip.frames, (frames.size() - 3) * 576);
}

TEST(SoundDecode, Mp3StreamBlocksKeepOneCodecAcrossBlocks) {
    const std::vector<Bytes> frames = Mp3Frames(Mp3Fixture("mono22"));
    snd::StreamDecoder d;
    snd::StreamFormat f;
    const Bytes head = StreamHeadBody(2, 2, true, false, 1152, 0);
    ASSERT_TRUE(snd::SndParseStreamHead(head.data(), head.size(), &f));
    EXPECT_EQ(f.format, 2);
    d.Start(f);
    std::vector<int16_t> out;
    size_t total = 0;
    for (size_t i = 0; i + 1 < frames.size(); i += 2) {
        Bytes two = frames[i];
        two.insert(two.end(), frames[i + 1].begin(), frames[i + 1].end());
        const Bytes block = Mp3StreamBlock(1152, i == 0 ? 100 : 0, two);
        total += d.Block(block.data(), block.size(), 1 << 20, &out);
    }
    EXPECT_EQ(d.Rate(), 22050);
    EXPECT_EQ(d.Channels(), 1);
    EXPECT_EQ(out.size(), total);
    // The first block's SeekSamples (the latency) are dropped; the codec may hold a frame back.
    const size_t all = (frames.size() / 2) * 1152;
    EXPECT_LE(total, all - 100);
    EXPECT_GE(total + 100 + 2 * 576, all);
    // The sine lasts 11025 samples after the encoder's delay.
    EXPECT_NEAR(Frequency(out, 1, 0, 1500, 11000, 22050), 440, 9);
    d.Close();
    d.Close();
}

} // namespace
