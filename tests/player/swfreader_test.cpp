#include "bitpacker.h"

#include "player/swfreader.h"
#include "player/swfrecords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

SwfReader Over(const std::vector<uint8_t>& bytes) { return SwfReader(bytes.data(), bytes.size()); }

TEST(BitReader, FieldsRunAcrossByteBoundariesMostSignificantBitFirst) {
    std::vector<uint8_t> bytes = {0xB5, 0x3C, 0xFF}; // 1011 0101 0011 1100 1111 1111
    SwfReader r = Over(bytes);
    EXPECT_EQ(r.UB(3), 5u);     // 101
    EXPECT_EQ(r.UB(7), 0x54u);  // 1010100
    EXPECT_EQ(r.SB(6), -4);     // 111100: sign-extended
    EXPECT_EQ(r.UB(8), 0xFFu);
    EXPECT_FALSE(r.Failed());
}

TEST(BitReader, ByteReadsDropAPartialByteAndAreLittleEndian) {
    std::vector<uint8_t> bytes = {0x80, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12};
    SwfReader r = Over(bytes);
    EXPECT_EQ(r.UB(1), 1u);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.U32(), 0x12345678u);
    EXPECT_TRUE(r.AtEnd());
}

TEST(BitReader, ReadingPastTheEndYieldsZeroAndStaysFailed) {
    std::vector<uint8_t> bytes = {0x01, 0x02, 0x03};
    SwfReader r = Over(bytes);
    EXPECT_EQ(r.U16(), 0x0201);
    EXPECT_EQ(r.U32(), 0u);
    EXPECT_TRUE(r.Failed());
    EXPECT_EQ(r.U8(), 0);
    EXPECT_EQ(r.UB(12), 0u);
    EXPECT_TRUE(r.Failed());
    const uint8_t* p = nullptr;
    EXPECT_FALSE(r.Bytes(1, &p));
    EXPECT_EQ(p, nullptr);
}

TEST(BitReader, StringsEncodedIntegersAndFixedPoint) {
    std::vector<uint8_t> bytes = {'a', 'b', 0, 0xE5, 0x8E, 0x26, 0x80, 0x01, 0x00, 0xC0, 'x', 'y'};
    SwfReader r = Over(bytes);
    EXPECT_EQ(r.String(), "ab");
    EXPECT_EQ(r.EncodedU32(), 624485u);
    EXPECT_FLOAT_EQ(r.Fixed8(), 1.5f); // 0x0180
    EXPECT_FLOAT_EQ(r.Fixed8(), -64.0f); // 0xC000
    // A string without a terminator ends with the data.
    EXPECT_EQ(r.String(), "xy");
    EXPECT_FALSE(r.Failed());
}

TEST(Records, RectangleOfTheUsualStageHeader) {
    // 15-bit fields: 0, 11000, 0, 8000 twips (a 550 by 400 stage).
    std::vector<uint8_t> bytes = {0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0xAA};
    SwfReader r = Over(bytes);
    SwfRect rect = ReadRect(r);
    EXPECT_EQ(rect.xMin, 0);
    EXPECT_EQ(rect.xMax, 11000);
    EXPECT_EQ(rect.yMin, 0);
    EXPECT_EQ(rect.yMax, 8000);
    EXPECT_EQ(r.U8(), 0xAA); // aligned after the record
}

TEST(Records, MatrixWithScaleRotationAndTranslation) {
    // HasScale, 19 bits: 2.0 and 0.5; HasRotate, 18 bits: 0.25 and -0.25; 8-bit translate 100, -20.
    BitPacker b;
    auto put = [&](uint32_t v, int count) { b.Put(static_cast<int32_t>(v), count); };
    put(1, 1), put(19, 5), put(0x20000, 19), put(0x08000, 19);
    put(1, 1), put(18, 5), put(0x04000, 18), put(static_cast<uint32_t>(-0x4000) & 0x3FFFF, 18);
    put(8, 5), put(100, 8), put(static_cast<uint32_t>(-20) & 0xFF, 8);
    b.Align();
    SwfReader r(b.bytes.data(), b.bytes.size());
    SwfMatrix m = ReadMatrix(r);
    EXPECT_FALSE(r.Failed());
    EXPECT_DOUBLE_EQ(m.a, 2.0);
    EXPECT_DOUBLE_EQ(m.d, 0.5);
    EXPECT_DOUBLE_EQ(m.b, 0.25);
    EXPECT_DOUBLE_EQ(m.c, -0.25);
    EXPECT_DOUBLE_EQ(m.tx, 100);
    EXPECT_DOUBLE_EQ(m.ty, -20);
}

TEST(Records, IdentityMatrixIsSevenZeroBits) {
    std::vector<uint8_t> bytes = {0x00};
    SwfReader r = Over(bytes);
    SwfMatrix m = ReadMatrix(r);
    EXPECT_EQ(m, SwfMatrix());
    EXPECT_FALSE(r.Failed());
}

TEST(Records, MatrixCompositionAndInverse) {
    SwfMatrix m = SwfMatrix::Translate(10, 20) * SwfMatrix::Scale(2, 4);
    EXPECT_DOUBLE_EQ(m.X(1, 1), 12);
    EXPECT_DOUBLE_EQ(m.Y(1, 1), 24);
    SwfMatrix inv;
    ASSERT_TRUE(m.Invert(&inv));
    SwfMatrix id = m * inv;
    EXPECT_NEAR(id.a, 1, 1e-12);
    EXPECT_NEAR(id.tx, 0, 1e-12);
    EXPECT_FALSE(SwfMatrix::Scale(0, 1).Invert(&inv));
}

TEST(Records, ColorTransformWithAlphaParsesAppliesAndClamps) {
    // HasAdd, HasMul, 11 bits: mul 256, 128, 512, 256; add 0, 10, -300, -128.
    BitPacker b;
    auto put = [&](int32_t v, int count) { b.Put(v, count); };
    put(1, 1), put(1, 1), put(11, 4);
    for (int v : {256, 128, 512, 256, 0, 10, -300, -128})
        put(v, 11);
    b.Align();
    SwfReader r(b.bytes.data(), b.bytes.size());
    SwfColorTransform c = ReadColorTransform(r, true);
    EXPECT_FALSE(r.Failed());
    SwfColor out = c.Apply({100, 100, 100, 200});
    EXPECT_EQ(out.r, 100);
    EXPECT_EQ(out.g, 60);
    EXPECT_EQ(out.b, 0);   // 200 - 300 clamps at 0
    EXPECT_EQ(out.a, 72);  // 200 - 128
    EXPECT_EQ(c.Apply({200, 255, 255, 255}).b, 210);

    SwfColorTransform half;
    half.mulA = 0.5f;
    SwfColorTransform both = half * c;
    EXPECT_EQ(both.Apply({100, 100, 100, 200}).a, 36);
}

} // namespace
