#include "player/raster.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int SHIFT = 8; // sub-pixel bits
constexpr int ONE = 1 << SHIFT;
// Coordinates are clamped here before conversion, far beyond any canvas.
constexpr float LIMIT = 1 << 20;
} // namespace

void Rasterizer::Reset(const ClipBox& clip) {
    clip_ = clip;
    cells_.clear();
    hasCell_ = false;
    minY_ = clip.y1;
    maxY_ = clip.y0 - 1;
}

void Rasterizer::FlushCell() {
    if (hasCell_ && (cell_.cover | cell_.area)) {
        cells_.push_back(cell_);
        if (cell_.y < minY_)
            minY_ = cell_.y;
        if (cell_.y > maxY_)
            maxY_ = cell_.y;
    }
    hasCell_ = false;
}

void Rasterizer::SetCell(int x, int y) {
    if (hasCell_ && cell_.x == x && cell_.y == y)
        return;
    FlushCell();
    // Rows outside the box and cells right of it never show.
    if (y < clip_.y0 || y >= clip_.y1 || x >= clip_.x1) {
        cell_ = {x, y, 0, 0};
        hasCell_ = false;
        return;
    }
    cell_ = {x < clip_.x0 ? clip_.x0 : x, y, 0, 0};
    hasCell_ = true;
}

void Rasterizer::HLine(int ey, int x1, int y1, int x2, int y2) {
    int ex1 = x1 >> SHIFT, ex2 = x2 >> SHIFT;
    int fx1 = x1 & (ONE - 1), fx2 = x2 & (ONE - 1);
    auto add = [&](int cover, int area) {
        if (hasCell_) {
            cell_.cover += cover;
            cell_.area += area;
        }
    };
    if (y1 == y2) {
        SetCell(ex2, ey);
        return;
    }
    if (ex1 == ex2) {
        SetCell(ex1, ey);
        add(y2 - y1, (fx1 + fx2) * (y2 - y1));
        return;
    }
    int dx = x2 - x1;
    int64_t p = static_cast<int64_t>(ONE - fx1) * (y2 - y1);
    int first = ONE, incr = 1;
    if (dx < 0) {
        p = static_cast<int64_t>(fx1) * (y2 - y1);
        first = 0;
        incr = -1;
        dx = -dx;
    }
    int delta = static_cast<int>(p / dx);
    int64_t mod = p % dx;
    if (mod < 0) {
        --delta;
        mod += dx;
    }
    SetCell(ex1, ey);
    add(delta, (fx1 + first) * delta);
    ex1 += incr;
    SetCell(ex1, ey);
    y1 += delta;
    if (ex1 != ex2) {
        p = static_cast<int64_t>(ONE) * (y2 - y1 + delta);
        int lift = static_cast<int>(p / dx);
        int64_t rem = p % dx;
        if (rem < 0) {
            --lift;
            rem += dx;
        }
        mod -= dx;
        while (ex1 != ex2) {
            delta = lift;
            mod += rem;
            if (mod >= 0) {
                mod -= dx;
                ++delta;
            }
            add(delta, ONE * delta);
            y1 += delta;
            ex1 += incr;
            SetCell(ex1, ey);
        }
    }
    delta = y2 - y1;
    add(delta, (fx2 + ONE - first) * delta);
}

void Rasterizer::LineFixed(int x1, int y1, int x2, int y2) {
    int ey1 = y1 >> SHIFT, ey2 = y2 >> SHIFT;
    int fy1 = y1 & (ONE - 1), fy2 = y2 & (ONE - 1);
    if (ey1 == ey2) {
        HLine(ey1, x1, fy1, x2, fy2);
        return;
    }
    int dx = x2 - x1, dy = y2 - y1;
    int64_t p = static_cast<int64_t>(ONE - fy1) * dx;
    int first = ONE, incr = 1;
    if (dy < 0) {
        p = static_cast<int64_t>(fy1) * dx;
        first = 0;
        incr = -1;
        dy = -dy;
    }
    int delta = static_cast<int>(p / dy);
    int64_t mod = p % dy;
    if (mod < 0) {
        --delta;
        mod += dy;
    }
    int xFrom = x1 + delta;
    HLine(ey1, x1, fy1, xFrom, first);
    ey1 += incr;
    if (ey1 != ey2) {
        p = static_cast<int64_t>(ONE) * dx;
        int lift = static_cast<int>(p / dy);
        int64_t rem = p % dy;
        if (rem < 0) {
            --lift;
            rem += dy;
        }
        mod -= dy;
        while (ey1 != ey2) {
            delta = lift;
            mod += rem;
            if (mod >= 0) {
                mod -= dy;
                ++delta;
            }
            int xTo = xFrom + delta;
            HLine(ey1, xFrom, ONE - first, xTo, first);
            xFrom = xTo;
            ey1 += incr;
        }
    }
    HLine(ey1, xFrom, ONE - first, x2, fy2);
}

void Rasterizer::AddLine(float x0, float y0, float x1, float y1) {
    if (!(std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1)))
        return;
    float top = static_cast<float>(clip_.y0), bottom = static_cast<float>(clip_.y1);
    float left = static_cast<float>(clip_.x0), right = static_cast<float>(clip_.x1);
    if (y0 == y1 || (y0 <= top && y1 <= top) || (y0 >= bottom && y1 >= bottom))
        return;
    // Cut to the rows of the box.
    auto cutY = [&](float& xa, float& ya, float xb, float yb, float at) {
        xa = xa + (xb - xa) * (at - ya) / (yb - ya);
        ya = at;
    };
    if (y0 < top)
        cutY(x0, y0, x1, y1, top);
    if (y1 < top)
        cutY(x1, y1, x0, y0, top);
    if (y0 > bottom)
        cutY(x0, y0, x1, y1, bottom);
    if (y1 > bottom)
        cutY(x1, y1, x0, y0, bottom);
    // Split where the line crosses the left and right edges: parts left of the
    // box run down its edge (they still cover everything to their right),
    // parts right of it cannot show and are dropped.
    float ts[4] = {0, 0, 0, 1};
    int n = 1;
    if (x0 != x1) {
        float tl = (left - x0) / (x1 - x0), tr = (right - x0) / (x1 - x0);
        if (tl > 0 && tl < 1)
            ts[n++] = tl;
        if (tr > 0 && tr < 1)
            ts[n++] = tr;
        if (n == 3 && ts[1] > ts[2])
            std::swap(ts[1], ts[2]);
    }
    ts[n] = 1;
    for (int i = 0; i < n; ++i) {
        float ta = ts[i], tb = ts[i + 1];
        float xa = x0 + (x1 - x0) * ta, ya = y0 + (y1 - y0) * ta;
        float xb = x0 + (x1 - x0) * tb, yb = y0 + (y1 - y0) * tb;
        float mid = (xa + xb) / 2;
        if (mid >= right)
            continue;
        if (mid <= left)
            xa = xb = left;
        xa = std::min(std::max(xa, left), right);
        xb = std::min(std::max(xb, left), right);
        ya = std::min(std::max(ya, -LIMIT), LIMIT);
        yb = std::min(std::max(yb, -LIMIT), LIMIT);
        LineFixed(static_cast<int>(std::lround(xa * ONE)), static_cast<int>(std::lround(ya * ONE)),
                  static_cast<int>(std::lround(xb * ONE)), static_cast<int>(std::lround(yb * ONE)));
    }
}

void Rasterizer::AddQuad(float x0, float y0, float cx, float cy, float x1, float y1) {
    float ddx = x0 - 2 * cx + x1, ddy = y0 - 2 * cy + y1;
    float dd = std::sqrt(ddx * ddx + ddy * ddy);
    // The chord of one of n pieces strays at most dd / (8 n^2) from the curve.
    int n = static_cast<int>(std::ceil(std::sqrt(dd / 2.0f)));
    if (!(n >= 1))
        n = 1;
    if (n > 64)
        n = 64;
    float px = x0, py = y0;
    for (int i = 1; i <= n; ++i) {
        float t = static_cast<float>(i) / n, u = 1 - t;
        float qx = u * u * x0 + 2 * u * t * cx + t * t * x1;
        float qy = u * u * y0 + 2 * u * t * cy + t * t * y1;
        AddLine(px, py, qx, qy);
        px = qx;
        py = qy;
    }
}

void Rasterizer::Sweep(bool nonZero, SpanSink& sink) {
    FlushCell();
    if (cells_.empty())
        return;
    // Bucket the cells by row, then order each row by x.
    int rows = maxY_ - minY_ + 1;
    rowStart_.assign(static_cast<size_t>(rows) + 1, 0);
    for (const Cell& c : cells_)
        ++rowStart_[c.y - minY_ + 1];
    for (int i = 0; i < rows; ++i)
        rowStart_[i + 1] += rowStart_[i];
    sorted_.resize(cells_.size());
    {
        std::vector<int> fill(rowStart_.begin(), rowStart_.end() - 1);
        for (const Cell& c : cells_)
            sorted_[fill[c.y - minY_]++] = c;
    }
    int width = clip_.x1 - clip_.x0;
    covers_.resize(static_cast<size_t>(width) + 1);
    auto alpha = [nonZero](int area) {
        int a = area >> (SHIFT * 2 + 1 - 8);
        if (a < 0)
            a = -a;
        if (!nonZero) {
            a &= 511;
            if (a > 256)
                a = 512 - a;
        }
        return a > 255 ? 255 : a;
    };
    for (int row = 0; row < rows; ++row) {
        Cell* begin = sorted_.data() + rowStart_[row];
        Cell* end = sorted_.data() + rowStart_[row + 1];
        if (begin == end)
            continue;
        std::sort(begin, end, [](const Cell& a, const Cell& b) { return a.x < b.x; });
        int y = row + minY_;
        int cover = 0;
        int firstX = begin->x, lastX = firstX;
        uint8_t* cov = covers_.data() - clip_.x0; // indexed by x
        for (Cell* c = begin; c != end;) {
            int x = c->x, area = 0, delta = 0;
            while (c != end && c->x == x) {
                area += c->area;
                delta += c->cover;
                ++c;
            }
            cover += delta;
            cov[x] = static_cast<uint8_t>(alpha((cover << (SHIFT + 1)) - area));
            lastX = x + 1;
            int next = c != end ? c->x : clip_.x1;
            if (next > x + 1) {
                int a = alpha(cover << (SHIFT + 1));
                if (a) {
                    for (int k = x + 1; k < next; ++k)
                        cov[k] = static_cast<uint8_t>(a);
                    lastX = next;
                } else if (c != end) {
                    for (int k = x + 1; k < next; ++k)
                        cov[k] = 0;
                    lastX = next;
                }
            }
        }
        if (lastX > clip_.x1)
            lastX = clip_.x1;
        if (lastX > firstX)
            sink.Row(y, firstX, lastX - firstX, cov + firstX);
    }
    cells_.clear();
}
