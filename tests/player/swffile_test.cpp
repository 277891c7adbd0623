#include "player/swffile.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <vector>

namespace {

// A movie of two tags: ShowFrame and End, with a 550 by 400 stage at 24 fps.
std::vector<uint8_t> PlainMovie(uint32_t fileLength) {
    std::vector<uint8_t> m = {'F', 'W', 'S', 6, 0, 0, 0, 0, 0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00,
                              0x00, 24, 1, 0, 0x40, 0x00, 0x00, 0x00};
    for (int i = 0; i < 4; ++i)
        m[4 + i] = static_cast<uint8_t>(fileLength >> (8 * i));
    return m;
}

std::vector<uint8_t> Compressed(const std::vector<uint8_t>& plain) {
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    std::vector<uint8_t> out(plain.begin(), plain.begin() + 8);
    out[0] = 'C';
    std::vector<uint8_t> packed(size);
    compress(packed.data(), &size, plain.data() + 8, static_cast<uLong>(plain.size() - 8));
    out.insert(out.end(), packed.begin(), packed.begin() + static_cast<long>(size));
    return out;
}

TEST(SwfHeader, PlainAndCompressedMoviesGiveTheSameBody) {
    std::vector<uint8_t> plain = PlainMovie(25);
    for (const auto& file : {plain, Compressed(plain)}) {
        SwfHeader h;
        std::vector<uint8_t> body;
        size_t tags = 0;
        ASSERT_EQ(SwfOpen(file.data(), file.size(), &h, &body, &tags), SWF_OK);
        EXPECT_EQ(h.version, 6);
        EXPECT_EQ(h.frameSize.xMax, 11000);
        EXPECT_EQ(h.frameSize.yMax, 8000);
        EXPECT_FLOAT_EQ(h.frameRate, 24.0f);
        EXPECT_EQ(h.frameCount, 1);
        EXPECT_EQ(tags, 21u);
        EXPECT_EQ(std::vector<uint8_t>(body.begin() + 8, body.end()), std::vector<uint8_t>(plain.begin() + 8, plain.end()));
    }
}

TEST(SwfHeader, PeekingReadsTheStageWithoutTheBody) {
    std::vector<uint8_t> plain = PlainMovie(25);
    for (const auto& file : {plain, Compressed(plain)}) {
        SwfHeader h;
        ASSERT_TRUE(SwfPeekHeader(file.data(), file.size(), &h));
        EXPECT_EQ(h.frameSize.xMax, 11000);
        EXPECT_EQ(h.frameSize.yMax, 8000);
        EXPECT_EQ(h.frameCount, 1);
    }
    SwfHeader h;
    EXPECT_FALSE(SwfPeekHeader(plain.data(), 12, &h));
    EXPECT_FALSE(SwfPeekHeader(reinterpret_cast<const uint8_t*>("GIF89a.."), 8, &h));
}

TEST(SwfHeader, AWrongFileLengthIsTolerated) {
    for (uint32_t claimed : {0u, 3u, 1000000u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(claimed);
        std::vector<uint8_t> plain = PlainMovie(claimed);
        for (const auto& file : {plain, Compressed(plain)}) {
            SwfHeader h;
            std::vector<uint8_t> body;
            size_t tags = 0;
            EXPECT_EQ(SwfOpen(file.data(), file.size(), &h, &body, &tags), SWF_OK);
            EXPECT_EQ(body.size(), plain.size());
        }
    }
}

TEST(SwfHeader, BadStartsGetTheirOwnCodes) {
    std::vector<uint8_t> plain = PlainMovie(25);
    struct Case {
        std::vector<uint8_t> bytes;
        int code;
    } cases[] = {
        {{'G', 'I', 'F', '8', '9', 'a', 0, 0}, SWF_ERR_NOT_SWF},
        {{'F', 'W'}, SWF_ERR_NOT_SWF},
        {{'Z', 'W', 'S', 13, 0, 0, 0, 0, 0, 0}, SWF_ERR_UNSUPPORTED},
        {std::vector<uint8_t>(plain.begin(), plain.begin() + 12), SWF_ERR_TRUNCATED},
        {{'C', 'W', 'S', 6, 25, 0, 0, 0, 1, 2, 3, 4, 5, 6}, SWF_ERR_COMPRESSION},
    };
    for (const Case& c : cases) {
        SwfHeader h;
        std::vector<uint8_t> body;
        size_t tags = 0;
        EXPECT_EQ(SwfOpen(c.bytes.data(), c.bytes.size(), &h, &body, &tags), c.code);
        EXPECT_TRUE(body.empty());
    }
}

TEST(TagFraming, ShortAndLongHeadersAndTheEnd) {
    std::vector<uint8_t> tags = {
        0x43, 0x02, 1, 2, 3,                  // code 9, length 3
        0xBF, 0x00, 4, 0, 0, 0, 9, 9, 9, 9,   // code 2, long form, length 4
        0x00, 0x00,                           // End
        0x40, 0x00,                           // after End: not read
    };
    SwfTagReader r(tags.data(), tags.size());
    SwfTag t;
    ASSERT_TRUE(r.Next(&t));
    EXPECT_EQ(t.code, 9);
    EXPECT_EQ(t.length, 3u);
    EXPECT_EQ(t.data[0], 1);
    ASSERT_TRUE(r.Next(&t));
    EXPECT_EQ(t.code, 2);
    EXPECT_EQ(t.length, 4u);
    ASSERT_TRUE(r.Next(&t));
    EXPECT_EQ(t.code, TAG_END);
    EXPECT_FALSE(r.Next(&t));
    EXPECT_FALSE(r.Truncated());
}

TEST(TagFraming, ALengthPastTheEndIsCutAndMarked) {
    std::vector<uint8_t> tags = {0xBF, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3};
    SwfTagReader r(tags.data(), tags.size());
    SwfTag t;
    ASSERT_TRUE(r.Next(&t));
    EXPECT_TRUE(t.truncated);
    EXPECT_EQ(t.length, 3u);
    EXPECT_FALSE(r.Next(&t));
    EXPECT_TRUE(r.Truncated());

    std::vector<uint8_t> cutHeader = {0x3F, 0x00, 0x01};
    SwfTagReader h(cutHeader.data(), cutHeader.size());
    EXPECT_FALSE(h.Next(&t));
    EXPECT_TRUE(h.Truncated());
}

} // namespace
