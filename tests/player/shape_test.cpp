#include "bitpacker.h"

#include "player/shape.h"
#include "player/swffile.h"

#include "swfwriter.h"

#include <gtest/gtest.h>

namespace {

// DefineShape (version 1) after the id: bounds 0..200 twips, one red fill, no lines.
BitPacker ShapeHead() {
    BitPacker b;
    b.Put(9, 5).Put(0, 9).Put(200, 9).Put(0, 9).Put(200, 9).Align();
    b.Byte(1).Byte(0x00).Byte(255).Byte(0).Byte(0); // one solid fill
    b.Byte(0);                                      // no lines
    b.Put(1, 4).Put(0, 4);                          // fill and line index bits
    return b;
}

void StraightEdge(BitPacker& b, int dx, int dy) {
    b.Put(1, 1).Put(1, 1).Put(10 - 2, 4).Put(1, 1).Put(dx, 10).Put(dy, 10);
}

TEST(ShapeRecords, ASquareWithItsFillOnTheRightGivesOneClosedFillPath) {
    BitPacker b = ShapeHead();
    b.Put(0, 1).Put(0x05, 5).Put(8, 5).Put(20, 8).Put(20, 8).Put(1, 1); // move to 20,20; fill1 = 1
    StraightEdge(b, 100, 0);
    StraightEdge(b, 0, 100);
    StraightEdge(b, -100, 0);
    StraightEdge(b, 0, -100);
    b.Put(0, 6).Align();
    SwfReader r(b.bytes.data(), b.bytes.size());
    Shape shape;
    ASSERT_TRUE(ParseDefineShape(r, 1, &shape));
    EXPECT_EQ(shape.bounds.xMax, 200);
    ASSERT_EQ(shape.layers.size(), 1u);
    const ShapeLayer& layer = shape.layers[0];
    ASSERT_EQ(layer.styles.fills.size(), 1u);
    EXPECT_EQ(layer.styles.fills[0].color.r, 255);
    EXPECT_EQ(layer.styles.fills[0].color.a, 255);
    ASSERT_EQ(layer.fillPaths[0].size(), 4u);
    const Segment& first = layer.fillPaths[0][0];
    EXPECT_FLOAT_EQ(first.x0, 20);
    EXPECT_FLOAT_EQ(first.y0, 20);
    EXPECT_FLOAT_EQ(first.x1, 120);
    EXPECT_FLOAT_EQ(first.y1, 20);
    EXPECT_FALSE(first.curve);
    EXPECT_FLOAT_EQ(layer.fillPaths[0][3].x1, 20);
    EXPECT_FLOAT_EQ(layer.fillPaths[0][3].y1, 20);
}

TEST(ShapeRecords, AnEdgeBetweenTwoFillsIsReversedForTheLeftOne) {
    BitPacker b;
    b.Put(9, 5).Put(0, 9).Put(200, 9).Put(0, 9).Put(200, 9).Align();
    b.Byte(2).Byte(0).Byte(1).Byte(2).Byte(3).Byte(0).Byte(4).Byte(5).Byte(6).Byte(0);
    b.Put(2, 4).Put(0, 4);
    b.Put(0, 1).Put(0x07, 5).Put(2, 5).Put(0, 2).Put(0, 2).Put(1, 2).Put(2, 2); // move 0,0; fill0 1; fill1 2
    // A curve: control 50,0 then anchor 50,50.
    b.Put(1, 1).Put(0, 1).Put(8 - 2, 4).Put(50, 8).Put(0, 8).Put(0, 8).Put(50, 8);
    b.Put(0, 6).Align();
    SwfReader r(b.bytes.data(), b.bytes.size());
    Shape shape;
    ASSERT_TRUE(ParseDefineShape(r, 1, &shape));
    const ShapeLayer& layer = shape.layers[0];
    ASSERT_EQ(layer.fillPaths[0].size(), 1u);
    ASSERT_EQ(layer.fillPaths[1].size(), 1u);
    const Segment& right = layer.fillPaths[1][0];
    const Segment& left = layer.fillPaths[0][0];
    EXPECT_TRUE(right.curve);
    EXPECT_FLOAT_EQ(right.cx, 50);
    EXPECT_FLOAT_EQ(right.cy, 0);
    EXPECT_FLOAT_EQ(right.x1, 50);
    EXPECT_FLOAT_EQ(right.y1, 50);
    EXPECT_FLOAT_EQ(left.x0, 50);
    EXPECT_FLOAT_EQ(left.y0, 50);
    EXPECT_FLOAT_EQ(left.x1, 0);
    EXPECT_FLOAT_EQ(left.cx, 50);
}

TEST(ShapeRecords, NewStylesStartANewLayerWithTheirOwnIndices) {
    BitPacker b = ShapeHead();
    b.Put(0, 1).Put(0x05, 5).Put(2, 5).Put(0, 2).Put(0, 2).Put(1, 1);
    StraightEdge(b, 10, 10);
    // New styles: one fill (green) and one line of width 40, then bits 1 and 1.
    b.Put(0, 1).Put(0x10 | 0x04 | 0x08, 5).Put(1, 1).Put(0, 0);
    // With version 2 the indices are read with the old bit counts (1 and 0).
    b.Align();
    b.Byte(1).Byte(0).Byte(0).Byte(255).Byte(0);
    b.Byte(1).Byte(40).Byte(0).Byte(1).Byte(2).Byte(3);
    b.Put(1, 4).Put(1, 4);
    b.Put(0, 1).Put(0x0C, 5).Put(1, 1).Put(1, 1); // fill1 1, line 1 of the new group
    StraightEdge(b, 20, 0);
    b.Put(0, 6).Align();
    SwfReader r(b.bytes.data(), b.bytes.size());
    Shape shape;
    ASSERT_TRUE(ParseDefineShape(r, 2, &shape));
    ASSERT_EQ(shape.layers.size(), 2u);
    EXPECT_EQ(shape.layers[0].fillPaths[0].size(), 1u);
    ASSERT_EQ(shape.layers[1].styles.fills.size(), 1u);
    EXPECT_EQ(shape.layers[1].styles.fills[0].color.g, 255);
    ASSERT_EQ(shape.layers[1].styles.lines.size(), 1u);
    EXPECT_FLOAT_EQ(shape.layers[1].styles.lines[0].width, 40);
    EXPECT_EQ(shape.layers[1].fillPaths[0].size(), 1u);
    EXPECT_EQ(shape.layers[1].linePaths[0].size(), 1u);
}

TEST(ShapeRecords, CutRecordsReportFailureAndKeepWhatCameBefore) {
    BitPacker b = ShapeHead();
    b.Put(0, 1).Put(0x05, 5).Put(2, 5).Put(0, 2).Put(0, 2).Put(1, 1);
    StraightEdge(b, 10, 10);
    StraightEdge(b, 10, 10);
    b.Align();
    std::vector<uint8_t> cut(b.bytes.begin(), b.bytes.end() - 2);
    SwfReader r(cut.data(), cut.size());
    Shape shape;
    EXPECT_FALSE(ParseDefineShape(r, 1, &shape));
    ASSERT_EQ(shape.layers.size(), 1u);
    EXPECT_EQ(shape.layers[0].fillPaths[0].size(), 1u);
}

TEST(ShapeRecords, UnknownFillTypeFails) {
    std::vector<uint8_t> bytes = {0x20, 0x00, 0x01, 0x77, 0, 0, 0};
    SwfReader r(bytes.data(), bytes.size());
    Shape shape;
    EXPECT_FALSE(ParseDefineShape(r, 1, &shape));
}

TEST(MorphShape, EdgesAndColoursMoveWithTheRatio) {
    ShapeBuilder start, end;
    start.AddSolidFill({0, 0, 0, 255});
    end.AddSolidFill({200, 100, 50, 255});
    start.Style(-1, 1, -1);
    start.Rect(0, 0, 100, 100);
    end.Rect(0, 0, 300, 100); // straight edges throughout: the same count
    SwfWriter w(8, 10, 10, 1);
    w.DefineMorphShape(start, end);
    std::vector<uint8_t> file = w.Finish(false);
    SwfHeader header;
    std::vector<uint8_t> body;
    size_t tags = 0;
    ASSERT_EQ(SwfOpen(file.data(), file.size(), &header, &body, &tags), SWF_OK);
    SwfTagReader reader(body.data() + tags, body.size() - tags);
    SwfTag tag;
    ASSERT_TRUE(reader.Next(&tag));
    ASSERT_EQ(tag.code, TAG_DEFINE_MORPH_SHAPE);
    SwfReader r(tag.data + 2, tag.length - 2);
    MorphShape morph;
    ASSERT_TRUE(ParseDefineMorphShape(r, 1, &morph));
    ASSERT_EQ(morph.startRecords.size(), 6u); // a style, a move and four edges
    ASSERT_EQ(morph.endRecords.size(), 5u);   // a move and four edges
    Shape at0, atHalf, atEnd;
    BuildMorphShape(morph, 0, &at0);
    BuildMorphShape(morph, 32768, &atHalf);
    BuildMorphShape(morph, 65535, &atEnd);
    ASSERT_EQ(at0.layers[0].fillPaths[0].size(), 4u);
    EXPECT_FLOAT_EQ(at0.layers[0].fillPaths[0][0].x1, 100);
    EXPECT_NEAR(atHalf.layers[0].fillPaths[0][0].x1, 200, 0.01);
    EXPECT_FLOAT_EQ(atEnd.layers[0].fillPaths[0][0].x1, 300);
    EXPECT_EQ(atHalf.layers[0].styles.fills[0].color.r, 100);
    EXPECT_EQ(atEnd.layers[0].styles.fills[0].color.g, 100);
}

} // namespace
