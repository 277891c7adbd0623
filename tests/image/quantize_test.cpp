#include "image/quantize.h"

#include "image/palette.h"
#include "imagetest.h"

#include <gtest/gtest.h>

#include <cstring>

#include <set>

namespace {

using imagetest::Picture;

using imagetest::Quantizer;

// The node a colour reaches at the tree's depth, or null.
const QUANTNODE* NodeOf(QUANTIZER* q, int r, int g, int b) {
    const QUANTNODE* node = q->root;
    for (DWORD level = 1; level <= q->depth; ++level) {
        int octant = (node->centerRed < r) | ((node->centerGreen < g) << 1) | ((node->centerBlue < b) << 2);
        if (!(node->childMask & (1 << octant)))
            return nullptr;
        node = node->child[octant];
    }
    return node;
}

// A palette of the given colours (0x00RRGGBB) with the tree rebuilt from it.
void UsePalette(QUANTIZER* q, const std::vector<DWORD>& colours) {
    q->palette = AllocPalette(FALSE, static_cast<int>(colours.size()), nullptr);
    ASSERT_NE(q->palette, nullptr);
    for (size_t i = 0; i < colours.size(); ++i) {
        q->palette->palPalEntry[i].peRed = static_cast<BYTE>(colours[i] >> 16);
        q->palette->palPalEntry[i].peGreen = static_cast<BYTE>(colours[i] >> 8);
        q->palette->palPalEntry[i].peBlue = static_cast<BYTE>(colours[i]);
    }
    ASSERT_EQ(QuantRebuildTree(q), 0);
    q->hiddenIndex = -1;
}

TEST(QuantInit, DepthFollowsTheColourCount) {
    struct Case {
        int depth, colours;
        DWORD chosen;
    } cases[] = {
        {0, 1, 2},   {0, 2, 2},   {0, 3, 2},   {0, 4, 2},   {0, 16, 2},  {0, 64, 3},
        {0, 128, 3}, {0, 256, 4}, {1, 256, 2}, {5, 256, 5}, {9, 256, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << ", " << c.colours);
        Quantizer q;
        ASSERT_EQ(QuantInit(q.get(), c.depth, c.colours), 0);
        EXPECT_EQ(q->depth, c.chosen);
        ASSERT_NE(q->root, nullptr);
        EXPECT_EQ(q->root->parent, q->root);
        EXPECT_EQ(q->root->weight, 0xFFFFFFFFu);
        EXPECT_EQ(q->root->centerRed, 128);
        EXPECT_EQ(q->nodeCount, 1u);
        EXPECT_EQ(q->squares[0], 255 * 255);
        EXPECT_EQ(q->squares[255 + 3], 9);
    }
}

TEST(QuantInit, CountsOutsideOneTo256ChangeNothing) {
    for (int colours : {-1, 257, 1000}) {
        Quantizer q;
        q->depth = 77;
        EXPECT_EQ(QuantInit(q.get(), 0, colours), -1);
        EXPECT_EQ(q->depth, 77u);
        EXPECT_EQ(q->root, nullptr);
        QuantFree(q.get()); // harmless after a failed init
    }
}

TEST(QuantAddImage, RunsOfEqualPixelsCountOneMoreThanTheirLength) {
    Picture same;
    ASSERT_EQ(imagetest::Make24(same.get(), 10, 1, [](int, int) { return 0x204060u; }), IMG_OK);
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    ASSERT_EQ(QuantAddImage(q.get(), same.get()), IMG_OK);
    EXPECT_EQ(q->leafCount, 1u);
    const QUANTNODE* node = NodeOf(q.get(), 0x20, 0x40, 0x60);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->pixelCount, 11u);
    EXPECT_EQ(node->sumRed, 11u * 0x20);

    // Ten colours in ten different cells: two each.
    Picture different;
    ASSERT_EQ(imagetest::Make24(different.get(), 10, 1, [](int x, int) { return static_cast<DWORD>(x * 25) << 16; }),
              IMG_OK);
    Quantizer q10;
    ASSERT_EQ(QuantInit(q10.get(), 0, 256), 0);
    ASSERT_EQ(QuantAddImage(q10.get(), different.get()), IMG_OK);
    EXPECT_EQ(q10->leafCount, 10u);
    for (int x = 0; x < 10; ++x) {
        const QUANTNODE* n = NodeOf(q10.get(), x * 25, 0, 0);
        ASSERT_NE(n, nullptr);
        EXPECT_EQ(n->pixelCount, 2u);
    }
}

TEST(QuantAddImage, IndexedPixelsRunByTheirColour) {
    // Indices 1 and 2 hold the same colour: one run of 6.
    RGBQUAD table[4] = {{0, 0, 0, 0}, {9, 8, 7, 0}, {9, 8, 7, 0}, {200, 0, 0, 0}};
    for (int bitCount : {4, 8}) {
        Picture p;
        ASSERT_EQ(DibCreate(p.get(), 6, 1, bitCount, table, 4), IMG_OK);
        for (int x = 0; x < 6; ++x)
            DibSetPixel(p.get(), x, 0, RGB(7, 8, 9), nullptr);
        if (bitCount == 8)
            p->bits[3] = 2; // another index of the same colour
        Quantizer q;
        ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
        ASSERT_EQ(QuantAddImage(q.get(), p.get()), IMG_OK);
        EXPECT_EQ(q->leafCount, 1u);
        EXPECT_EQ(NodeOf(q.get(), 7, 8, 9)->pixelCount, 7u);
    }
}

TEST(QuantAddImage, OtherDepthsAreRefusedAndTheTreeUntouched) {
    Picture p;
    RGBQUAD table[2] = {};
    ASSERT_EQ(DibCreate(p.get(), 4, 4, 1, table, 2), IMG_OK);
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    EXPECT_EQ(QuantAddImage(q.get(), p.get()), IMG_ERR_FORMAT);
    EXPECT_EQ(q->nodeCount, 1u);
}

TEST(QuantBuildPalette, FewColoursAreKeptAsTheirRoundedMeans) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    // Two colours in one cell of depth 4, one elsewhere.
    ASSERT_EQ(QuantAddColor(q.get(), 10, 20, 30, 1, 0), 0);
    ASSERT_EQ(QuantAddColor(q.get(), 11, 21, 31, 1, 0), 0);
    ASSERT_EQ(QuantAddColor(q.get(), 250, 5, 5, 3, 0), 0);
    LOGPALETTE* palette = QuantBuildPalette(q.get(), 16, FALSE);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->palNumEntries, 16);
    EXPECT_EQ(q->firstIndex, 0);
    const PALETTEENTRY& mean = palette->palPalEntry[0];
    EXPECT_EQ(mean.peRed, 11); // (1 + 21) / 2: halves round up
    EXPECT_EQ(mean.peGreen, 21);
    EXPECT_EQ(mean.peBlue, 31);
    EXPECT_EQ(palette->palPalEntry[1].peRed, 250);
    EXPECT_EQ(palette->palPalEntry[2].peRed, 255); // unused entries stay white
    EXPECT_EQ(q->hiddenIndex, -1);
    EXPECT_EQ(q->depth, 8u); // rebuilt from the palette
}

TEST(QuantBuildPalette, ManyColoursReduceToTheFreeEntries) {
    Picture p;
    ASSERT_EQ(
        imagetest::Make24(p.get(), 64, 64,
                          [](int x, int y) { return static_cast<DWORD>((x * 4) << 16 | (y * 4) << 8 | (x ^ y)); }),
        IMG_OK);
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    ASSERT_EQ(QuantAddImage(q.get(), p.get()), IMG_OK);
    EXPECT_GT(q->leafCount, 8u);
    LOGPALETTE* palette = QuantBuildPalette(q.get(), 8, FALSE);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(q->progressPos, q->progressTotal);
    // Passes merge every node of the lightest weight at once, so fewer than 8
    // may remain; the entries given out come first, the rest stay white.
    int assigned = 0;
    while (assigned < 8 &&
           !(palette->palPalEntry[assigned].peRed == 255 && palette->palPalEntry[assigned].peGreen == 255))
        ++assigned;
    EXPECT_GE(assigned, 1);
    for (int i = assigned; i < 8; ++i)
        EXPECT_EQ(palette->palPalEntry[i].peBlue, 255) << i;
}

int StopAtOnce(int, void*) {
    return 1;
}

TEST(QuantBuildPalette, CancelLeavesNoPalette) {
    Picture p;
    ASSERT_EQ(imagetest::Make24(p.get(), 32, 32, [](int x, int y) { return static_cast<DWORD>(x * 8 << 16 | y * 8); }),
              IMG_OK);
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    QuantSetProgress(q.get(), StopAtOnce, nullptr);
    EXPECT_EQ(QuantAddImage(q.get(), p.get()), IMG_ERR_CANCELLED);
    QuantSetProgress(q.get(), nullptr, nullptr);
    ASSERT_EQ(QuantAddImage(q.get(), p.get()), IMG_OK);
    q->cancel = 1;
    EXPECT_EQ(QuantBuildPalette(q.get(), 4, FALSE), nullptr);
    EXPECT_EQ(q->palette, nullptr);
}

TEST(QuantReduce, StopsWhenOnlyTheRootIsLeft) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(QuantAddColor(q.get(), i * 5, 255 - i * 5, i, 1, 0), 0);
    EXPECT_EQ(QuantReduce(q.get(), 0), 0);
    EXPECT_EQ(q->nodeCount, 1u);
    EXPECT_EQ(q->root->pixelCount, 50u);
}

TEST(QuantAddColor, TreeStaysWithinItsNodeBound) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 8, 256), 0);
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 3)
            for (int b = 0; b < 256; b += 5)
                ASSERT_EQ(QuantAddColor(q.get(), r, g, b, 1, 0), 0);
    EXPECT_LT(q->depth, 8u);
    EXPECT_LE(q->nodeCount, static_cast<DWORD>(QUANT_MAX_NODES) + 8);
}

TEST(QuantFindNearest, ExactColoursFindTheirEntryAndEqualEntriesTheHighest) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    UsePalette(q.get(), {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x00FF00, 0x808080});
    EXPECT_EQ(QuantFindNearest(q.get(), 255, 0, 0, -1), 1);
    EXPECT_EQ(QuantFindNearest(q.get(), 0, 0, 255, -1), 3);
    EXPECT_EQ(QuantFindNearest(q.get(), 0, 255, 0, -1), 5); // entries 2 and 5 share one node
    EXPECT_EQ(QuantFindNearest(q.get(), 128, 128, 128, -1), 6);
    EXPECT_EQ(q->bestDistance, 0u);
    EXPECT_EQ(QuantFindNearest(q.get(), 250, 250, 250, -1), 4);
    // Excluding an entry searches the whole tree for the next one.
    EXPECT_EQ(QuantFindNearest(q.get(), 255, 0, 0, 1), 6);
}

TEST(QuantHideNearest, ReservedEntryIsFoundAgainOnlyAfterShow) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    UsePalette(q.get(), {0x000000, 0xFF0000, 0xF00000, 0x0000FF, 0xFFFFFF});
    ASSERT_EQ(QuantFindNearest(q.get(), 255, 0, 0, -1), 1);
    QuantHideNearest(q.get(), 255, 0, 0);
    EXPECT_EQ(q->hiddenIndex, 1);
    EXPECT_NE(q->hiddenNode, nullptr);
    EXPECT_EQ(QuantFindNearest(q.get(), 255, 0, 0, -1), 2);
    for (int r = 0; r < 256; r += 15)
        EXPECT_NE(QuantFindNearest(q.get(), r, 0, 0, -1), 1);
    QuantShowHidden(q.get());
    EXPECT_EQ(q->hiddenIndex, -1);
    EXPECT_EQ(q->hiddenNode, nullptr);
    EXPECT_EQ(QuantFindNearest(q.get(), 255, 0, 0, -1), 1);
}

TEST(QuantAddColors, TableBecomesThePaletteEntryForEntry) {
    auto table = imagetest::Table(40);
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    LOGPALETTE* palette = QuantAddColors(q.get(), table.data(), 40, FALSE);
    ASSERT_NE(palette, nullptr);
    ASSERT_EQ(palette->palNumEntries, 40);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(palette->palPalEntry[i].peRed, table[i].rgbRed);
        EXPECT_EQ(palette->palPalEntry[i].peBlue, table[i].rgbBlue);
        EXPECT_EQ(palette->palPalEntry[i].peFlags, 0);
    }
    EXPECT_EQ(q->hiddenIndex, -1);
    EXPECT_EQ(QuantAddColors(q.get(), table.data(), 257, FALSE), nullptr);
}

TEST(QuantMakeGrayPalette, RampFillsTheFreeEntries) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    LOGPALETTE* palette = QuantMakeGrayPalette(q.get(), 4, FALSE);
    ASSERT_NE(palette, nullptr);
    const int expected[4] = {0, 63, 127, 191};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(palette->palPalEntry[i].peGreen, expected[i]);
    EXPECT_EQ(QuantFindNearest(q.get(), 120, 120, 120, -1), 2);
}

TEST(QuantFree, TwiceIsHarmless) {
    Quantizer q;
    ASSERT_EQ(QuantInit(q.get(), 0, 256), 0);
    ASSERT_NE(QuantBuildPalette(q.get(), 16, FALSE), nullptr);
    QuantFree(q.get());
    EXPECT_EQ(q->palette, nullptr);
    EXPECT_EQ(q->blockList, nullptr);
    QuantFree(q.get());
}

TEST(QuantInit, TrueColourDisplayNeedsNoPalette) {
    // This program runs on the 24-bit display: the display's count is -1.
    Quantizer q;
    EXPECT_EQ(QuantInit(q.get(), 0, 0), -1);
    EXPECT_EQ(q->root, nullptr);
}

} // namespace
