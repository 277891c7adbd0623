// Writes the demo movie: a calm loop of drifting glowing orbs over a
// gradient sky, a slowly turning flower, a morphing wave and the product's
// name in an embedded stroke font.
//   mvdemo-movie OUT.swf
#include "strokefont.h"
#include "swfwriter.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

const double PI = 3.14159265358979;
const int W = 800, H = 450, FRAMES = 240;

SwfMatrix Rotate(double degrees, double scale) {
    double a = degrees * PI / 180;
    return {std::cos(a) * scale, std::sin(a) * scale, -std::sin(a) * scale, std::cos(a) * scale, 0, 0};
}

ShapeBuilder Wave(double phase, double amplitude) {
    ShapeBuilder s;
    s.AddSolidFill({40, 200, 220, 90});
    s.Style(-1, 1, -1);
    std::vector<std::pair<int, int>> pts;
    for (int i = 0; i <= 40; ++i) {
        double x = W * 20.0 * i / 40;
        double y = H * 20 * 0.82 + amplitude * std::sin(phase + i * PI / 10);
        pts.push_back({static_cast<int>(x), static_cast<int>(y)});
    }
    pts.push_back({W * 20, H * 20});
    pts.push_back({0, H * 20});
    s.Polygon(pts);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    bool still = argc == 3 && std::string(argv[1]) == "--still";
    if (argc != 2 && !still) {
        fprintf(stderr, "usage: mvdemo-movie [--still] OUT.swf\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    const int frameCount = still ? 1 : FRAMES;
    SwfWriter swf(8, W, H, 30);
    swf.Background({8, 14, 40, 255});

    // The sky: a vertical gradient over the whole stage.
    ShapeBuilder sky;
    double s = H * 20 / 32768.0;
    sky.AddGradientFill(FILL_LINEAR, {0, s, -s, 0, W * 10.0, H * 10.0},
                        {{0, {10, 24, 64, 255}}, {150, {40, 20, 90, 255}}, {255, {90, 30, 90, 255}}});
    sky.Style(-1, 1, -1);
    sky.Rect(0, 0, W * 20, H * 20);
    uint16_t skyId = swf.DefineShape(sky);

    // A soft orb: a radial gradient that fades to nothing at its edge.
    const SwfColor colours[5] = {{255, 170, 80, 0}, {120, 200, 255, 0}, {255, 110, 180, 0}, {150, 255, 190, 0}, {200, 160, 255, 0}};
    uint16_t orbIds[5];
    for (int i = 0; i < 5; ++i) {
        ShapeBuilder orb;
        SwfColor c = colours[i];
        double r = 2400 / 16384.0;
        orb.AddGradientFill(FILL_RADIAL, {r, 0, 0, r, 0, 0},
                            {{0, {c.r, c.g, c.b, 150}}, {110, {c.r, c.g, c.b, 70}}, {255, {c.r, c.g, c.b, 0}}});
        orb.Style(-1, 1, -1);
        orb.Ellipse(0, 0, 2400, 2400);
        orbIds[i] = swf.DefineShape(orb);
    }

    // A flower of six petals that turns once every four seconds inside its own clip.
    ShapeBuilder petal;
    double pr = 1400 / 16384.0;
    petal.AddGradientFill(FILL_RADIAL, {pr, 0, 0, pr, 0, 0}, {{0, {255, 240, 200, 230}}, {255, {255, 140, 60, 40}}});
    petal.AddLine(30, {255, 230, 190, 160});
    for (int k = 0; k < 6; ++k) {
        double a = k * PI / 3;
        int tipX = static_cast<int>(1400 * std::cos(a)), tipY = static_cast<int>(1400 * std::sin(a));
        int lx = static_cast<int>(700 * std::cos(a - 0.6)), ly = static_cast<int>(700 * std::sin(a - 0.6));
        int rx = static_cast<int>(700 * std::cos(a + 0.6)), ry = static_cast<int>(700 * std::sin(a + 0.6));
        petal.Style(-1, 1, 1);
        petal.MoveTo(0, 0);
        petal.CurveTo(lx * 2, ly * 2, tipX, tipY);
        petal.CurveTo(rx * 2, ry * 2, 0, 0);
    }
    uint16_t petalId = swf.DefineShape(petal);
    TimelineWriter flower;
    for (int f = 0; f < (still ? 1 : 120); ++f) {
        PlaceArgs p;
        p.characterId = f == 0 ? petalId : 0;
        p.matrix = Rotate(f * 3.0, 1);
        flower.Place(1, p);
        flower.ShowFrame();
    }
    uint16_t flowerId = swf.DefineSprite(flower);

    // The wave at the bottom morphs back and forth.
    uint16_t waveId = swf.DefineMorphShape(Wave(0, 500), Wave(PI, 700));

    // The name, in our own stroke font.
    const std::string title = "MovieSaver";
    StrokeFont font = MakeStrokeFont(title);
    uint16_t fontId = swf.DefineFont("MovieSaver Stroke", font.glyphs, font.codes, font.advances, 760, 260);
    SwfRect textBounds{0, 800 * 20 / 2, -1300, 300};
    uint16_t textId = swf.DefineText(fontId, font.codes, font.advances, title, 1500, {255, 250, 240, 255}, textBounds);
    double textWidth = 0;
    for (char c : title)
        for (size_t i = 0; i < font.codes.size(); ++i)
            if (font.codes[i] == static_cast<uint16_t>(c))
                textWidth += font.advances[i] * 1500.0 / 1024;

    for (int f = 0; f < frameCount; ++f) {
        double t = 2 * PI * f / FRAMES; // one loop
        if (f == 0) {
            PlaceArgs p;
            p.characterId = skyId;
            swf.Place(1, p);
        }
        for (int i = 0; i < 5; ++i) {
            PlaceArgs p;
            p.characterId = f == 0 ? orbIds[i] : 0;
            double x = W * 10.0 + W * 7.0 * std::sin(t * (i % 2 ? 1 : 2) + i * 1.3);
            double y = H * 10.0 + H * 6.0 * std::cos(t * (i % 3 == 0 ? 1 : 2) + i * 2.1);
            double scale = 1.0 + 0.25 * std::sin(t * 2 + i);
            p.matrix = SwfMatrix::Translate(x, y) * SwfMatrix::Scale(scale, scale);
            swf.Place(2 + i, p);
        }
        if (f == 0) {
            PlaceArgs p;
            p.characterId = flowerId;
            p.matrix = SwfMatrix::Translate(W * 20 * 0.5, H * 20 * 0.36);
            swf.Place(10, p);
        }
        PlaceArgs w;
        w.characterId = f == 0 ? waveId : 0;
        w.hasMatrix = f == 0;
        w.ratio = static_cast<int>(65535 * (0.5 - 0.5 * std::cos(t)));
        swf.Place(11, w);
        PlaceArgs text;
        text.characterId = f == 0 ? textId : 0;
        text.matrix = SwfMatrix::Translate((W * 20 - textWidth) / 2, H * 20 * 0.72);
        text.hasCxform = true;
        text.cxform.mulA = static_cast<float>(0.75 + 0.25 * std::sin(t));
        swf.Place(12, text);
        swf.ShowFrame();
    }
    std::vector<uint8_t> bytes = swf.Finish(true);
    FILE* out = fopen(path, "wb");
    if (!out || fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || fclose(out) != 0) {
        fprintf(stderr, "mvdemo-movie: cannot write \"%s\"\n", path);
        return 1;
    }
    printf("mvdemo-movie: wrote %s (%u bytes, %d frames)\n", path, static_cast<unsigned>(bytes.size()), frameCount);
    return 0;
}
