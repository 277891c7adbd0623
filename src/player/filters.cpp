#include "player/filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Passes beyond three look the same and cost more.
constexpr int MAX_PASSES = 3;
// A blur wider than this many pixels is cut to it.
constexpr int MAX_RADIUS = 255;

int Radius(float blur, float scale) {
    int r = static_cast<int>(blur * scale / 2);
    return r < 0 ? 0 : r > MAX_RADIUS ? MAX_RADIUS : r;
}

// One horizontal box blur pass over a row of n premultiplied pixels.
void BlurRow(uint32_t* p, int n, int radius, std::vector<uint32_t>& copy) {
    copy.assign(p, p + n);
    uint32_t s0 = 0, s1 = 0, s2 = 0, s3 = 0, width = 2 * radius + 1;
    auto add = [&](uint32_t c) {
        s0 += c & 255, s1 += (c >> 8) & 255, s2 += (c >> 16) & 255, s3 += c >> 24;
    };
    auto remove = [&](uint32_t c) {
        s0 -= c & 255, s1 -= (c >> 8) & 255, s2 -= (c >> 16) & 255, s3 -= c >> 24;
    };
    for (int i = 0; i <= radius && i < n; ++i)
        add(copy[i]);
    for (int i = 0; i < n; ++i) {
        p[i] = (s3 / width) << 24 | (s2 / width) << 16 | (s1 / width) << 8 | s0 / width;
        if (i - radius >= 0)
            remove(copy[i - radius]);
        if (i + radius + 1 < n)
            add(copy[i + radius + 1]);
    }
}

// One vertical pass, row by row with a running sum per column (kind to the cache).
void BlurColumns(const Canvas& c, const ClipBox& box, int radius, std::vector<uint32_t>& copy) {
    int w = box.x1 - box.x0, h = box.y1 - box.y0;
    copy.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        memcpy(copy.data() + static_cast<size_t>(y) * w, c.Row(box.y0 + y) + box.x0, w * sizeof(uint32_t));
    std::vector<uint32_t> sums(static_cast<size_t>(w) * 4, 0);
    auto addRow = [&](int y, int sign) {
        const uint32_t* r = copy.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            uint32_t v = r[x];
            uint32_t* s = sums.data() + 4 * x;
            s[0] += static_cast<uint32_t>(sign) * (v & 255);
            s[1] += static_cast<uint32_t>(sign) * ((v >> 8) & 255);
            s[2] += static_cast<uint32_t>(sign) * ((v >> 16) & 255);
            s[3] += static_cast<uint32_t>(sign) * (v >> 24);
        }
    };
    uint32_t width = 2 * radius + 1;
    for (int y = 0; y <= radius && y < h; ++y)
        addRow(y, 1);
    for (int y = 0; y < h; ++y) {
        uint32_t* out = c.Row(box.y0 + y) + box.x0;
        for (int x = 0; x < w; ++x) {
            const uint32_t* s = sums.data() + 4 * x;
            out[x] = (s[3] / width) << 24 | (s[2] / width) << 16 | (s[1] / width) << 8 | s[0] / width;
        }
        int leaving = y - radius, entering = y + radius + 1;
        if (leaving >= 0 && entering < h) {
            // Both rows in one sweep over the sums.
            const uint32_t* o = copy.data() + static_cast<size_t>(leaving) * w;
            const uint32_t* n = copy.data() + static_cast<size_t>(entering) * w;
            for (int x = 0; x < w; ++x) {
                uint32_t* s = sums.data() + 4 * x;
                uint32_t a = o[x], b = n[x];
                s[0] += (b & 255) - (a & 255);
                s[1] += ((b >> 8) & 255) - ((a >> 8) & 255);
                s[2] += ((b >> 16) & 255) - ((a >> 16) & 255);
                s[3] += (b >> 24) - (a >> 24);
            }
        } else if (leaving >= 0) {
            addRow(leaving, -1);
        } else if (entering < h) {
            addRow(entering, 1);
        }
    }
}

void Blur(const Canvas& c, const ClipBox& box, int rx, int ry, int passes) {
    std::vector<uint32_t> copy;
    for (int pass = 0; pass < passes; ++pass) {
        if (rx > 0)
            for (int y = box.y0; y < box.y1; ++y)
                BlurRow(c.Row(y) + box.x0, box.x1 - box.x0, rx, copy);
        if (ry > 0)
            BlurColumns(c, box, ry, copy);
    }
}

uint32_t MulDiv255Pixel(uint32_t c, uint32_t a) {
    uint32_t rb = (c & 0x00FF00FFu) * a + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    uint32_t ag = ((c >> 8) & 0x00FF00FFu) * a + 0x00800080u;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

uint8_t Clamp255(float v) { return static_cast<uint8_t>(v <= 0 ? 0 : v >= 255 ? 255 : v + 0.5f); }

void ColorMatrix(const Canvas& c, const ClipBox& box, const float* m) {
    for (int y = box.y0; y < box.y1; ++y) {
        uint32_t* row = c.Row(y);
        for (int x = box.x0; x < box.x1; ++x) {
            uint32_t p = row[x];
            float a = static_cast<float>(p >> 24);
            float r = a ? ((p >> 16) & 255) * 255.0f / a : 0, g = a ? ((p >> 8) & 255) * 255.0f / a : 0,
                  b = a ? (p & 255) * 255.0f / a : 0;
            SwfColor out;
            out.r = Clamp255(m[0] * r + m[1] * g + m[2] * b + m[3] * a + m[4]);
            out.g = Clamp255(m[5] * r + m[6] * g + m[7] * b + m[8] * a + m[9]);
            out.b = Clamp255(m[10] * r + m[11] * g + m[12] * b + m[13] * a + m[14]);
            out.a = Clamp255(m[15] * r + m[16] * g + m[17] * b + m[18] * a + m[19]);
            row[x] = Premultiply(out);
        }
    }
}

// One box blur pass over a line of a single 8-bit plane.
void BlurPlaneLine(uint8_t* p, int n, int step, int radius, std::vector<uint8_t>& line) {
    line.resize(n);
    for (int i = 0; i < n; ++i)
        line[i] = p[i * step];
    uint32_t sum = 0, width = 2 * radius + 1;
    for (int i = 0; i <= radius && i < n; ++i)
        sum += line[i];
    for (int i = 0; i < n; ++i) {
        p[i * step] = static_cast<uint8_t>(sum / width);
        int leaving = i - radius, entering = i + radius + 1;
        if (leaving >= 0)
            sum -= line[leaving];
        if (entering < n)
            sum += line[entering];
    }
}

// A shadow or glow: the object's alpha, moved, blurred, strengthened and coloured,
// drawn behind the object (or instead of it, or cut by it). Only the alpha plane is blurred.
void Shadow(const Filter& f, const Canvas& layer, const ClipBox& box, float scale) {
    int dx = 0, dy = 0;
    if (f.type == FILTER_DROP_SHADOW) {
        dx = static_cast<int>(std::lround(std::cos(f.angle) * f.distance * scale));
        dy = static_cast<int>(std::lround(std::sin(f.angle) * f.distance * scale));
    }
    int w = box.x1 - box.x0, h = box.y1 - box.y0;
    std::vector<uint8_t> plane(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        int sy = y - dy;
        for (int x = 0; x < w; ++x) {
            int sx = x - dx;
            uint32_t a = sx >= 0 && sx < w && sy >= 0 && sy < h ? layer.Row(box.y0 + sy)[box.x0 + sx] >> 24 : 0;
            plane[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(f.inner ? 255 - a : a);
        }
    }
    int rx = Radius(f.blurX, scale), ry = Radius(f.blurY, scale);
    std::vector<uint8_t> line;
    for (int pass = 0; pass < f.passes; ++pass) {
        if (rx > 0)
            for (int y = 0; y < h; ++y)
                BlurPlaneLine(plane.data() + static_cast<size_t>(y) * w, w, 1, rx, line);
        if (ry > 0)
            for (int x = 0; x < w; ++x)
                BlurPlaneLine(plane.data() + x, h, w, ry, line);
    }
    // Alpha gain in 1/256 units: strength and the colour's own alpha.
    uint32_t gain = static_cast<uint32_t>(f.strength * f.color.a / 255.0f * 256 + 0.5f);
    for (int y = 0; y < h; ++y) {
        uint32_t* d = layer.Row(box.y0 + y) + box.x0;
        const uint8_t* sp = plane.data() + static_cast<size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
            uint32_t a = sp[x] * gain >> 8;
            if (a > 255)
                a = 255;
            uint32_t src = d[x], objA = src >> 24;
            if (f.inner)
                a = a * objA / 255;
            // The shadow's premultiplied colour at alpha a.
            uint32_t shadow = a << 24 | (f.color.r * a / 255) << 16 | (f.color.g * a / 255) << 8 | f.color.b * a / 255;
            uint32_t out;
            if (f.knockout) {
                out = f.inner ? shadow : MulDiv255Pixel(shadow, 255 - objA);
            } else if (f.inner) {
                // Shadow over the object, keeping the object's coverage.
                out = shadow + MulDiv255Pixel(src, 255 - a);
                out = (out & 0x00FFFFFFu) | objA << 24;
            } else if (f.hideObject) {
                out = shadow;
            } else {
                out = src + MulDiv255Pixel(shadow, 255 - objA);
            }
            d[x] = out;
        }
    }
}

} // namespace

bool ParseFilters(SwfReader& r, std::vector<Filter>* out) {
    int count = r.U8();
    for (int i = 0; i < count && !r.Failed(); ++i) {
        Filter f;
        f.type = r.U8();
        switch (f.type) {
        case FILTER_DROP_SHADOW:
        case FILTER_GLOW: {
            f.color = ReadRgba(r);
            f.blurX = r.Fixed16();
            f.blurY = r.Fixed16();
            if (f.type == FILTER_DROP_SHADOW) {
                f.angle = r.Fixed16();
                f.distance = r.Fixed16();
            }
            f.strength = r.Fixed8();
            f.inner = r.UB(1) != 0;
            f.knockout = r.UB(1) != 0;
            f.hideObject = r.UB(1) == 0;
            f.passes = static_cast<int>(r.UB(5));
            break;
        }
        case FILTER_BLUR:
            f.blurX = r.Fixed16();
            f.blurY = r.Fixed16();
            f.passes = static_cast<int>(r.UB(5));
            r.UB(3);
            break;
        case FILTER_COLOR_MATRIX:
            for (float& v : f.matrix)
                v = r.Float32();
            break;
        case 3:
            r.Skip(27);
            continue;
        case 4:
        case 7:
            r.Skip(r.U8() * 5u + 19);
            continue;
        case 5: {
            int x = r.U8(), y = r.U8();
            r.Skip(8 + 4u * x * y + 5);
            continue;
        }
        default:
            r.Fail();
            return false;
        }
        if (f.passes > MAX_PASSES)
            f.passes = MAX_PASSES;
        if (!(f.blurX >= 0 && f.blurX < 1e4f))
            f.blurX = 0;
        if (!(f.blurY >= 0 && f.blurY < 1e4f))
            f.blurY = 0;
        if (!(f.distance > -1e4f && f.distance < 1e4f))
            f.distance = 0;
        if (!(f.strength >= 0 && f.strength < 256))
            f.strength = 1;
        if (!r.Failed())
            out->push_back(f);
    }
    return !r.Failed();
}

int FilterReach(const std::vector<Filter>& filters, float scale) {
    int reach = 0;
    for (const Filter& f : filters) {
        int passes = f.passes < 1 ? 1 : f.passes;
        int r = (std::max(Radius(f.blurX, scale), Radius(f.blurY, scale)) + 1) * passes;
        if (f.type == FILTER_DROP_SHADOW)
            r += static_cast<int>(std::fabs(f.distance) * scale) + 1;
        reach += r;
    }
    return reach;
}

void ApplyFilters(const std::vector<Filter>& filters, const Canvas& layer, const ClipBox& box, float scale) {
    for (const Filter& f : filters) {
        switch (f.type) {
        case FILTER_BLUR:
            Blur(layer, box, Radius(f.blurX, scale), Radius(f.blurY, scale), f.passes);
            break;
        case FILTER_COLOR_MATRIX:
            ColorMatrix(layer, box, f.matrix);
            break;
        case FILTER_DROP_SHADOW:
        case FILTER_GLOW:
            if (f.passes > 0)
                Shadow(f, layer, box, scale);
            break;
        default:
            break;
        }
    }
}
