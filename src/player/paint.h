// Painting coverage onto a canvas of premultiplied 0xAARRGGBB pixels: the
// paint sources (solid colour, gradients, bitmaps), source-over blending
// through an optional 8-bit mask, mask building, and the blend modes used
// when a layer is composited back.
//
// A Painter is set up for one fill (its colour transform and device matrix
// applied) and then used as the rasterizer's SpanSink. It borrows the canvas,
// the mask and any bitmap; it owns only its gradient table.
#pragma once

#include "player/bitmap.h"
#include "player/raster.h"
#include "player/shape.h"

#include <cstdint>

struct Canvas {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    int stride = 0; // in pixels
    uint32_t* Row(int y) const { return pixels + static_cast<size_t>(y) * stride; }
};

// One 8-bit coverage value per canvas pixel; everything outside box is 0.
struct Mask {
    uint8_t* values = nullptr;
    int stride = 0;
    ClipBox box;
};

uint32_t Premultiply(SwfColor c);

class Painter : public SpanSink {
public:
    // fill in shape twips; toDevice maps shape twips to canvas pixels. A
    // bitmap fill without a bitmap paints nothing.
    void SetFill(const FillStyle& fill, const SwfMatrix& toDevice, const SwfColorTransform& cx, const Bitmap* bitmap);
    void SetColor(SwfColor color, const SwfColorTransform& cx);
    void SetTarget(const Canvas* canvas, const Mask* mask) {
        canvas_ = canvas;
        mask_ = mask;
    }
    void Row(int y, int x0, int count, const uint8_t* covers) override;
    bool Invisible() const { return kind_ == PAINT_NOTHING; }

private:
    enum Kind { PAINT_NOTHING, PAINT_SOLID, PAINT_GRADIENT, PAINT_BITMAP };
    void Shade(int y, int x0, int count, uint32_t* out);

    const Canvas* canvas_ = nullptr;
    const Mask* mask_ = nullptr;
    Kind kind_ = PAINT_NOTHING;
    uint32_t color_ = 0;
    FillKind gradient_ = FILL_LINEAR;
    uint8_t spread_ = SPREAD_PAD;
    float focal_ = 0;
    uint32_t table_[256] = {};
    SwfMatrix inverse_; // canvas pixel centre to gradient square or bitmap pixel
    const Bitmap* bitmap_ = nullptr;
    bool repeat_ = true, smooth_ = true;
    SwfColorTransform cx_;
    bool cxIdentity_ = true;
    uint32_t scratch_[4096];
};

// Adds coverage to a mask (union of everything drawn into it).
class MaskWriter : public SpanSink {
public:
    explicit MaskWriter(Mask* mask) : mask_(mask) {}
    void Row(int y, int x0, int count, const uint8_t* covers) override;

private:
    Mask* mask_;
};

// Composites src over dst inside box with the given blend mode, scaled by mask.
void CompositeLayer(const Canvas& dst, const Canvas& src, const ClipBox& box, uint8_t blendMode, const Mask* mask);
