// What the fills paint: bitmap fills repeated or clipped, gradients with their
// spread modes, colour transforms, strokes and text, drawn through the renderer.
#include "player/display.h"
#include "player/filters.h"
#include "player/renderer.h"

#include "strokefont.h"
#include "swfwriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

// A movie of one shape covering the 10 by 10 pixel stage, drawn at 1:1.
struct Drawn {
    std::vector<uint8_t> bytes;
    Movie movie;
    std::unique_ptr<Stage> stage;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(100);
    Drawn(SwfWriter& w, uint16_t shape, const SwfColorTransform* cx = nullptr) {
        PlaceArgs p;
        p.characterId = shape;
        if (cx) {
            p.hasCxform = true;
            p.cxform = *cx;
        }
        w.Place(1, p);
        w.ShowFrame();
        bytes = w.Finish(false);
        EXPECT_EQ(movie.Load(bytes.data(), bytes.size()), SWF_OK);
        stage = std::make_unique<Stage>(&movie);
        stage->Start();
        Canvas canvas{pixels.data(), 10, 10, 10};
        Renderer r;
        r.Render(*stage, canvas);
    }
    uint32_t At(int x, int y) const { return pixels[y * 10 + x] & 0xFFFFFF; }
};

TEST(Fills, BitmapsRepeatOrStretchTheirEdges) {
    // A 2 by 2 bitmap: red, green / blue, white; one bitmap pixel per stage pixel.
    std::vector<SwfColor> px = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, 255}};
    for (bool repeat : {true, false}) {
        SCOPED_TRACE(repeat);
        SwfWriter w(8, 10, 10, 1);
        uint16_t bitmap = w.DefineBitmap(2, 2, px);
        ShapeBuilder s;
        s.AddBitmapFill(bitmap, SwfMatrix::Scale(20, 20), repeat, false);
        s.Style(-1, 1, -1);
        s.Rect(0, 0, 200, 200);
        uint16_t shape = w.DefineShape(s);
        Drawn d(w, shape);
        EXPECT_EQ(d.At(0, 0), 0xFF0000u);
        EXPECT_EQ(d.At(1, 0), 0x00FF00u);
        EXPECT_EQ(d.At(0, 1), 0x0000FFu);
        EXPECT_EQ(d.At(1, 1), 0xFFFFFFu);
        EXPECT_EQ(d.At(2, 0), repeat ? 0xFF0000u : 0x00FF00u);
        EXPECT_EQ(d.At(7, 7), 0xFFFFFFu); // the last pixel either way
        EXPECT_EQ(d.At(6, 7), repeat ? 0x0000FFu : 0xFFFFFFu);
    }
}

TEST(Fills, GradientSpreadModesOutsideTheSquare) {
    // A horizontal gradient from black to white over 60..140 twips (pixels 3 to 7):
    // pixel centres 0, 1, 5 and 9 lie at ratios -0.625, -0.375, 0.625 and 1.625.
    struct Case {
        uint8_t spread;
        int p0, p1, p9;
    } cases[] = {{SPREAD_PAD, 0, 0, 255}, {SPREAD_REPEAT, 96, 159, 159}, {SPREAD_REFLECT, 159, 96, 96}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spread);
        SwfWriter w(8, 10, 10, 1);
        ShapeBuilder s;
        double scale = 80 / 32768.0; // the square's 32768 units over 80 twips
        s.AddGradientFill(FILL_LINEAR, {scale, 0, 0, scale, 100, 100}, {{0, {0, 0, 0, 255}}, {255, {255, 255, 255, 255}}},
                          c.spread);
        s.Style(-1, 1, -1);
        s.Rect(0, 0, 200, 200);
        Drawn d(w, w.DefineShape(s));
        EXPECT_NEAR(static_cast<int>(d.At(5, 5) & 255), 159, 3);
        EXPECT_NEAR(static_cast<int>(d.At(0, 5) & 255), c.p0, 3);
        EXPECT_NEAR(static_cast<int>(d.At(1, 5) & 255), c.p1, 3);
        EXPECT_NEAR(static_cast<int>(d.At(9, 5) & 255), c.p9, 3);
    }
}

TEST(Fills, RadialGradientAndColourTransform) {
    SwfWriter w(8, 10, 10, 1);
    ShapeBuilder s;
    double scale = 100 / 16384.0; // radius 5 pixels around the centre
    s.AddGradientFill(FILL_RADIAL, {scale, 0, 0, scale, 100, 100}, {{0, {255, 0, 0, 255}}, {255, {0, 0, 255, 255}}});
    s.Style(-1, 1, -1);
    s.Rect(0, 0, 200, 200);
    SwfColorTransform cx;
    cx.mulR = 0.5f;
    cx.addG = 100;
    Drawn d(w, w.DefineShape(s), &cx);
    uint32_t centre = d.At(5, 5), corner = d.At(0, 0);
    EXPECT_NEAR(static_cast<int>(centre >> 16), 115, 20); // red halved, near the centre
    EXPECT_EQ((centre >> 8) & 255, 100u);                  // green added
    EXPECT_EQ(corner, 0x0064FFu);                          // beyond the radius: the last colour, padded
}

TEST(Strokes, AWideLineCoversItsWidthAndHairlinesStayVisible) {
    for (float width : {60.0f, 2.0f}) {
        SCOPED_TRACE(width);
        SwfWriter w(8, 10, 10, 1);
        ShapeBuilder s;
        s.AddLine(width, {0, 0, 0, 255});
        s.Style(-1, -1, 1);
        s.MoveTo(20, 100);
        s.LineTo(180, 100);
        Drawn d(w, w.DefineShape(s));
        // Three pixels wide around y = 5, or at least one pixel for a hairline.
        EXPECT_LT(d.At(5, 5) & 255, width > 20 ? 10u : 200u);
        EXPECT_EQ(d.At(5, 1), 0xFFFFFFu);
        if (width > 20) {
            EXPECT_LT(d.At(5, 4) & 255, 10u);
            EXPECT_LT(d.At(0, 5) & 255, 255u); // the round cap reaches half the width past the end
        }
    }
}

TEST(Text, StaticTextDrawsItsGlyphsInItsColour) {
    SwfWriter w(8, 10, 10, 1);
    StrokeFont font = MakeStrokeFont("l", 200);
    uint16_t fontId = w.DefineFont("t", font.glyphs, font.codes, font.advances, 800, 200);
    SwfRect bounds{0, 200, 0, 200};
    uint16_t text = w.DefineText(fontId, font.codes, font.advances, "l", 200, {255, 0, 0, 255}, bounds);
    PlaceArgs p;
    p.characterId = text;
    p.matrix = SwfMatrix::Translate(0, 180); // baseline near the bottom
    w.Place(1, p);
    w.ShowFrame();
    std::vector<uint8_t> bytes = w.Finish(false);
    Movie movie;
    ASSERT_EQ(movie.Load(bytes.data(), bytes.size()), SWF_OK);
    Stage stage(&movie);
    stage.Start();
    std::vector<uint32_t> pixels(100);
    Canvas canvas{pixels.data(), 10, 10, 10};
    Renderer r;
    r.Render(stage, canvas);
    // The "l" is a vertical bar about two pixels wide near x = 1..2, from the baseline up about 7 pixels.
    int red = 0;
    for (uint32_t p : pixels)
        red += (p & 0xFFFFFF) == 0xFF0000;
    EXPECT_GT(red, 6);
    EXPECT_EQ(pixels[5 * 10 + 8] & 0xFFFFFF, 0xFFFFFFu);
}

} // namespace

namespace {

TEST(Filters, ListsParseAndDamagedOnesKeepWhatCameFirst) {
    // A blur of 4 by 2 pixels in 2 passes, a colour matrix that swaps red and blue, a bevel (skipped).
    std::vector<uint8_t> bytes = {3, 1, 0, 0, 4, 0, 0, 0, 2, 0, 2 << 3, 6};
    const float swap[20] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    for (float v : swap) {
        uint8_t b[4];
        memcpy(b, &v, 4);
        bytes.insert(bytes.end(), b, b + 4);
    }
    bytes.push_back(3);
    bytes.insert(bytes.end(), 27, 0);
    SwfReader r(bytes.data(), bytes.size());
    std::vector<Filter> filters;
    ASSERT_TRUE(ParseFilters(r, &filters));
    ASSERT_EQ(filters.size(), 2u);
    EXPECT_EQ(filters[0].type, FILTER_BLUR);
    EXPECT_FLOAT_EQ(filters[0].blurX, 4);
    EXPECT_FLOAT_EQ(filters[0].blurY, 2);
    EXPECT_EQ(filters[0].passes, 2);
    EXPECT_EQ(filters[1].type, FILTER_COLOR_MATRIX);
    EXPECT_FLOAT_EQ(filters[1].matrix[2], 1);

    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 20);
    SwfReader c(cut.data(), cut.size());
    std::vector<Filter> some;
    EXPECT_FALSE(ParseFilters(c, &some));
    EXPECT_EQ(some.size(), 1u);
}

TEST(Filters, BlurSpreadsAndTheColourMatrixSwapsChannels) {
    std::vector<uint32_t> pixels(9 * 9, 0);
    pixels[4 * 9 + 4] = 0xFFFF0000; // one opaque red pixel in the middle
    Canvas layer{pixels.data(), 9, 9, 9};
    Filter blur;
    blur.type = FILTER_BLUR;
    blur.blurX = blur.blurY = 3; // a 3 by 3 box
    Filter swap;
    swap.type = FILTER_COLOR_MATRIX;
    const float m[20] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
    memcpy(swap.matrix, m, sizeof m);
    ApplyFilters({blur, swap}, layer, {0, 0, 9, 9}, 1);
    EXPECT_EQ(pixels[4 * 9 + 4] >> 24, 255u / 9);
    EXPECT_EQ(pixels[3 * 9 + 3] >> 24, 255u / 9);
    EXPECT_EQ(pixels[2 * 9 + 2], 0u);
    EXPECT_EQ((pixels[4 * 9 + 4] >> 16) & 255, 0u); // red moved to blue
    EXPECT_GT(pixels[4 * 9 + 4] & 255, 20u);
}

TEST(Filters, AGlowSurroundsTheObjectInItsColour) {
    std::vector<uint32_t> pixels(9 * 9, 0);
    for (int y = 3; y < 6; ++y)
        for (int x = 3; x < 6; ++x)
            pixels[y * 9 + x] = 0xFFFFFFFF; // a white 3 by 3 square
    Canvas layer{pixels.data(), 9, 9, 9};
    Filter glow;
    glow.type = FILTER_GLOW;
    glow.color = {255, 0, 0, 255};
    glow.blurX = glow.blurY = 3;
    glow.strength = 2;
    ApplyFilters({glow}, layer, {0, 0, 9, 9}, 1);
    EXPECT_EQ(pixels[4 * 9 + 4], 0xFFFFFFFFu);        // the object stays on top
    EXPECT_GT(pixels[4 * 9 + 2] >> 24, 100u);          // red glow beside it
    EXPECT_EQ((pixels[4 * 9 + 2] >> 8) & 255, 0u);
    EXPECT_EQ(pixels[0], 0u);                          // nothing far away
}

} // namespace
