#include "image/quantize.h"

#include "image/palette.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr DWORD ROOT_WEIGHT = 0xFFFFFFFF;

int Octant(const QUANTNODE* node, int r, int g, int b) {
    return (node->centerRed < r ? 1 : 0) | (node->centerGreen < g ? 2 : 0) | (node->centerBlue < b ? 4 : 0);
}

QUANTNODE* NewNode(QUANTIZER* q) {
    if (q->freeInBlock == 0) {
        QUANTBLOCK* block = static_cast<QUANTBLOCK*>(std::malloc(sizeof(QUANTBLOCK)));
        if (!block)
            return nullptr;
        block->next = q->blockList;
        q->blockList = block;
        q->nextFree = block->nodes;
        q->freeInBlock = QUANT_BLOCK_NODES;
    }
    ++q->nodeCount;
    QUANTNODE* node = q->nextFree++;
    --q->freeInBlock;
    std::memset(node, 0, sizeof *node);
    return node;
}

void FreeBlocks(QUANTIZER* q) {
    while (q->blockList) {
        QUANTBLOCK* next = q->blockList->next;
        std::free(q->blockList);
        q->blockList = next;
    }
    q->root = nullptr;
    q->hiddenNode = nullptr;
    q->nextFree = nullptr;
    q->nodeCount = 0;
    q->freeInBlock = 0;
}

bool NewRoot(QUANTIZER* q) {
    q->root = NewNode(q);
    if (!q->root)
        return false;
    q->root->parent = q->root;
    q->root->centerRed = q->root->centerGreen = q->root->centerBlue = 128;
    q->root->weight = ROOT_WEIGHT; // never merged
    return true;
}

void Merge(QUANTIZER* q, QUANTNODE* node) {
    QUANTNODE* parent = node->parent;
    parent->childMask = static_cast<BYTE>(parent->childMask & ~(1 << node->id));
    parent->pixelCount += node->pixelCount;
    parent->sumRed += node->sumRed;
    parent->sumGreen += node->sumGreen;
    parent->sumBlue += node->sumBlue;
    --q->nodeCount;
}

// Children in ascending octant order before their parent.
template <typename Visit> void BottomUp(QUANTNODE* node, Visit& visit) {
    for (int i = 0; i < 8; ++i) {
        if (node->childMask & (1 << i))
            BottomUp(node->child[i], visit);
    }
    visit(node);
}

int Percent(long long pos, long long total) {
    return total > 0 ? static_cast<int>(pos * 100 / total) : 0;
}

// A pixel's colour as 0x00RRGGBB.
DWORD QuadColor(const RGBQUAD& c) {
    return (static_cast<DWORD>(c.rgbRed) << 16) | (c.rgbGreen << 8) | c.rgbBlue;
}

DWORD PixelColor(const DIBIMAGE* image, const BYTE* row, int x) {
    switch (image->info.biBitCount) {
    case 24: {
        const BYTE* p = row + 3 * x;
        return (static_cast<DWORD>(p[2]) << 16) | (p[1] << 8) | p[0];
    }
    case 8:
        return QuadColor(image->colors[row[x]]);
    default:
        return QuadColor(image->colors[(x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4]);
    }
}

// The scoring walk of QuantFindNearest, bottom-up with children in ascending
// octant order; of equal distances the first met wins. Kept in locals so that
// the walk, the hot path of dithering, needs no stores through the record.
struct NearestSearch {
    const PALETTEENTRY* palette;
    const LONG* squares; // indexed -255 to 255
    LONG entries;
    int r, g, b;
    int exclude;
    DWORD best = 0xFFFFFFFF;
    LONG found = 0;

    void Visit(const QUANTNODE* node) {
        for (unsigned mask = node->childMask; mask; mask &= mask - 1)
            Visit(node->child[__builtin_ctz(mask)]);
        const LONG index = node->paletteIndex;
        if (node->pixelCount == 0 || index == exclude || index < 0 || index >= entries)
            return;
        const PALETTEENTRY& e = palette[index];
        DWORD d = squares[e.peRed - r] + squares[e.peGreen - g] + squares[e.peBlue - b];
        if (d < best) {
            best = d;
            found = index;
        }
    }
};

void SetEntry(PALETTEENTRY* entry, int red, int green, int blue) {
    entry->peRed = static_cast<BYTE>(red);
    entry->peGreen = static_cast<BYTE>(green);
    entry->peBlue = static_cast<BYTE>(blue);
    entry->peFlags = 0;
}

BYTE Mean(DWORD sum, DWORD count) {
    return static_cast<BYTE>((count / 2 + static_cast<uint64_t>(sum)) / count);
}

} // namespace

int QuantInit(QUANTIZER* q, int depth, int colours) {
    if (colours == 0)
        colours = GetDisplayColorCount();
    if (colours <= 0 || colours > 256)
        return -1;
    q->blockList = nullptr;
    q->nodeCount = 0;
    q->freeInBlock = 0;
    if (depth == 0) {
        int n = 1;
        for (int c = colours; c > 0; c >>= 2)
            ++n;
        depth = n > 2 ? n - 2 : n;
    }
    q->depth = static_cast<DWORD>(depth < 2 ? 2 : depth > 8 ? 8 : depth);
    if (!NewRoot(q))
        return IMG_ERR_MEMORY;
    q->leafCount = 0;
    for (int v = -255; v <= 255; ++v)
        q->squares[v + 255] = v * v;
    return 0;
}

int QuantAddColor(QUANTIZER* q, int r, int g, int b, DWORD count, int index) {
    if (q->nodeCount > QUANT_MAX_NODES && q->depth > 1) {
        // Bound memory: fold the deepest level into its parents.
        auto foldDeepest = [q](QUANTNODE* node) {
            if (node->level == q->depth)
                Merge(q, node);
        };
        BottomUp(q->root, foldDeepest);
        --q->depth;
    }
    QUANTNODE* node = q->root;
    for (DWORD level = 1; level <= q->depth; ++level) {
        int octant = Octant(node, r, g, b);
        if (!(node->childMask & (1 << octant))) {
            QUANTNODE* child = NewNode(q);
            if (!child)
                return IMG_ERR_MEMORY;
            int h = 128 >> level;
            child->parent = node;
            child->id = static_cast<BYTE>(octant);
            child->level = static_cast<BYTE>(level);
            child->centerRed = static_cast<BYTE>(node->centerRed + ((octant & 1) ? h : -h));
            child->centerGreen = static_cast<BYTE>(node->centerGreen + ((octant & 2) ? h : -h));
            child->centerBlue = static_cast<BYTE>(node->centerBlue + ((octant & 4) ? h : -h));
            node->child[octant] = child;
            node->childMask = static_cast<BYTE>(node->childMask | (1 << octant));
            if (level == q->depth)
                ++q->leafCount;
        }
        node = node->child[octant];
        node->weight += count;
    }
    node->pixelCount += count;
    node->sumRed += r * count;
    node->sumGreen += g * count;
    node->sumBlue += b * count;
    node->paletteIndex = index;
    return 0;
}

int QuantAddImage(QUANTIZER* q, const DIBIMAGE* image) {
    const int height = image->info.biHeight;
    const int width = image->info.biWidth;
    q->progressPos = 0;
    q->progressTotal = height;
    int bitCount = image->info.biBitCount;
    if ((bitCount != 4 && bitCount != 8 && bitCount != 24) || !image->bits)
        return IMG_ERR_FORMAT;
    for (int y = 0; y < height; ++y) {
        if (q->progress && q->progress(Percent(y, height), q->progressData))
            return IMG_ERR_CANCELLED;
        q->progressPos = y;
        const BYTE* row = image->bits + static_cast<size_t>(y) * image->stride;
        int x = 0;
        while (x < width) {
            if (q->cancel)
                return IMG_ERR_CANCELLED;
            DWORD color = PixelColor(image, row, x);
            int run = 1;
            while (x + run < width && PixelColor(image, row, x + run) == color)
                ++run;
            // A run counts one more than its length, a single pixel two.
            int result = QuantAddColor(q, (color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF,
                                       static_cast<DWORD>(run) + 1, 0);
            if (result)
                return result;
            x += run;
        }
    }
    return 0;
}

LOGPALETTE* QuantAddColors(QUANTIZER* q, const RGBQUAD* table, int count, BOOL withSystem) {
    if (count < 0 || count > 256)
        return nullptr;
    for (int i = 0; i < count; ++i) {
        if (QuantAddColor(q, table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 1, i))
            return nullptr;
    }
    if (withSystem)
        return QuantBuildPalette(q, count, withSystem);
    FreePalette(&q->palette);
    q->palette = AllocPalette(FALSE, count, nullptr);
    if (!q->palette)
        return nullptr;
    for (int i = 0; i < count; ++i)
        SetEntry(&q->palette->palPalEntry[i], table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
    q->hiddenNode = nullptr;
    q->hiddenIndex = -1;
    return q->palette;
}

LOGPALETTE* QuantBuildPalette(QUANTIZER* q, int colours, BOOL withSystem) {
    FreePalette(&q->palette);
    int s = 0;
    q->palette = AllocPalette(withSystem, colours, &s);
    if (!q->palette)
        return nullptr;
    int free = q->palette->palNumEntries - s;
    if (free > 0) {
        q->progressPos = 0;
        q->progressTotal = static_cast<LONG>(q->leafCount - static_cast<DWORD>(free));
        if (QuantReduce(q, static_cast<DWORD>(free))) {
            FreePalette(&q->palette);
            return nullptr;
        }
        q->firstIndex = s / 2;
        q->leafCount = static_cast<DWORD>(q->firstIndex);
        QuantAssign(q, q->root);
    }
    if (QuantRebuildTree(q)) {
        FreePalette(&q->palette);
        return nullptr;
    }
    q->hiddenNode = nullptr;
    q->hiddenIndex = -1;
    q->progressPos = q->progressTotal;
    return q->palette;
}

int QuantReduce(QUANTIZER* q, DWORD target) {
    const DWORD initial = q->leafCount;
    q->nextThreshold = 1;
    auto prune = [q](QUANTNODE* node) {
        if (node != q->root && node->weight <= q->pruneThreshold) {
            Merge(q, node);
            return;
        }
        if (node->pixelCount > 0)
            ++q->leafCount;
        if (node->weight < q->nextThreshold)
            q->nextThreshold = node->weight;
    };
    while (q->leafCount > target) {
        if (q->cancel)
            return 1;
        // With only the root left nothing can be merged any more.
        if (!q->root || q->nodeCount <= 1)
            break;
        q->pruneThreshold = q->nextThreshold;
        q->nextThreshold = q->root->weight - 1;
        q->leafCount = 0;
        BottomUp(q->root, prune);
        DWORD done = initial - q->leafCount;
        DWORD total = static_cast<DWORD>(q->progressTotal);
        q->progressPos = static_cast<LONG>(done < total ? done : total);
        if (q->progress && q->progress(Percent(q->progressPos, q->progressTotal), q->progressData))
            return 1;
    }
    return 0;
}

void QuantAssign(QUANTIZER* q, QUANTNODE* node) {
    for (int i = 0; i < 4; ++i) {
        if (node->childMask & (1 << i))
            QuantAssign(q, node->child[i]);
    }
    DWORD n = node->pixelCount;
    if (n > 0 && q->palette && q->leafCount < q->palette->palNumEntries) {
        SetEntry(&q->palette->palPalEntry[q->leafCount], Mean(node->sumRed, n), Mean(node->sumGreen, n),
                 Mean(node->sumBlue, n));
        node->paletteIndex = static_cast<LONG>(q->leafCount);
        ++q->leafCount;
    }
    for (int i = 4; i < 8; ++i) {
        if (node->childMask & (1 << i))
            QuantAssign(q, node->child[i]);
    }
}

int QuantRebuildTree(QUANTIZER* q) {
    FreeBlocks(q);
    if (!NewRoot(q))
        return IMG_ERR_MEMORY;
    q->leafCount = 0;
    q->depth = 8;
    if (!q->palette)
        return 0;
    for (int i = 0; i < q->palette->palNumEntries; ++i) {
        const PALETTEENTRY& e = q->palette->palPalEntry[i];
        int result = QuantAddColor(q, e.peRed, e.peGreen, e.peBlue, 1, i);
        if (result)
            return result;
    }
    return 0;
}

int QuantFindNearest(QUANTIZER* q, int r, int g, int b, int exclude) {
    q->bestDistance = 0xFFFFFFFF;
    q->foundIndex = 0;
    if (!q->root || !q->palette)
        return 0;
    QUANTNODE* node = q->root;
    if (exclude < 0) {
        for (;;) {
            int octant = Octant(node, r, g, b);
            if (!(node->childMask & (1 << octant)))
                break;
            node = node->child[octant];
        }
    }
    NearestSearch search{q->palette->palPalEntry, q->squares + 255, q->palette->palNumEntries, r, g, b, exclude};
    search.Visit(node->parent);
    q->bestDistance = search.best;
    q->foundIndex = search.found;
    return q->foundIndex;
}

void QuantHideNearest(QUANTIZER* q, int r, int g, int b) {
    // One entry is reserved at a time; an earlier reservation is undone.
    QuantShowHidden(q);
    int d = QuantFindNearest(q, r, g, b, -1);
    int e = QuantFindNearest(q, r, g, b, d);
    if (!q->root)
        return;
    // Top-down, children in ascending order; the first match ends the walk.
    QUANTNODE* stack[64];
    int top = 0;
    stack[top++] = q->root;
    while (top > 0) {
        QUANTNODE* node = stack[--top];
        if (node->pixelCount > 0 && node->paletteIndex == d) {
            q->hiddenNode = node;
            q->hiddenIndex = d;
            node->paletteIndex = e;
            return;
        }
        for (int i = 7; i >= 0; --i) {
            if (node->childMask & (1 << i))
                stack[top++] = node->child[i];
        }
    }
}

void QuantShowHidden(QUANTIZER* q) {
    if (q->hiddenNode)
        q->hiddenNode->paletteIndex = q->hiddenIndex;
    q->hiddenNode = nullptr;
    q->hiddenIndex = -1;
}

void QuantFree(QUANTIZER* q) {
    FreeBlocks(q);
    FreePalette(&q->palette);
}

void QuantSetProgress(QUANTIZER* q, PROGRESSPROC proc, void* data) {
    q->progress = proc;
    q->progressData = data;
}

LOGPALETTE* QuantMakeGrayPalette(QUANTIZER* q, int colours, BOOL withSystem) {
    FreePalette(&q->palette);
    int s = 0;
    q->palette = AllocPalette(withSystem, colours, &s);
    if (!q->palette)
        return nullptr;
    q->firstIndex = s / 2;
    int free = q->palette->palNumEntries - s;
    for (int k = 0; k < free; ++k) {
        int grey = k * 255 / free;
        SetEntry(&q->palette->palPalEntry[q->firstIndex + k], grey, grey, grey);
    }
    if (QuantRebuildTree(q)) {
        FreePalette(&q->palette);
        return nullptr;
    }
    q->hiddenNode = nullptr;
    q->hiddenIndex = -1;
    return q->palette;
}
