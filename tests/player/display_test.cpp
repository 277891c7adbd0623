#include "player/display.h"
#include "player/player.h"

#include "swfwriter.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

ShapeBuilder Box(SwfColor c) {
    ShapeBuilder s;
    s.AddSolidFill(c);
    s.Style(-1, 1, -1);
    s.Rect(0, 0, 200, 200);
    return s;
}

struct Loaded {
    std::vector<uint8_t> bytes;
    Movie movie;
    std::unique_ptr<Stage> stage;
    explicit Loaded(SwfWriter& w) {
        bytes = w.Finish(false);
        EXPECT_EQ(movie.Load(bytes.data(), bytes.size()), SWF_OK);
        stage = std::make_unique<Stage>(&movie);
        stage->Start();
    }
    SpriteInstance& Root() { return *stage->root; }
};

// Frame 1: box at depth 1; frame 2: moved; frame 3: removed, another at depth 2.
SwfWriter ThreeFrames() {
    SwfWriter w(8, 100, 100, 10);
    uint16_t red = w.DefineShape(Box({255, 0, 0, 255}));
    uint16_t blue = w.DefineShape(Box({0, 0, 255, 255}));
    PlaceArgs a;
    a.characterId = red;
    a.name = "red";
    w.Place(1, a);
    w.ShowFrame();
    PlaceArgs move;
    move.matrix = SwfMatrix::Translate(40, 0);
    w.Place(1, move);
    w.Label("second");
    w.ShowFrame();
    w.Remove(1);
    PlaceArgs b;
    b.characterId = blue;
    w.Place(2, b);
    w.ShowFrame();
    return w;
}

TEST(Timeline, PlaceMoveRemoveAndLoopBackToTheFirstFrame) {
    SwfWriter w = ThreeFrames();
    Loaded m(w);
    SpriteInstance& root = m.Root();
    ASSERT_EQ(root.FrameCount(), 3);
    EXPECT_FALSE(root.Still());
    ASSERT_NE(root.AtDepth(1), nullptr);
    EXPECT_EQ(root.FindByName("RED"), root.AtDepth(1));
    DisplayObject* first = root.AtDepth(1);
    m.stage->Tick();
    EXPECT_EQ(root.CurrentFrame(), 1);
    EXPECT_EQ(root.AtDepth(1), first); // moved, not replaced
    EXPECT_DOUBLE_EQ(first->matrix.tx, 40);
    m.stage->Tick();
    EXPECT_EQ(root.AtDepth(1), nullptr);
    ASSERT_NE(root.AtDepth(2), nullptr);
    m.stage->Tick(); // loops like a projector
    EXPECT_EQ(root.CurrentFrame(), 0);
    ASSERT_NE(root.AtDepth(1), nullptr);
    EXPECT_DOUBLE_EQ(root.AtDepth(1)->matrix.tx, 0);
    EXPECT_EQ(root.AtDepth(2), nullptr);
}

TEST(Timeline, GotoLabelsStopAndScriptMadeInstancesSurviveRewinds) {
    SwfWriter w = ThreeFrames();
    Loaded m(w);
    SpriteInstance& root = m.Root();
    EXPECT_TRUE(root.GotoLabel("SECOND", false));
    EXPECT_EQ(root.CurrentFrame(), 1);
    EXPECT_FALSE(root.Playing());
    EXPECT_TRUE(root.Still()); // stopped, with no clip of its own that plays
    EXPECT_FALSE(root.GotoLabel("nowhere", true));
    DisplayObject* made = root.CreateInstance(root.AtDepth(1)->character->id, 500, "made");
    ASSERT_NE(made, nullptr);
    root.GotoFrame(2, false);
    root.GotoFrame(0, false);
    EXPECT_EQ(root.AtDepth(500), made);
    m.stage->changed = false;
    m.stage->Tick(); // stopped: nothing moves and nothing needs drawing
    EXPECT_EQ(root.CurrentFrame(), 0);
    EXPECT_FALSE(m.stage->changed);
    DisplayObject* copy = root.DuplicateInstance(made, "copy", 501);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(root.RemoveInstance(500));
    EXPECT_EQ(root.FindByName("copy"), copy);
    root.SwapDepths(501, 7);
    EXPECT_EQ(root.AtDepth(7), copy);
    root.Play();
    m.stage->Tick();
    EXPECT_EQ(root.CurrentFrame(), 1);
}

TEST(Timeline, NestedSpritesPlayTheirOwnTimelines) {
    SwfWriter w(8, 100, 100, 10);
    uint16_t box = w.DefineShape(Box({0, 255, 0, 255}));
    TimelineWriter inner;
    for (int f = 0; f < 4; ++f) {
        PlaceArgs p;
        p.characterId = f == 0 ? box : 0;
        p.matrix = SwfMatrix::Translate(f * 10, 0);
        inner.Place(1, p);
        inner.ShowFrame();
    }
    uint16_t sprite = w.DefineSprite(inner);
    PlaceArgs p;
    p.characterId = sprite;
    w.Place(1, p);
    w.ShowFrame();
    Loaded m(w);
    auto* clip = static_cast<SpriteInstance*>(m.Root().AtDepth(1));
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(clip->kind, OBJ_SPRITE);
    EXPECT_EQ(clip->CurrentFrame(), 0);
    m.stage->Tick();
    m.stage->Tick();
    EXPECT_EQ(clip->CurrentFrame(), 2);
    EXPECT_DOUBLE_EQ(clip->AtDepth(1)->matrix.tx, 20);
    EXPECT_FALSE(m.Root().Still()); // the root has one frame, but its clip plays
    clip->Stop();
    EXPECT_TRUE(m.Root().Still());
    m.stage->Tick();
    EXPECT_EQ(clip->CurrentFrame(), 2);
}

TEST(Timeline, ASpritePlacingItselfStopsAtTheNestingLimit) {
    SwfWriter w(8, 100, 100, 10);
    // Sprite 1 places character 1, itself.
    TimelineWriter self;
    PlaceArgs p;
    p.characterId = 1;
    self.Place(1, p);
    self.ShowFrame();
    uint16_t id = w.DefineSprite(self);
    ASSERT_EQ(id, 1);
    w.Place(1, p);
    w.ShowFrame();
    Loaded m(w);
    int depth = 0;
    for (DisplayObject* o = m.Root().AtDepth(1); o; o = static_cast<SpriteInstance*>(o)->AtDepth(1))
        ++depth;
    EXPECT_EQ(depth, Stage::MAX_NESTING - 1);
    EXPECT_LT(m.stage->instances, Stage::MAX_NESTING + 1);
}

TEST(Drawing, ShapesDrawnIntoAClipFillTheirArea) {
    SwfWriter w(8, 10, 10, 10);
    w.ShowFrame();
    Loaded m(w);
    Drawing& d = m.Root().GetDrawing();
    d.BeginFill(SwfColor{0, 0, 255, 255});
    d.MoveTo(0, 0);
    d.LineTo(100, 0);
    d.LineTo(100, 200);
    d.LineTo(0, 200);
    d.EndFill();
    std::vector<uint32_t> pixels(10 * 10);
    Canvas canvas{pixels.data(), 10, 10, 10};
    Renderer r;
    r.Render(*m.stage, canvas);
    EXPECT_EQ(pixels[2 * 10 + 2], 0xFF0000FFu);   // inside the 5 by 10 pixel area
    EXPECT_EQ(pixels[2 * 10 + 7], 0xFFFFFFFFu);   // the white background beside it
}

TEST(Renderer, StageIsFittedWithBordersInTheBackgroundColour) {
    SwfWriter w(8, 10, 10, 10); // a 10 by 10 pixel stage
    w.Background({0, 255, 0, 255});
    uint16_t red = w.DefineShape(Box({255, 0, 0, 255})); // 10 by 10 pixels
    PlaceArgs p;
    p.characterId = red;
    w.Place(1, p);
    w.ShowFrame();
    Loaded m(w);
    std::vector<uint32_t> pixels(40 * 20);
    Canvas canvas{pixels.data(), 40, 20, 40};
    Renderer r;
    r.Render(*m.stage, canvas); // scale 2, ten pixels of border left and right
    EXPECT_EQ(pixels[10 * 40 + 5], 0xFF00FF00u);
    EXPECT_EQ(pixels[10 * 40 + 15], 0xFFFF0000u);
    EXPECT_EQ(pixels[10 * 40 + 29], 0xFFFF0000u);
    EXPECT_EQ(pixels[10 * 40 + 35], 0xFF00FF00u);
}

TEST(Renderer, AClipDepthMaskShowsOnlyWhatItCovers) {
    SwfWriter w(8, 10, 10, 10);
    ShapeBuilder half;
    half.AddSolidFill({0, 0, 0, 255});
    half.Style(-1, 1, -1);
    half.Rect(0, 0, 100, 200); // the left half
    uint16_t mask = w.DefineShape(half);
    ShapeBuilder full;
    full.AddSolidFill({255, 0, 0, 255});
    full.Style(-1, 1, -1);
    full.Rect(0, 0, 200, 200);
    uint16_t red = w.DefineShape(full);
    PlaceArgs m1;
    m1.characterId = mask;
    m1.clipDepth = 2;
    w.Place(1, m1);
    PlaceArgs r1;
    r1.characterId = red;
    w.Place(2, r1);
    w.ShowFrame();
    Loaded m(w);
    std::vector<uint32_t> pixels(10 * 10);
    Canvas canvas{pixels.data(), 10, 10, 10};
    Renderer r;
    r.Render(*m.stage, canvas);
    EXPECT_EQ(pixels[5 * 10 + 2], 0xFFFF0000u);
    EXPECT_EQ(pixels[5 * 10 + 7], 0xFFFFFFFFu);
}

TEST(FrameClock, StepsAreDueAtFixedTimesWithoutDrift) {
    FrameClock c;
    c.Start(1000, 40);
    EXPECT_EQ(c.Due(1039), 0);
    EXPECT_DOUBLE_EQ(c.Wait(1039), 1);
    EXPECT_EQ(c.Due(1041), 1);
    EXPECT_EQ(c.Due(1161), 3); // late wake-up: three steps, drawn once
    EXPECT_DOUBLE_EQ(c.Wait(1161), 39);
    EXPECT_EQ(c.Due(100000), 8); // a stall: catch up a bounded amount
    EXPECT_EQ(c.Due(100001), 0);
}

} // namespace
