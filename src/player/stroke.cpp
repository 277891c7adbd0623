#include "player/stroke.h"

#include <cmath>

namespace {

struct Point {
    float x, y;
    bool corner; // an original vertex (joins use the style there), not a step inside a curve
};

constexpr float PI = 3.14159265f;

// Adds a closed polygon, turned so that every piece winds the same way and
// overlapping pieces add up instead of cancelling.
void AddPolygon(Rasterizer* r, const Point* p, int n) {
    float area = 0;
    for (int i = 0; i < n; ++i) {
        const Point& a = p[i];
        const Point& b = p[(i + 1) % n];
        area += a.x * b.y - b.x * a.y;
    }
    if (area > 0) {
        for (int i = 0; i < n; ++i)
            r->AddLine(p[i].x, p[i].y, p[(i + 1) % n].x, p[(i + 1) % n].y);
    } else {
        for (int i = n; i > 0; --i)
            r->AddLine(p[i % n].x, p[i % n].y, p[i - 1].x, p[i - 1].y);
    }
}

void AddDisc(Rasterizer* r, float cx, float cy, float radius) {
    int n = static_cast<int>(radius * 1.5f) + 8;
    if (n > 64)
        n = 64;
    Point pts[64];
    for (int i = 0; i < n; ++i) {
        float a = 2 * PI * i / n;
        pts[i] = {cx + radius * std::cos(a), cy + radius * std::sin(a), false};
    }
    AddPolygon(r, pts, n);
}

void Join(Rasterizer* r, const Point& prev, const Point& at, const Point& next, float hw, const LineStyle& s) {
    float d1x = at.x - prev.x, d1y = at.y - prev.y, d2x = next.x - at.x, d2y = next.y - at.y;
    float l1 = std::sqrt(d1x * d1x + d1y * d1y), l2 = std::sqrt(d2x * d2x + d2y * d2y);
    if (l1 < 1e-6f || l2 < 1e-6f)
        return;
    d1x /= l1;
    d1y /= l1;
    d2x /= l2;
    d2y /= l2;
    float cross = d1x * d2y - d1y * d2x;
    float dot = d1x * d2x + d1y * d2y;
    if (std::fabs(cross) < 1e-4f && dot > 0)
        return; // straight on
    // Normals on the outer side of the turn.
    float side = cross > 0 ? -1.0f : 1.0f;
    Point n1{at.x - d1y * hw * side, at.y + d1x * hw * side, false};
    Point n2{at.x - d2y * hw * side, at.y + d2x * hw * side, false};
    uint8_t join = at.corner ? s.join : static_cast<uint8_t>(JOIN_BEVEL);
    if (join == JOIN_ROUND && hw > 0.75f && dot < 0.985f) {
        AddDisc(r, at.x, at.y, hw);
        return;
    }
    if (join == JOIN_MITER) {
        // Miter length over half width is 1 / cos(half the turn).
        float half = std::sqrt((1 + dot) / 2);
        float limit = s.miterLimit < 1 ? 1 : s.miterLimit;
        if (half > 1e-3f && 1 / half <= limit) {
            float mx = (n1.x + n2.x) / 2 - at.x, my = (n1.y + n2.y) / 2 - at.y;
            float ml = std::sqrt(mx * mx + my * my);
            if (ml > 1e-6f) {
                float len = hw / half;
                Point q[4] = {at, n1, {at.x + mx / ml * len, at.y + my / ml * len, false}, n2};
                AddPolygon(r, q, 4);
                return;
            }
        }
    }
    Point tri[3] = {at, n1, n2};
    AddPolygon(r, tri, 3);
}

void Cap(Rasterizer* r, const Point& end, const Point& from, float hw, uint8_t cap) {
    if (cap == CAP_NONE)
        return;
    if (cap == CAP_ROUND) {
        AddDisc(r, end.x, end.y, hw);
        return;
    }
    float dx = end.x - from.x, dy = end.y - from.y;
    float l = std::sqrt(dx * dx + dy * dy);
    if (l < 1e-6f) {
        dx = 1;
        dy = 0;
    } else {
        dx /= l;
        dy /= l;
    }
    float nx = -dy * hw, ny = dx * hw;
    Point q[4] = {{end.x + nx, end.y + ny, false},
                  {end.x + nx + dx * hw, end.y + ny + dy * hw, false},
                  {end.x - nx + dx * hw, end.y - ny + dy * hw, false},
                  {end.x - nx, end.y - ny, false}};
    AddPolygon(r, q, 4);
}

void StrokePolyline(const std::vector<Point>& pts, bool closed, float hw, const LineStyle& s, Rasterizer* r) {
    size_t n = pts.size();
    if (n < 2) {
        if (n == 1 && s.startCap == CAP_ROUND)
            AddDisc(r, pts[0].x, pts[0].y, hw);
        return;
    }
    for (size_t i = 0; i + 1 < n; ++i) {
        const Point& a = pts[i];
        const Point& b = pts[i + 1];
        float dx = b.x - a.x, dy = b.y - a.y;
        float l = std::sqrt(dx * dx + dy * dy);
        if (l < 1e-6f)
            continue;
        float nx = -dy / l * hw, ny = dx / l * hw;
        Point q[4] = {{a.x + nx, a.y + ny, false}, {b.x + nx, b.y + ny, false}, {b.x - nx, b.y - ny, false},
                      {a.x - nx, a.y - ny, false}};
        AddPolygon(r, q, 4);
    }
    for (size_t i = 1; i + 1 < n; ++i)
        Join(r, pts[i - 1], pts[i], pts[i + 1], hw, s);
    if (closed) {
        Join(r, pts[n - 2], pts[0], pts[1], hw, s);
    } else {
        Cap(r, pts[0], pts[1], hw, s.startCap);
        Cap(r, pts[n - 1], pts[n - 2], hw, s.endCap);
    }
}

} // namespace

void StrokeSegments(const std::vector<Segment>& segs, const SwfMatrix& m, float width, const LineStyle& s,
                    Rasterizer* raster) {
    float hw = (width < 1 ? 1 : width) / 2;
    std::vector<Point> pts;
    float lastX = 0, lastY = 0;
    auto flush = [&]() {
        if (pts.empty())
            return;
        bool closed = pts.size() > 2 && std::fabs(pts.front().x - pts.back().x) < 1e-3f &&
                      std::fabs(pts.front().y - pts.back().y) < 1e-3f && !s.noClose;
        if (closed)
            pts.front().corner = true;
        StrokePolyline(pts, closed, hw, s, raster);
        pts.clear();
    };
    auto push = [&](float x, float y, bool corner) {
        if (!pts.empty() && std::fabs(pts.back().x - x) < 1e-4f && std::fabs(pts.back().y - y) < 1e-4f) {
            pts.back().corner = pts.back().corner || corner;
            return;
        }
        pts.push_back({x, y, corner});
    };
    for (size_t i = 0; i < segs.size(); ++i) {
        const Segment& g = segs[i];
        if (i == 0 || g.x0 != lastX || g.y0 != lastY)
            flush();
        float x0 = static_cast<float>(m.X(g.x0, g.y0)), y0 = static_cast<float>(m.Y(g.x0, g.y0));
        float x1 = static_cast<float>(m.X(g.x1, g.y1)), y1 = static_cast<float>(m.Y(g.x1, g.y1));
        push(x0, y0, true);
        if (g.curve) {
            float cx = static_cast<float>(m.X(g.cx, g.cy)), cy = static_cast<float>(m.Y(g.cx, g.cy));
            float ddx = x0 - 2 * cx + x1, ddy = y0 - 2 * cy + y1;
            int n = static_cast<int>(std::ceil(std::sqrt(std::sqrt(ddx * ddx + ddy * ddy) / 2.0f)));
            if (!(n >= 1))
                n = 1;
            if (n > 64)
                n = 64;
            for (int k = 1; k < n; ++k) {
                float t = static_cast<float>(k) / n, u = 1 - t;
                push(u * u * x0 + 2 * u * t * cx + t * t * x1, u * u * y0 + 2 * u * t * cy + t * t * y1, false);
            }
        }
        push(x1, y1, true);
        lastX = g.x1;
        lastY = g.y1;
    }
    flush();
}
