#include "player/renderer.h"

#include "player/stroke.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace {

constexpr int MAX_LAYERS = 4; // nested blend layers beyond this draw normally
constexpr size_t MAX_MASKS = 16; // clip layers open at once; a movie that nests more loses the deeper ones

ClipBox Intersect(const ClipBox& a, const ClipBox& b) {
    ClipBox r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
    if (r.Empty())
        r = ClipBox{};
    return r;
}

ClipBox Union(const ClipBox& a, const ClipBox& b) {
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

// Pixels a rectangle in local twips covers on the canvas, one pixel of margin around.
ClipBox DeviceBox(const SwfRect& r, const SwfMatrix& m, float margin) {
    double xs[4] = {m.X(r.xMin, r.yMin), m.X(r.xMax, r.yMin), m.X(r.xMin, r.yMax), m.X(r.xMax, r.yMax)};
    double ys[4] = {m.Y(r.xMin, r.yMin), m.Y(r.xMax, r.yMin), m.Y(r.xMin, r.yMax), m.Y(r.xMax, r.yMax)};
    double x0 = *std::min_element(xs, xs + 4) - margin, x1 = *std::max_element(xs, xs + 4) + margin;
    double y0 = *std::min_element(ys, ys + 4) - margin, y1 = *std::max_element(ys, ys + 4) + margin;
    auto clamp = [](double v) { return static_cast<int>(std::max(-1e7, std::min(1e7, v))); };
    return {clamp(std::floor(x0)), clamp(std::floor(y0)), clamp(std::ceil(x1)), clamp(std::ceil(y1))};
}

void AddSegment(Rasterizer& r, const Segment& s, const SwfMatrix& m) {
    float x0 = static_cast<float>(m.X(s.x0, s.y0)), y0 = static_cast<float>(m.Y(s.x0, s.y0));
    float x1 = static_cast<float>(m.X(s.x1, s.y1)), y1 = static_cast<float>(m.Y(s.x1, s.y1));
    if (s.curve)
        r.AddQuad(x0, y0, static_cast<float>(m.X(s.cx, s.cy)), static_cast<float>(m.Y(s.cx, s.cy)), x1, y1);
    else
        r.AddLine(x0, y0, x1, y1);
}

float AxisScale(double a, double b) { return static_cast<float>(std::sqrt(a * a + b * b)); }

} // namespace

SwfMatrix FitStage(const SwfRect& frame, int width, int height, ClipBox* box) {
    double sw = (frame.xMax - frame.xMin) / 20.0, sh = (frame.yMax - frame.yMin) / 20.0;
    if (sw <= 0 || sh <= 0) {
        sw = width;
        sh = height;
    }
    double scale = std::min(width / sw, height / sh);
    double ox = (width - sw * scale) / 2, oy = (height - sh * scale) / 2;
    SwfMatrix m = SwfMatrix::Translate(ox, oy) * SwfMatrix::Scale(scale / 20, scale / 20) *
                  SwfMatrix::Translate(-frame.xMin, -frame.yMin);
    if (box) {
        *box = {static_cast<int>(std::floor(ox + 1e-6)), static_cast<int>(std::floor(oy + 1e-6)),
                static_cast<int>(std::ceil(ox + sw * scale - 1e-6)), static_cast<int>(std::ceil(oy + sh * scale - 1e-6))};
        *box = Intersect(*box, {0, 0, width, height});
    }
    return m;
}

void Renderer::Release() {
    masks_.clear();
    maskMemory_.clear();
    freeMasks_.clear();
    layers_.clear();
    layerMemory_.clear();
    freeLayers_.clear();
    width_ = height_ = 0;
}

void Renderer::Render(Stage& stage, const Canvas& canvas) {
    if (canvas.width != width_ || canvas.height != height_) {
        Release();
        width_ = canvas.width;
        height_ = canvas.height;
    }
    movie_ = stage.movie;
    SwfColor bg = stage.background;
    bg.a = 255;
    uint32_t fill = Premultiply(bg);
    for (int y = 0; y < canvas.height; ++y)
        std::fill(canvas.Row(y), canvas.Row(y) + canvas.width, fill);
    if (!stage.root)
        return;
    Target t;
    t.canvas = &canvas;
    SwfMatrix view = FitStage(movie_->header.frameSize, canvas.width, canvas.height, &t.clip);
    viewScale_ = static_cast<float>(view.a * 20);
    DrawChildren(stage.root.get(), view, SwfColorTransform(), t);
}

Mask* Renderer::AcquireMask() {
    if (freeMasks_.empty()) {
        size_t n = static_cast<size_t>(width_) * height_;
        uint8_t* memory = new (std::nothrow) uint8_t[n]();
        if (!memory)
            return nullptr;
        maskMemory_.emplace_back(memory);
        auto m = std::make_unique<Mask>();
        m->values = maskMemory_.back().get();
        m->stride = width_;
        freeMasks_.push_back(m.get());
        masks_.push_back(std::move(m));
    }
    Mask* m = freeMasks_.back();
    freeMasks_.pop_back();
    m->box = ClipBox{};
    return m;
}

void Renderer::ReleaseMask(Mask* m) {
    // Masks go back to the pool cleared.
    for (int y = m->box.y0; y < m->box.y1; ++y)
        memset(m->values + static_cast<size_t>(y) * m->stride + m->box.x0, 0, m->box.x1 - m->box.x0);
    m->box = ClipBox{};
    freeMasks_.push_back(m);
}

Canvas* Renderer::AcquireLayer(const ClipBox& box) {
    if (freeLayers_.empty()) {
        size_t n = static_cast<size_t>(width_) * height_;
        uint32_t* memory = new (std::nothrow) uint32_t[n];
        if (!memory)
            return nullptr;
        layerMemory_.emplace_back(memory);
        auto c = std::make_unique<Canvas>();
        c->pixels = layerMemory_.back().get();
        c->width = width_;
        c->height = height_;
        c->stride = width_;
        freeLayers_.push_back(c.get());
        layers_.push_back(std::move(c));
    }
    Canvas* c = freeLayers_.back();
    freeLayers_.pop_back();
    for (int y = box.y0; y < box.y1; ++y)
        memset(c->Row(y) + box.x0, 0, (box.x1 - box.x0) * sizeof(uint32_t));
    return c;
}

void Renderer::ReleaseLayer(Canvas* c) { freeLayers_.push_back(c); }

void Renderer::Sweep(bool nonZero, const Target& t) {
    if (t.building) {
        MaskWriter writer(t.building);
        raster_.Sweep(nonZero, writer);
    } else {
        painter_->SetTarget(t.canvas, t.mask);
        raster_.Sweep(nonZero, *painter_);
    }
}

ClipBox Renderer::Bounds(DisplayObject* o, const SwfMatrix& parent, int level) {
    SwfMatrix m = parent * o->matrix;
    switch (o->kind) {
    case OBJ_SHAPE:
        return DeviceBox(static_cast<ShapeInstance*>(o)->GetShape().bounds, m, 2);
    case OBJ_MORPH:
        return DeviceBox(static_cast<MorphInstance*>(o)->GetShape().bounds, m, 2);
    case OBJ_TEXT: {
        const StaticText& text = static_cast<TextInstance*>(o)->GetText();
        return DeviceBox(text.bounds, m * text.matrix, 2);
    }
    case OBJ_EDIT_TEXT:
        return DeviceBox(static_cast<EditTextInstance*>(o)->Def().bounds, m, 2);
    case OBJ_SPRITE: {
        ClipBox box;
        if (level > Stage::MAX_NESTING)
            return box;
        auto s = static_cast<SpriteInstance*>(o);
        if (s->DrawingIfAny() && !s->DrawingIfAny()->Empty())
            box = {0, 0, width_, height_}; // drawn shapes have no bounds of their own here
        for (auto& entry : s->Children())
            box = Union(box, Bounds(entry.second.get(), m, level + 1));
        return box;
    }
    default:
        return ClipBox{};
    }
}

void Renderer::DrawChildren(SpriteInstance* sprite, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t) {
    struct ActiveClip {
        int clipDepth;
        Mask* mask;
    };
    std::vector<ActiveClip> clips;
    const Mask* current = t.mask;
    if (sprite->DrawingIfAny() && !sprite->DrawingIfAny()->Empty())
        DrawShape(const_cast<Drawing*>(sprite->DrawingIfAny())->GetShape(), m, cx, t);
    for (auto& entry : sprite->Children()) {
        DisplayObject* child = entry.second.get();
        while (!clips.empty() && child->depth > clips.back().clipDepth) {
            ReleaseMask(clips.back().mask);
            clips.pop_back();
            current = clips.empty() ? t.mask : clips.back().mask;
        }
        if (child->clipDepth > 0) {
            if (t.building || masks_.size() - freeMasks_.size() >= MAX_MASKS)
                continue; // a mask inside a mask adds nothing
            Mask* mask = AcquireMask();
            if (!mask)
                continue; // out of memory: the clip draws unmasked rather than not at all
            Target mt = t;
            mt.building = mask;
            mt.mask = nullptr;
            mt.clip = current ? Intersect(t.clip, current->box) : t.clip;
            DrawContent(child, m * child->matrix, cx, mt);
            if (current) {
                // Masks nest: the new one only opens what the outer one opens.
                for (int y = mask->box.y0; y < mask->box.y1; ++y) {
                    uint8_t* row = mask->values + static_cast<size_t>(y) * mask->stride;
                    const uint8_t* outer = current->values + static_cast<size_t>(y) * current->stride;
                    for (int x = mask->box.x0; x < mask->box.x1; ++x)
                        row[x] = static_cast<uint8_t>((row[x] * outer[x] + 255) >> 8);
                }
            }
            clips.push_back({child->clipDepth, mask});
            current = mask;
            continue;
        }
        if (!child->visible)
            continue;
        Target ct = t;
        ct.mask = current;
        if (current)
            ct.clip = Intersect(t.clip, current->box);
        if (ct.clip.Empty())
            continue;
        DrawObject(child, m, cx, ct);
    }
    while (!clips.empty()) {
        ReleaseMask(clips.back().mask);
        clips.pop_back();
    }
}

void Renderer::DrawObject(DisplayObject* o, const SwfMatrix& parent, const SwfColorTransform& parentCx, const Target& t) {
    SwfMatrix m = parent * o->matrix;
    SwfColorTransform cx = parentCx * o->cxform;
    uint8_t mode = o->blendMode;
    bool filtered = !o->filters.empty() && !t.building;
    bool layered = (mode != BLEND_NORMAL || filtered) && !t.building && t.layers < MAX_LAYERS &&
                   !((mode == BLEND_ALPHA || mode == BLEND_ERASE) && t.layers == 0);
    if ((mode == BLEND_ALPHA || mode == BLEND_ERASE) && t.layers == 0 && !t.building)
        return; // with no layer below, there is nothing for them to cut into
    if (!layered) {
        DrawContent(o, m, cx, t);
        return;
    }
    ClipBox box = Bounds(o, parent, 0);
    if (filtered) {
        // Blurs and shadows reach past what the object draws.
        int reach = FilterReach(o->filters, viewScale_);
        box = {box.x0 - reach, box.y0 - reach, box.x1 + reach, box.y1 + reach};
    }
    box = Intersect(box, t.clip);
    if (box.Empty())
        return;
    Canvas* layer = AcquireLayer(box);
    if (!layer) {
        DrawContent(o, m, cx, t);
        return;
    }
    Target lt;
    lt.canvas = layer;
    lt.clip = box;
    lt.layers = t.layers + 1;
    DrawContent(o, m, cx, lt);
    if (filtered)
        ApplyFilters(o->filters, *layer, box, viewScale_);
    CompositeLayer(*t.canvas, *layer, box, mode, t.mask);
    ReleaseLayer(layer);
}

void Renderer::DrawContent(DisplayObject* o, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t) {
    switch (o->kind) {
    case OBJ_SHAPE:
        DrawShape(static_cast<ShapeInstance*>(o)->GetShape(), m, cx, t);
        break;
    case OBJ_MORPH:
        DrawShape(static_cast<MorphInstance*>(o)->GetShape(), m, cx, t);
        break;
    case OBJ_SPRITE:
        DrawChildren(static_cast<SpriteInstance*>(o), m, cx, t);
        break;
    case OBJ_TEXT: {
        const StaticText& text = static_cast<TextInstance*>(o)->GetText();
        DrawRuns(text.runs, nullptr, m * text.matrix, cx, t);
        break;
    }
    case OBJ_EDIT_TEXT:
        DrawEditText(static_cast<EditTextInstance*>(o), m, cx, t);
        break;
    default:
        break;
    }
}

void Renderer::DrawShape(const Shape& shape, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t) {
    if (DeviceBox(shape.bounds, m, 2).x1 <= t.clip.x0 && !shape.bounds.Empty())
        return;
    ClipBox bounds = Intersect(DeviceBox(shape.bounds, m, 4), t.clip);
    ClipBox clip = shape.bounds.Empty() ? t.clip : bounds;
    if (clip.Empty())
        return;
    for (const ShapeLayer& layer : shape.layers) {
        for (size_t i = 0; i < layer.fillPaths.size(); ++i) {
            const std::vector<Segment>& path = layer.fillPaths[i];
            if (path.empty())
                continue;
            const FillStyle& f = layer.styles.fills[i];
            if (!t.building) {
                const Bitmap* bitmap = f.kind == FILL_BITMAP ? movie_->GetBitmap(f.bitmapId) : nullptr;
                painter_->SetFill(f, m, cx, bitmap);
                if (painter_->Invisible())
                    continue;
            }
            raster_.Reset(clip);
            for (const Segment& s : path)
                AddSegment(raster_, s, m);
            Sweep(shape.nonZero, t);
        }
        for (size_t i = 0; i < layer.linePaths.size(); ++i) {
            const std::vector<Segment>& path = layer.linePaths[i];
            if (path.empty())
                continue;
            const LineStyle& l = layer.styles.lines[i];
            float scale;
            if (l.noHScale && l.noVScale)
                scale = viewScale_ / 20;
            else if (l.noHScale)
                scale = AxisScale(m.c, m.d);
            else if (l.noVScale)
                scale = AxisScale(m.a, m.b);
            else
                scale = (AxisScale(m.a, m.b) + AxisScale(m.c, m.d)) / 2;
            if (t.building) {
                // lines count in masks too
            } else if (l.hasFill) {
                const Bitmap* bitmap = l.fill.kind == FILL_BITMAP ? movie_->GetBitmap(l.fill.bitmapId) : nullptr;
                painter_->SetFill(l.fill, m, cx, bitmap);
            } else {
                painter_->SetColor(l.color, cx);
            }
            if (!t.building && painter_->Invisible())
                continue;
            raster_.Reset(t.clip);
            StrokeSegments(path, m, l.width * scale, l, &raster_);
            Sweep(true, t);
        }
    }
}

void Renderer::DrawRuns(const std::vector<TextRun>& runs, const Font* fieldFont, const SwfMatrix& m,
                        const SwfColorTransform& cx, const Target& t) {
    for (const TextRun& run : runs) {
        const Font* font = run.font ? run.font : fieldFont ? fieldFont : movie_->GetFont(run.fontId);
        if (!font || run.glyphs.empty())
            continue;
        float scale = run.height / font->emSize;
        raster_.Reset(t.clip);
        for (const TextGlyph& g : run.glyphs) {
            if (g.index >= font->glyphs.size())
                continue;
            const Shape& glyph = font->glyphs[g.index];
            if (glyph.layers.empty() || glyph.layers[0].fillPaths.empty())
                continue;
            SwfMatrix gm = m * SwfMatrix::Translate(run.x + g.x, run.y) * SwfMatrix::Scale(scale, scale);
            for (const Segment& s : glyph.layers[0].fillPaths[0])
                AddSegment(raster_, s, gm);
        }
        if (!t.building) {
            painter_->SetColor(run.color, cx);
            if (painter_->Invisible())
                continue;
        }
        Sweep(true, t);
    }
}

void Renderer::DrawEditText(EditTextInstance* e, const SwfMatrix& m, const SwfColorTransform& cx, const Target& t) {
    const EditTextDef& def = e->Def();
    const SwfRect& b = def.bounds;
    if (def.border && !t.building) {
        auto rect = [&](float x0, float y0, float x1, float y1) {
            raster_.AddLine(x0, y0, x1, y0);
            raster_.AddLine(x1, y0, x1, y1);
            raster_.AddLine(x1, y1, x0, y1);
            raster_.AddLine(x0, y1, x0, y0);
        };
        float x0 = static_cast<float>(m.X(b.xMin, b.yMin)), y0 = static_cast<float>(m.Y(b.xMin, b.yMin));
        float x1 = static_cast<float>(m.X(b.xMax, b.yMax)), y1 = static_cast<float>(m.Y(b.xMax, b.yMax));
        if (x1 < x0)
            std::swap(x0, x1);
        if (y1 < y0)
            std::swap(y0, y1);
        // Snapped to whole pixels: a field's frame is a crisp one-pixel line.
        x0 = std::round(x0);
        y0 = std::round(y0);
        x1 = std::round(x1);
        y1 = std::round(y1);
        raster_.Reset(t.clip);
        rect(x0, y0, x1, y1);
        painter_->SetColor(SwfColor{255, 255, 255, 255}, cx);
        Sweep(true, t);
        raster_.Reset(t.clip);
        rect(x0, y0, x1 + 1, y1 + 1);
        rect(x0 + 1, y0 + 1, x1, y1);
        painter_->SetColor(SwfColor{0, 0, 0, 255}, cx);
        Sweep(false, t);
    }
    const Font* font = def.hasFont ? movie_->GetFont(def.fontId) : nullptr;
    if (!font)
        return;
    Target inner = t;
    inner.clip = Intersect(t.clip, DeviceBox(b, m, 0));
    if (inner.clip.Empty())
        return;
    DrawRuns(e->Runs(), font, m, cx, inner);
}
