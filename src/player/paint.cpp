#include "player/paint.h"

#include <algorithm>
#include <cmath>

namespace {

inline uint32_t Scale(uint32_t c, uint32_t a256) {
    uint32_t rb = ((c & 0x00FF00FFu) * a256 >> 8) & 0x00FF00FFu;
    uint32_t ag = (((c >> 8) & 0x00FF00FFu) * a256) & 0xFF00FF00u;
    return rb | ag;
}

// Every channel times a / 255, rounded: exact enough that opaque stays opaque.
inline uint32_t MulDiv255(uint32_t c, uint32_t a) {
    uint32_t rb = (c & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((c >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

inline void Over(uint32_t& d, uint32_t s) {
    uint32_t a = s >> 24;
    if (a == 255) {
        d = s;
        return;
    }
    d = s + MulDiv255(d, 255 - a);
}

inline uint32_t PremultiplyStraight(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    return a << 24 | ((r * a + 127) / 255) << 16 | ((g * a + 127) / 255) << 8 | (b * a + 127) / 255;
}

float ToLinear(float c) { return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f); }
float FromLinear(float c) { return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f; }

inline float Spread(float t, uint8_t spread) {
    if (spread == SPREAD_REPEAT)
        return t - std::floor(t);
    if (spread == SPREAD_REFLECT) {
        t = std::fabs(t);
        t = std::fmod(t, 2.0f);
        return t > 1 ? 2 - t : t;
    }
    return t < 0 ? 0 : t > 1 ? 1 : t;
}

inline int Wrap(int v, int n, bool repeat) {
    if (repeat) {
        v %= n;
        return v < 0 ? v + n : v;
    }
    return v < 0 ? 0 : v >= n ? n - 1 : v;
}

} // namespace

uint32_t Premultiply(SwfColor c) { return PremultiplyStraight(c.a, c.r, c.g, c.b); }

void Painter::SetColor(SwfColor color, const SwfColorTransform& cx) {
    SwfColor c = cx.Apply(color);
    color_ = Premultiply(c);
    kind_ = c.a == 0 ? PAINT_NOTHING : PAINT_SOLID;
}

void Painter::SetFill(const FillStyle& fill, const SwfMatrix& toDevice, const SwfColorTransform& cx, const Bitmap* bitmap) {
    cx_ = cx;
    cxIdentity_ = cx.IsIdentity();
    if (fill.kind == FILL_SOLID) {
        SetColor(fill.color, cx);
        return;
    }
    SwfMatrix full = toDevice * fill.matrix;
    bool invertible = full.Invert(&inverse_);
    if (fill.kind == FILL_BITMAP) {
        bitmap_ = bitmap;
        repeat_ = fill.repeat;
        smooth_ = fill.smooth;
        kind_ = bitmap && invertible && bitmap->width > 0 ? PAINT_BITMAP : PAINT_NOTHING;
        return;
    }
    // A gradient: a table of 256 premultiplied colours along its ratio.
    gradient_ = fill.kind;
    spread_ = fill.spread;
    focal_ = fill.focal;
    if (fill.stops.empty()) {
        kind_ = PAINT_NOTHING;
        return;
    }
    std::vector<GradientStop> stops = fill.stops;
    std::stable_sort(stops.begin(), stops.end(), [](const GradientStop& a, const GradientStop& b) { return a.ratio < b.ratio; });
    for (GradientStop& s : stops)
        s.color = cx.Apply(s.color);
    bool linear = fill.interpolation == INTERPOLATE_LINEAR_RGB;
    size_t k = 0;
    for (int i = 0; i < 256; ++i) {
        while (k + 1 < stops.size() && stops[k + 1].ratio <= i)
            ++k;
        SwfColor a = stops[k].color;
        SwfColor out = a;
        if (i > stops[k].ratio && k + 1 < stops.size()) {
            SwfColor b = stops[k + 1].color;
            float t = static_cast<float>(i - stops[k].ratio) / (stops[k + 1].ratio - stops[k].ratio);
            auto mix = [&](uint8_t ca, uint8_t cb) {
                float v;
                if (linear)
                    v = FromLinear(ToLinear(ca / 255.0f) + (ToLinear(cb / 255.0f) - ToLinear(ca / 255.0f)) * t) * 255;
                else
                    v = ca + (cb - ca) * t;
                return static_cast<uint8_t>(std::min(255.0f, std::max(0.0f, v + 0.5f)));
            };
            out = {mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b),
                   static_cast<uint8_t>(std::lround(a.a + (b.a - a.a) * t))};
        }
        table_[i] = Premultiply(out);
    }
    if (!invertible) {
        color_ = table_[255];
        kind_ = PAINT_SOLID;
        return;
    }
    kind_ = PAINT_GRADIENT;
}

void Painter::Shade(int y, int x0, int count, uint32_t* out) {
    double px = x0 + 0.5, py = y + 0.5;
    double u = inverse_.a * px + inverse_.c * py + inverse_.tx;
    double v = inverse_.b * px + inverse_.d * py + inverse_.ty;
    double du = inverse_.a, dv = inverse_.b;
    if (kind_ == PAINT_GRADIENT) {
        // In units of the gradient square's half width.
        float gx = static_cast<float>(u / 16384), gy = static_cast<float>(v / 16384);
        float dx = static_cast<float>(du / 16384), dy = static_cast<float>(dv / 16384);
        auto lookup = [this](float t) {
            t = spread_ == SPREAD_PAD ? (t < 0 ? 0 : t > 1 ? 1 : t) : Spread(t, spread_);
            return table_[static_cast<int>(t * 255 + 0.5f)];
        };
        if (gradient_ == FILL_LINEAR) {
            for (int i = 0; i < count; ++i, gx += dx)
                out[i] = lookup((gx + 1) / 2);
        } else if (gradient_ == FILL_RADIAL || focal_ == 0) {
            for (int i = 0; i < count; ++i, gx += dx, gy += dy)
                out[i] = lookup(std::sqrt(gx * gx + gy * gy));
        } else {
            for (int i = 0; i < count; ++i, gx += dx, gy += dy) {
                // Distance from the focal point, over the distance from it to the circle on the same ray.
                float fx = gx - focal_, fy = gy;
                float len = std::sqrt(fx * fx + fy * fy);
                float t = 0;
                if (len >= 1e-6f) {
                    float b = focal_ * fx / len;
                    float disc = b * b - (focal_ * focal_ - 1);
                    float reach = -b + std::sqrt(disc > 0 ? disc : 0);
                    t = reach > 1e-6f ? len / reach : 1;
                }
                out[i] = lookup(t);
            }
        }
        return;
    }
    const Bitmap& b = *bitmap_;
    const uint32_t* pixels = b.pixels.data();
    int w = b.width, h = b.height;
    for (int i = 0; i < count; ++i, u += du, v += dv) {
        uint32_t c;
        if (!smooth_) {
            int iu = Wrap(static_cast<int>(std::floor(u)), w, repeat_);
            int iv = Wrap(static_cast<int>(std::floor(v)), h, repeat_);
            c = pixels[static_cast<size_t>(iv) * w + iu];
        } else {
            double su = u - 0.5, sv = v - 0.5;
            double fu = std::floor(su), fv = std::floor(sv);
            int iu = static_cast<int>(fu), iv = static_cast<int>(fv);
            uint32_t wu = static_cast<uint32_t>((su - fu) * 256), wv = static_cast<uint32_t>((sv - fv) * 256);
            int u0 = Wrap(iu, w, repeat_), u1 = Wrap(iu + 1, w, repeat_);
            int v0 = Wrap(iv, h, repeat_), v1 = Wrap(iv + 1, h, repeat_);
            const uint32_t* r0 = pixels + static_cast<size_t>(v0) * w;
            const uint32_t* r1 = pixels + static_cast<size_t>(v1) * w;
            uint32_t top = Scale(r0[u0], 256 - wu) + Scale(r0[u1], wu);
            uint32_t bottom = Scale(r1[u0], 256 - wu) + Scale(r1[u1], wu);
            c = Scale(top, 256 - wv) + Scale(bottom, wv);
        }
        if (!cxIdentity_ && c) {
            uint32_t a = c >> 24;
            SwfColor s;
            s.a = static_cast<uint8_t>(a);
            s.r = static_cast<uint8_t>(a ? std::min(255u, ((c >> 16) & 255) * 255 / a) : 0);
            s.g = static_cast<uint8_t>(a ? std::min(255u, ((c >> 8) & 255) * 255 / a) : 0);
            s.b = static_cast<uint8_t>(a ? std::min(255u, (c & 255) * 255 / a) : 0);
            c = Premultiply(cx_.Apply(s));
        } else if (!cxIdentity_) {
            c = Premultiply(cx_.Apply(SwfColor{0, 0, 0, 0}));
        }
        out[i] = c;
    }
}

void Painter::Row(int y, int x0, int count, const uint8_t* covers) {
    if (kind_ == PAINT_NOTHING)
        return;
    if (mask_ && (y < mask_->box.y0 || y >= mask_->box.y1))
        return;
    uint32_t* row = canvas_->Row(y);
    const uint8_t* mask = mask_ ? mask_->values + static_cast<size_t>(y) * mask_->stride : nullptr;
    // A linear gradient across the rows is one colour along each of them.
    bool flat = kind_ == PAINT_SOLID || (kind_ == PAINT_GRADIENT && gradient_ == FILL_LINEAR && inverse_.a == 0);
    uint32_t colour = color_;
    if (kind_ == PAINT_GRADIENT && flat)
        Shade(y, x0, 1, &colour);
    while (count > 0) {
        int n = count < 4096 ? count : 4096;
        const uint32_t* src = nullptr;
        if (!flat) {
            Shade(y, x0, n, scratch_);
            src = scratch_;
        }
        uint32_t* d = row + x0;
        if (mask) {
            const uint8_t* m = mask + x0;
            for (int i = 0; i < n; ++i) {
                uint32_t cov = (covers[i] * m[i] + 255) >> 8;
                if (!cov)
                    continue;
                uint32_t c = src ? src[i] : colour;
                Over(d[i], cov < 255 ? MulDiv255(c, cov) : c);
            }
        } else if (src) {
            for (int i = 0; i < n; ++i) {
                uint32_t cov = covers[i];
                if (cov)
                    Over(d[i], cov < 255 ? MulDiv255(src[i], cov) : src[i]);
            }
        } else {
            for (int i = 0; i < n; ++i) {
                uint32_t cov = covers[i];
                if (cov == 255)
                    Over(d[i], colour);
                else if (cov)
                    Over(d[i], MulDiv255(colour, cov));
            }
        }
        x0 += n;
        covers += n;
        count -= n;
    }
}

void MaskWriter::Row(int y, int x0, int count, const uint8_t* covers) {
    uint8_t* row = mask_->values + static_cast<size_t>(y) * mask_->stride;
    for (int i = 0; i < count; ++i) {
        uint32_t m = row[x0 + i], c = covers[i];
        row[x0 + i] = static_cast<uint8_t>(m + ((c * (255 - m) + 127) / 255));
    }
    ClipBox& b = mask_->box;
    if (b.Empty()) {
        b = {x0, y, x0 + count, y + 1};
    } else {
        b.x0 = std::min(b.x0, x0);
        b.x1 = std::max(b.x1, x0 + count);
        b.y0 = std::min(b.y0, y);
        b.y1 = std::max(b.y1, y + 1);
    }
}

namespace {

// One premultiplied channel of a separable blend, all values 0..1.
float BlendChannel(uint8_t mode, float s, float sa, float d, float da) {
    float both;
    switch (mode) {
    case BLEND_MULTIPLY:
        both = s * d;
        break;
    case BLEND_SCREEN:
        both = s * da + d * sa - s * d;
        break;
    case BLEND_LIGHTEN:
        both = std::max(s * da, d * sa);
        break;
    case BLEND_DARKEN:
        both = std::min(s * da, d * sa);
        break;
    case BLEND_DIFFERENCE:
        both = std::fabs(s * da - d * sa);
        break;
    case BLEND_OVERLAY:
        both = 2 * d <= da ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
        break;
    case BLEND_HARDLIGHT:
        both = 2 * s <= sa ? 2 * s * d : sa * da - 2 * (da - d) * (sa - s);
        break;
    default:
        both = s * da;
        break;
    }
    return both + s * (1 - da) + d * (1 - sa);
}

} // namespace

void CompositeLayer(const Canvas& dst, const Canvas& src, const ClipBox& box, uint8_t mode, const Mask* mask) {
    for (int y = box.y0; y < box.y1; ++y) {
        uint32_t* d = dst.Row(y);
        const uint32_t* s = src.Row(y);
        const uint8_t* m = mask ? mask->values + static_cast<size_t>(y) * mask->stride : nullptr;
        if (mask && (y < mask->box.y0 || y >= mask->box.y1))
            continue;
        for (int x = box.x0; x < box.x1; ++x) {
            uint32_t sp = s[x];
            if (m && m[x] != 255)
                sp = MulDiv255(sp, m[x]);
            if (!sp && mode != BLEND_ALPHA)
                continue;
            if (mode == BLEND_NORMAL || mode == BLEND_LAYER) {
                Over(d[x], sp);
                continue;
            }
            uint32_t dp = d[x];
            float sa = (sp >> 24) / 255.0f, da = (dp >> 24) / 255.0f;
            float sc[3] = {((sp >> 16) & 255) / 255.0f, ((sp >> 8) & 255) / 255.0f, (sp & 255) / 255.0f};
            float dc[3] = {((dp >> 16) & 255) / 255.0f, ((dp >> 8) & 255) / 255.0f, (dp & 255) / 255.0f};
            float rc[3], ra;
            switch (mode) {
            case BLEND_ADD:
                for (int i = 0; i < 3; ++i)
                    rc[i] = std::min(1.0f, sc[i] + dc[i]);
                ra = std::min(1.0f, sa + da);
                break;
            case BLEND_SUBTRACT:
                for (int i = 0; i < 3; ++i)
                    rc[i] = std::max(0.0f, dc[i] - sc[i]);
                ra = sa + da - sa * da;
                break;
            case BLEND_INVERT:
                for (int i = 0; i < 3; ++i)
                    rc[i] = (da - dc[i]) * sa + dc[i] * (1 - sa);
                ra = da;
                break;
            case BLEND_ALPHA:
                for (int i = 0; i < 3; ++i)
                    rc[i] = dc[i] * sa;
                ra = da * sa;
                break;
            case BLEND_ERASE:
                for (int i = 0; i < 3; ++i)
                    rc[i] = dc[i] * (1 - sa);
                ra = da * (1 - sa);
                break;
            default:
                for (int i = 0; i < 3; ++i)
                    rc[i] = BlendChannel(mode, sc[i], sa, dc[i], da);
                ra = sa + da - sa * da;
                break;
            }
            auto byte = [](float v) { return static_cast<uint32_t>(std::min(1.0f, std::max(0.0f, v)) * 255 + 0.5f); };
            uint32_t a = byte(ra);
            uint32_t r = std::min(byte(rc[0]), a), g = std::min(byte(rc[1]), a), b = std::min(byte(rc[2]), a);
            d[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
}
