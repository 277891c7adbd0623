// Rasterizer: anti-aliased scan conversion of polygons by exact area
// coverage. Lines are cut into cells (one per pixel they touch) that record
// the covered height and area; a sweep over each row turns the running sum
// into coverage, under the non-zero or the even-odd rule.
//
// Call order: Reset with the clip box, AddLine/AddQuad any number of times
// (pixel coordinates, y down), then Sweep, which hands each row's coverage
// (0..255 per pixel, clipped to the box) to a sink. The object keeps its
// buffers between shapes; it owns no other memory.
#pragma once

#include <cstdint>
#include <vector>

struct ClipBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // x1, y1 exclusive
    bool Empty() const { return x1 <= x0 || y1 <= y0; }
};

class SpanSink {
public:
    virtual ~SpanSink() = default;
    // covers[i] is the coverage of pixel x0 + i, for i < count.
    virtual void Row(int y, int x0, int count, const uint8_t* covers) = 0;
};

class Rasterizer {
public:
    void Reset(const ClipBox& clip);
    void AddLine(float x0, float y0, float x1, float y1);
    // A quadratic curve, flattened to within a quarter pixel.
    void AddQuad(float x0, float y0, float cx, float cy, float x1, float y1);
    void Sweep(bool nonZero, SpanSink& sink);
    bool Empty() const { return cells_.empty() && !hasCell_; }
    const ClipBox& Clip() const { return clip_; }

private:
    struct Cell {
        int x, y, cover, area;
    };
    void LineFixed(int x1, int y1, int x2, int y2);
    void HLine(int ey, int x1, int y1, int x2, int y2);
    void SetCell(int x, int y);
    void FlushCell();

    ClipBox clip_;
    std::vector<Cell> cells_;
    std::vector<Cell> sorted_;
    std::vector<int> rowStart_;
    std::vector<uint8_t> covers_;
    Cell cell_ = {};
    bool hasCell_ = false;
    int minY_ = 0, maxY_ = 0;
};
