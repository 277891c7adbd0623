#include "strokefont.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace {

using Stroke = std::vector<std::pair<double, double>>;

const double PI = 3.14159265358979;

// An arc of the ellipse centred at (cx, cy), from angle a0 to a1 (degrees, counter-clockwise, y up).
Stroke Arc(double cx, double cy, double rx, double ry, double a0, double a1) {
    Stroke s;
    int n = static_cast<int>(std::fabs(a1 - a0) / 15) + 1;
    for (int i = 0; i <= n; ++i) {
        double a = (a0 + (a1 - a0) * i / n) * PI / 180;
        s.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return s;
}

std::vector<Stroke> Letter(char c) {
    switch (c) {
    case 'M': return {{{0, 0}, {0, 700}, {300, 300}, {600, 700}, {600, 0}}};
    case 'S': {
        Stroke s = Arc(300, 525, 250, 175, 20, 270);
        Stroke t = Arc(300, 175, 250, 175, 90, -160);
        s.insert(s.end(), t.begin(), t.end());
        return {s};
    }
    case 'A': return {{{0, 0}, {300, 700}, {600, 0}}, {{110, 250}, {490, 250}}};
    case 'o': return {Arc(300, 250, 250, 250, 0, 360)};
    case 'v': return {{{0, 500}, {300, 0}, {600, 500}}};
    case 'i': return {{{300, 0}, {300, 500}}, {{300, 660}, {300, 700}}};
    case 'e': {
        Stroke s{{50, 250}, {550, 250}};
        Stroke t = Arc(300, 250, 250, 250, 0, 320);
        s.insert(s.end(), t.begin(), t.end());
        return {s};
    }
    case 'a': {
        Stroke s = Arc(300, 250, 250, 250, 0, 360);
        return {s, {{550, 500}, {550, 0}}};
    }
    case 'r': {
        Stroke s{{0, 0}, {0, 500}};
        Stroke t = Arc(300, 250, 300, 250, 180, 60);
        return {s, {{0, 250}, t[1], t[2], t[3], t[4], t.back()}};
    }
    case 'c': return {Arc(300, 250, 250, 250, 45, 315)};
    case 'n': {
        Stroke t = Arc(300, 250, 250, 250, 180, 0);
        Stroke s{{50, 0}, {50, 500}};
        Stroke u{{50, 250}};
        u.insert(u.end(), t.begin(), t.end());
        u.push_back({550, 0});
        return {s, u};
    }
    case 'l': return {{{300, 0}, {300, 700}}};
    case 'm': {
        Stroke a = Arc(175, 300, 125, 200, 180, 0);
        Stroke b = Arc(425, 300, 125, 200, 180, 0);
        Stroke s{{50, 0}, {50, 500}};
        Stroke u{{50, 300}};
        u.insert(u.end(), a.begin(), a.end());
        u.push_back({300, 0});
        Stroke v{{300, 300}};
        v.insert(v.end(), b.begin(), b.end());
        v.push_back({550, 0});
        return {s, u, v};
    }
    case 't': return {{{250, 0}, {250, 650}}, {{80, 500}, {450, 500}}};
    default: return {};
    }
}

// Outline pieces turn the same way: clockwise on screen (y down).
void AddPiece(ShapeBuilder& g, std::vector<std::pair<int, int>> pts) {
    double area = 0;
    for (size_t i = 0; i < pts.size(); ++i) {
        auto a = pts[i], b = pts[(i + 1) % pts.size()];
        area += static_cast<double>(a.first) * b.second - static_cast<double>(b.first) * a.second;
    }
    if (area < 0)
        std::reverse(pts.begin(), pts.end());
    g.Style(-1, 1, -1);
    g.Polygon(pts);
}

} // namespace

StrokeFont MakeStrokeFont(const std::string& letters, int width) {
    StrokeFont font;
    double scale = 1024.0 / 1000; // the 700-high grid fills about two thirds of the em
    double h = width / 2.0;
    for (char c : letters) {
        if (std::find(font.codes.begin(), font.codes.end(), static_cast<uint16_t>(c)) != font.codes.end())
            continue;
        ShapeBuilder g;
        std::vector<Stroke> strokes = Letter(c);
        // Proportional spacing: each letter starts half a stroke from its origin.
        double minX = 1e9, maxX = -1e9;
        for (const Stroke& s : strokes)
            for (const auto& p : s) {
                minX = std::min(minX, p.first);
                maxX = std::max(maxX, p.first);
            }
        if (strokes.empty())
            minX = maxX = 0;
        for (const Stroke& s : strokes) {
            auto pt = [&](double x, double y) {
                return std::make_pair(static_cast<int>(std::lround((x - minX + h) * scale)),
                                      static_cast<int>(std::lround(-y * scale)));
            };
            for (size_t i = 0; i + 1 < s.size(); ++i) {
                double dx = s[i + 1].first - s[i].first, dy = s[i + 1].second - s[i].second;
                double len = std::sqrt(dx * dx + dy * dy);
                if (len < 1e-6)
                    continue;
                double nx = -dy / len * h, ny = dx / len * h;
                AddPiece(g, {pt(s[i].first + nx, s[i].second + ny), pt(s[i + 1].first + nx, s[i + 1].second + ny),
                             pt(s[i + 1].first - nx, s[i + 1].second - ny), pt(s[i].first - nx, s[i].second - ny)});
            }
            for (const auto& p : s) {
                std::vector<std::pair<int, int>> disc;
                for (int k = 0; k < 12; ++k)
                    disc.push_back(pt(p.first + h * std::cos(k * PI / 6), p.second + h * std::sin(k * PI / 6)));
                AddPiece(g, disc);
            }
        }
        font.glyphs.push_back(g);
        font.codes.push_back(static_cast<uint16_t>(c));
        font.advances.push_back(c == ' ' ? 400 : static_cast<int>((maxX - minX + width + 130) * scale));
    }
    return font;
}
