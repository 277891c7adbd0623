// Octree colour quantisation.
//
// Phases:
// 1. Classification (QuantAddImage, QuantAddColors): every colour is sorted
//    into an octree of the RGB cube down to `depth` levels; the octant at a
//    node is (centre red < r) + 2 (centre green < g) + 4 (centre blue < b).
//    Each node counts the pixels sorted through it (`weight`); the node
//    reached keeps the pixel count and the channel sums. Runs of equal pixels
//    are added as one colour; a tree beyond 266817 nodes loses its deepest
//    level before the next colour goes in.
// 2. Reduction (QuantReduce): bottom-up passes merge every node whose weight
//    is at most a threshold into its parent, the threshold rising each pass
//    to the lightest survivor, until no more colour nodes remain than the
//    palette has free entries.
// 3. Assignment (QuantAssign): each colour node gives one palette entry, the
//    rounded mean of its pixels, from the first free entry upward.
// 4. Rebuild (QuantRebuildTree): the tree is replaced by one that holds
//    exactly the palette's colours at depth 8, so that QuantFindNearest can
//    answer nearest-colour questions for the dithering engine.
//
// Ownership: a QUANTIZER is a plain value that the client zero-fills before
// QuantInit. It owns its node blocks (2048 nodes each, never freed singly) and
// its palette; QuantFree releases both and is safe to call twice.
//
// Calling order: QuantInit; QuantAddImage or QuantAddColors; for pictures
// QuantBuildPalette; then any QuantFindNearest and QuantHideNearest /
// QuantShowHidden; QuantFree.
#pragma once

#include "image/dibimage.h"

// Progress callback: percent done and the client's data; nonzero stops the
// running operation.
typedef int (*PROGRESSPROC)(int percent, void* data);

struct QUANTNODE {
    QUANTNODE* parent; // the root is its own parent
    QUANTNODE* child[8];
    BYTE id;        // octant in the parent
    BYTE level;     // 0 for the root
    BYTE childMask; // bit i: child i present
    BYTE centerRed;
    BYTE centerGreen;
    BYTE centerBlue;
    DWORD weight;     // pixels sorted through this node; 0xFFFFFFFF for the root
    DWORD pixelCount; // nonzero makes a colour node
    DWORD sumRed;
    DWORD sumGreen;
    DWORD sumBlue;
    LONG paletteIndex;
};

enum : int {
    QUANT_BLOCK_NODES = 2048,
    QUANT_MAX_NODES = 266817,
};

struct QUANTBLOCK {
    QUANTBLOCK* next; // the block allocated before this one
    QUANTNODE nodes[QUANT_BLOCK_NODES];
};

struct QUANTIZER {
    LOGPALETTE* palette; // owned; null before a palette is made and after a failure
    QUANTNODE* root;
    QUANTNODE* hiddenNode; // the node QuantHideNearest changed, or null
    LONG hiddenIndex;      // the entry QuantHideNearest reserved, or -1
    DWORD leafCount;       // colour nodes; during assignment the next entry
    DWORD depth;           // levels below the root that hold colours, 2 to 8
    DWORD pruneThreshold;
    DWORD nextThreshold;
    DWORD bestDistance;
    LONG squares[511]; // v * v for v = -255 to 255, at index v + 255
    DWORD nodeCount;
    LONG freeInBlock;
    QUANTNODE* nextFree;
    QUANTBLOCK* blockList; // newest block
    PROGRESSPROC progress;
    void* progressData;
    LONG foundIndex;
    LONG firstIndex; // first entry after the lower static colours
    DWORD cancel;
    LONG progressPos;
    LONG progressTotal;
};

// Prepares an empty tree for a palette of colours entries (0: the display's
// colour count); depth 0 chooses it from the count (256 colours: 4), and it
// is kept within 2 to 8. 0; -1 when colours is not within 1 to 256 (nothing
// else changed); IMG_ERR_MEMORY.
int QuantInit(QUANTIZER* q, int depth, int colours);
// Sorts every pixel of a 4, 8 or 24-bit picture into the tree (8 and 4-bit
// pixels through `colors`). IMG_ERR_FORMAT for other depths or no pixels,
// IMG_ERR_CANCELLED, IMG_ERR_MEMORY.
int QuantAddImage(QUANTIZER* q, const DIBIMAGE* image);
// Sorts count (at most 256) colours into the tree, entry i with index i.
// Without withSystem the palette is exactly these colours; with it,
// QuantBuildPalette(q, count, withSystem). The palette, or null.
LOGPALETTE* QuantAddColors(QUANTIZER* q, const RGBQUAD* table, int count, BOOL withSystem);
// Reduces the tree to the free entries of a new palette (AllocPalette), fills
// them and rebuilds the tree from the palette. The palette, or null (none is
// kept) on failure or cancel.
LOGPALETTE* QuantBuildPalette(QUANTIZER* q, int colours, BOOL withSystem);
// The palette entry nearest to (r, g, b) within the subtree the colour falls
// into (the whole tree when exclude is 0 or more), never exclude. 0 when no
// entry qualifies.
int QuantFindNearest(QUANTIZER* q, int r, int g, int b, int exclude);
// Reserves the entry nearest to (r, g, b): afterwards no search returns it.
void QuantHideNearest(QUANTIZER* q, int r, int g, int b);
void QuantShowHidden(QUANTIZER* q);
void QuantFree(QUANTIZER* q);

// Adds count pixels of one colour that stands for palette entry index.
// IMG_ERR_MEMORY.
int QuantAddColor(QUANTIZER* q, int r, int g, int b, DWORD count, int index);
// Prunes until leafCount is at most target: 0, or 1 when stopped.
int QuantReduce(QUANTIZER* q, DWORD target);
// Gives each colour node of the subtree the next palette entry (leafCount).
void QuantAssign(QUANTIZER* q, QUANTNODE* node);
// Replaces the tree by one holding exactly the palette's colours.
int QuantRebuildTree(QUANTIZER* q);

void QuantSetProgress(QUANTIZER* q, PROGRESSPROC proc, void* data);
// A grey ramp in the free entries of a new palette; null on failure.
LOGPALETTE* QuantMakeGrayPalette(QUANTIZER* q, int colours, BOOL withSystem);
