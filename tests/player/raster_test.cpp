#include "player/paint.h"
#include "player/raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// Coverage of a small canvas, one value per pixel.
class Grid : public SpanSink {
public:
    Grid(int w, int h) : w_(w), h_(h), values(static_cast<size_t>(w) * h, 0) {}
    void Row(int y, int x0, int count, const uint8_t* covers) override {
        ASSERT_GE(y, 0);
        ASSERT_LT(y, h_);
        ASSERT_GE(x0, 0);
        ASSERT_LE(x0 + count, w_);
        for (int i = 0; i < count; ++i)
            values[static_cast<size_t>(y) * w_ + x0 + i] = covers[i];
    }
    int At(int x, int y) const { return values[static_cast<size_t>(y) * w_ + x]; }
    int w_, h_;
    std::vector<uint8_t> values;
};

void Square(Rasterizer& r, float x0, float y0, float x1, float y1) {
    r.AddLine(x0, y0, x1, y0);
    r.AddLine(x1, y0, x1, y1);
    r.AddLine(x1, y1, x0, y1);
    r.AddLine(x0, y1, x0, y0);
}

Grid Fill(float x0, float y0, float x1, float y1, bool nonZero = true) {
    Rasterizer r;
    r.Reset({0, 0, 6, 6});
    Square(r, x0, y0, x1, y1);
    Grid g(6, 6);
    r.Sweep(nonZero, g);
    return g;
}

TEST(Rasterizer, APixelAlignedSquareCoversWholePixelsOnly) {
    Grid g = Fill(1, 1, 3, 4);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(g.At(x, y), (x >= 1 && x < 3 && y >= 1 && y < 4) ? 255 : 0) << x << "," << y;
}

TEST(Rasterizer, CoverageIsTheCoveredArea) {
    Grid g = Fill(0.5f, 0.5f, 2.5f, 2.5f);
    EXPECT_NEAR(g.At(0, 0), 64, 1);  // a quarter
    EXPECT_NEAR(g.At(1, 0), 128, 1); // a half
    EXPECT_EQ(g.At(1, 1), 255);
    EXPECT_NEAR(g.At(2, 2), 64, 1);
    EXPECT_EQ(g.At(3, 3), 0);

    // A right triangle over a 2 by 2 block: each pixel on the diagonal half covered.
    Rasterizer r;
    r.Reset({0, 0, 6, 6});
    r.AddLine(0, 0, 2, 2);
    r.AddLine(2, 2, 0, 2);
    r.AddLine(0, 2, 0, 0);
    Grid t(6, 6);
    r.Sweep(true, t);
    EXPECT_NEAR(t.At(0, 0), 128, 1);
    EXPECT_NEAR(t.At(1, 1), 128, 1);
    EXPECT_EQ(t.At(0, 1), 255);
    EXPECT_EQ(t.At(1, 0), 0);
}

TEST(Rasterizer, FillRulesDifferOnlyWhereOutlinesOverlapTheSameWay) {
    struct Case {
        bool sameWay;
        bool nonZero;
        int inner;
    } cases[] = {{true, true, 255}, {true, false, 0}, {false, true, 0}, {false, false, 0}};
    for (const Case& c : cases) {
        Rasterizer r;
        r.Reset({0, 0, 6, 6});
        Square(r, 0, 0, 6, 6);
        if (c.sameWay)
            Square(r, 2, 2, 4, 4);
        else
            Square(r, 4, 2, 2, 4); // mirrored: wound the other way
        Grid g(6, 6);
        r.Sweep(c.nonZero, g);
        EXPECT_EQ(g.At(0, 0), 255);
        EXPECT_EQ(g.At(2, 2), c.inner) << c.sameWay << c.nonZero;
        EXPECT_EQ(g.At(5, 5), 255);
    }
}

TEST(Rasterizer, PartsOutsideTheClipBoxStillCountForWhatIsInside) {
    // From far left of the box to pixel 2, from above to below: pixels 0 and 1 of every row covered.
    Grid g = Fill(-1000, -50, 2, 90);
    for (int y = 0; y < 6; ++y) {
        EXPECT_EQ(g.At(0, y), 255);
        EXPECT_EQ(g.At(1, y), 255);
        EXPECT_EQ(g.At(2, y), 0);
    }
    // Entirely right of the box: nothing.
    Grid right = Fill(7, 0, 9, 6);
    for (uint8_t v : right.values)
        EXPECT_EQ(v, 0);
    // A box cut from a larger canvas: nothing outside it is reported.
    Rasterizer r;
    r.Reset({2, 2, 4, 4});
    Square(r, 0, 0, 6, 6);
    Grid box(6, 6);
    r.Sweep(true, box);
    EXPECT_EQ(box.At(1, 1), 0);
    EXPECT_EQ(box.At(2, 2), 255);
    EXPECT_EQ(box.At(3, 3), 255);
    EXPECT_EQ(box.At(4, 4), 0);
}

TEST(Rasterizer, NonFiniteAndHugeCoordinatesAreHarmless) {
    Rasterizer r;
    r.Reset({0, 0, 6, 6});
    r.AddLine(NAN, 0, 3, 3);
    r.AddLine(1e30f, -1e30f, -1e30f, 1e30f);
    r.AddQuad(0, 0, INFINITY, 5, 2, 2);
    Grid g(6, 6);
    r.Sweep(false, g); // must not crash or report outside the box
    SUCCEED();
}

TEST(Painter, SourceOverOnPremultipliedPixels) {
    uint32_t pixels[4] = {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000};
    Canvas canvas{pixels, 4, 1, 4};
    Painter p;
    p.SetTarget(&canvas, nullptr);
    p.SetColor({255, 0, 0, 128}, SwfColorTransform());
    uint8_t covers[4] = {255, 128, 0, 255};
    p.Row(0, 0, 4, covers);
    auto channel = [&](int i, int shift) { return static_cast<int>((pixels[i] >> shift) & 255); };
    EXPECT_NEAR(channel(0, 16), 255, 1);
    EXPECT_NEAR(channel(0, 8), 127, 2); // half red over white
    EXPECT_NEAR(channel(1, 8), 191, 2); // a quarter
    EXPECT_EQ(pixels[2], 0xFFFFFFFFu);
    EXPECT_NEAR(channel(3, 16), 128, 2); // half red over black
    EXPECT_EQ(channel(3, 24), 255);
}

} // namespace
