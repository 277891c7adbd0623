#!/usr/bin/env python3
"""Draws the settings dialog's built-in preview picture (src/resources/preview.bmp,
bitmap resource IDB_PREVIEW): a 300 x 175 card in the look of the module's icon,
a night-blue screen between two film strips with an orange play triangle, the
name MovieSaver and a line saying what it does, over a faint vector path.
Anti-aliased by supersampling; the letters are strokes of our own. Writes a
24-bit BMP with the classic 40-byte header. Run once; the .bmp is committed."""
import math
import random
import struct
import sys

WIDTH, HEIGHT = 300, 175
SS = 4  # supersampling per axis
SW, SH = WIDTH * SS, HEIGHT * SS

BAND = 22  # film strip height, top and bottom
STRIP = (28, 24, 32)
HOLE = (235, 230, 215)
GOLD = (255, 215, 80)
ORANGE = (255, 150, 40)
WHITE = (246, 248, 255)
PALE = (170, 200, 250)
PATH = (110, 185, 255)


def lerp(a, b, t):
    t = min(max(t, 0.0), 1.0)
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Mask:
    """Coverage at supersampled resolution, painted in picture pixels."""

    def __init__(self):
        self.bits = bytearray(SW * SH)

    def stroke(self, points, width):
        """A polyline with round ends and joins, width in pixels."""
        r = width * SS / 2.0
        pts = [(x * SS, y * SS) for x, y in points]
        if len(pts) == 1:
            pts = pts * 2
        for (ax, ay), (bx, by) in zip(pts, pts[1:]):
            self._segment(ax, ay, bx, by, r)

    def _segment(self, ax, ay, bx, by, r):
        dx, dy = bx - ax, by - ay
        length2 = dx * dx + dy * dy
        x0 = max(0, int(min(ax, bx) - r) - 1)
        x1 = min(SW - 1, int(max(ax, bx) + r) + 1)
        y0 = max(0, int(min(ay, by) - r) - 1)
        y1 = min(SH - 1, int(max(ay, by) + r) + 1)
        r2 = r * r
        bits = self.bits
        for y in range(y0, y1 + 1):
            py = y + 0.5
            row = y * SW
            for x in range(x0, x1 + 1):
                px = x + 0.5
                t = ((px - ax) * dx + (py - ay) * dy) / length2 if length2 else 0.0
                t = 0.0 if t < 0 else 1.0 if t > 1 else t
                ex, ey = px - ax - t * dx, py - ay - t * dy
                if ex * ex + ey * ey <= r2:
                    bits[row + x] = 1

    def fill(self, inside, box):
        """Samples inside box (x0, y0, x1, y1 in pixels) for which inside(x, y) holds."""
        x0, y0, x1, y1 = (max(0, int(v * SS)) for v in box)
        for y in range(y0, min(SH, y1 + 1)):
            for x in range(x0, min(SW, x1 + 1)):
                if inside((x + 0.5) / SS, (y + 0.5) / SS):
                    self.bits[y * SW + x] = 1


# Letters as strokes on a grid where the x-height is 1 and y points up; caps
# are 1.4 high. Each glyph: (advance, [polylines]).
def arc(cx, cy, rx, ry, a0, a1, steps=24):
    return [(cx + rx * math.cos(math.radians(a0 + (a1 - a0) * i / steps)),
             cy + ry * math.sin(math.radians(a0 + (a1 - a0) * i / steps))) for i in range(steps + 1)]


GLYPHS = {
    'o': (1.0, [arc(0.5, 0.5, 0.5, 0.5, 0, 360, 40)]),
    'e': (1.0, [[(0.02, 0.5), (1.0, 0.5)] + arc(0.5, 0.5, 0.5, 0.5, 0, 315, 36)]),
    'c': (0.95, [arc(0.5, 0.5, 0.5, 0.5, 45, 315, 32)]),
    'a': (1.0, [arc(0.5, 0.5, 0.5, 0.5, 0, 360, 40), [(1.0, 1.0), (1.0, 0.0)]]),
    'n': (0.9, [[(0.0, 0.0), (0.0, 1.0)], arc(0.45, 0.55, 0.45, 0.45, 180, 0, 16) + [(0.9, 0.0)]]),
    'm': (1.5, [[(0.0, 0.0), (0.0, 1.0)], arc(0.375, 0.6, 0.375, 0.4, 180, 0, 14) + [(0.75, 0.0)],
                arc(1.125, 0.6, 0.375, 0.4, 180, 0, 14) + [(1.5, 0.0)]]),
    'r': (0.62, [[(0.0, 0.0), (0.0, 1.0)], arc(0.5, 0.5, 0.5, 0.5, 180, 80, 10)]),
    's': (0.78, [arc(0.39, 0.75, 0.37, 0.25, 25, 270, 20) + arc(0.39, 0.25, 0.39, 0.25, 90, -155, 20)]),
    't': (0.6, [[(0.22, 1.32), (0.22, 0.25)] + arc(0.5, 0.25, 0.28, 0.25, 180, 270, 8), [(0.0, 1.0), (0.58, 1.0)]]),
    'v': (0.92, [[(0.0, 1.0), (0.46, 0.0), (0.92, 1.0)]]),
    'i': (0.0, [[(0.0, 0.0), (0.0, 1.0)], [(0.0, 1.38)]]),
    'M': (1.36, [[(0.0, 0.0), (0.0, 1.4), (0.68, 0.3), (1.36, 1.4), (1.36, 0.0)]]),
    'S': (0.98, [arc(0.48, 1.05, 0.46, 0.35, 28, 270, 24) + arc(0.48, 0.35, 0.5, 0.35, 90, -152, 24)]),
    ' ': (0.55, []),
}


def text(mask, string, x, baseline, xheight, weight, spacing=0.34):
    """Writes string from x at baseline; returns the x after the last letter."""
    for ch in string:
        advance, lines = GLYPHS[ch]
        for line in lines:
            mask.stroke([(x + px * xheight, baseline - py * xheight) for px, py in line], weight)
        x += (advance + spacing) * xheight + weight
    return x


def text_width(string, xheight, weight, spacing=0.34):
    w = sum((GLYPHS[ch][0] + spacing) * xheight + weight for ch in string)
    return w - spacing * xheight - weight


def cubic(p0, p1, p2, p3, steps=60):
    out = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        out.append(tuple(u * u * u * p0[k] + 3 * u * u * t * p1[k] + 3 * u * t * t * p2[k] + t * t * t * p3[k]
                         for k in range(2)))
    return out


def rounded_box(x0, y0, x1, y1, r):
    def inside(x, y):
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def triangle(a, b, c):
    def inside(x, y):
        def side(p, q):
            return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
        s1, s2, s3 = side(a, b), side(b, c), side(c, a)
        return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)
    return inside


PLAY_CENTRE = (46.0, 87.5)


def screen_colour(x, y):
    """The night-blue screen with a soft glow behind the play triangle."""
    t = (y - BAND) / (HEIGHT - 2 * BAND)
    base = lerp((40, 88, 186), (10, 20, 62), t)
    d2 = ((x - PLAY_CENTRE[0]) / 120.0) ** 2 + ((y - PLAY_CENTRE[1]) / 80.0) ** 2
    return lerp(base, (90, 165, 250), max(0.0, 1.0 - d2) * 0.5)


def render():
    # Layers, bottom to top, each a mask and a colour function of (x, y).
    layers = []

    stars = Mask()
    rng = random.Random(1001)
    for _ in range(46):
        sx, sy = rng.uniform(4, WIDTH - 4), rng.uniform(BAND + 4, HEIGHT - BAND - 4)
        stars.stroke([(sx, sy)], rng.choice((0.8, 1.0, 1.3)))
    layers.append((stars, lambda x, y: lerp(screen_colour(x, y), (200, 220, 255), 0.55)))

    # A vector path with its anchors and handles, as an editor shows one.
    path = Mask()
    handles = Mask()
    anchors = Mask()
    segments = [((96, 144), (134, 118), (184, 150), (222, 130)), ((222, 130), (248, 116), (268, 124), (288, 116))]
    for p0, p1, p2, p3 in segments:
        path.stroke(cubic(p0, p1, p2, p3), 1.4)
        handles.stroke([p0, p1], 0.7)
        handles.stroke([p2, p3], 0.7)
        for hx, hy in (p1, p2):
            handles.stroke([(hx, hy)], 2.6)
    for ax, ay in (segments[0][0], segments[0][3], segments[1][3]):
        anchors.fill(lambda x, y, ax=ax, ay=ay: max(abs(x - ax), abs(y - ay)) <= 2.2, (ax - 3, ay - 3, ax + 3, ay + 3))
    layers.append((handles, lambda x, y: lerp(screen_colour(x, y), PATH, 0.45)))
    layers.append((path, lambda x, y: lerp(screen_colour(x, y), PATH, 0.8)))
    layers.append((anchors, lambda x, y: lerp(screen_colour(x, y), (235, 245, 255), 0.9)))

    # The play triangle in a ring.
    cx, cy = PLAY_CENTRE
    ring = Mask()
    ring.stroke(arc(cx, cy, 27, 27, 0, 360, 90), 2.6)
    layers.append((ring, lambda x, y: lerp(screen_colour(x, y), GOLD, 0.85)))
    play = Mask()
    a, b, c = (cx - 9, cy - 16), (cx - 9, cy + 16), (cx + 18, cy)
    play.fill(triangle(a, b, c), (cx - 10, cy - 17, cx + 19, cy + 17))
    layers.append((play, lambda x, y: lerp(ORANGE, GOLD, (y - (cy - 16)) / 32.0)))

    # The name and what it does.
    left, baseline = 86, 88
    title_movie, title_saver = Mask(), Mask()
    x = text(title_movie, 'Movie', left, baseline, 14.5, 3.0)
    text(title_saver, 'Saver', x, baseline, 14.5, 3.0)
    layers.append((title_movie, lambda x, y: WHITE))
    layers.append((title_saver, lambda x, y: lerp(GOLD, ORANGE, (y - (baseline - 20)) / 20.0)))
    tagline = Mask()
    text(tagline, 'vector movie screen saver', left + 0.5, baseline + 20, 5.8, 1.2, 0.36)
    layers.append((tagline, lambda x, y: PALE))

    # Film strips over the top and bottom edges.
    strip = Mask()
    strip.fill(lambda x, y: y < BAND or y >= HEIGHT - BAND, (0, 0, WIDTH, HEIGHT))
    layers.append((strip, lambda x, y: STRIP))
    holes = Mask()
    pitch = 20
    for i in range(WIDTH // pitch + 1):
        hx = 5 + i * pitch
        for hy in ((BAND - 10) / 2, HEIGHT - BAND + (BAND - 10) / 2):
            holes.fill(rounded_box(hx, hy, hx + 10, hy + 10, 2.2), (hx - 1, hy - 1, hx + 11, hy + 11))
    layers.append((holes, lambda x, y: HOLE))

    pixels = []
    for py in range(HEIGHT):
        row = []
        for px in range(WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SS):
                y = py * SS + sy
                fy = (y + 0.5) / SS
                for sx in range(SS):
                    xs = px * SS + sx
                    fx = (xs + 0.5) / SS
                    colour = None
                    for mask, paint in reversed(layers):
                        if mask.bits[y * SW + xs]:
                            colour = paint(fx, fy)
                            break
                    if colour is None:
                        colour = screen_colour(fx, fy)
                    for k in range(3):
                        acc[k] += colour[k]
            n = SS * SS
            row.append(tuple(int(round(v / n)) for v in acc))
        pixels.append(row)
    return pixels


def bmp(pixels):
    stride = (WIDTH * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += bytes(stride - len(line))
        data += line
    info = struct.pack('<IiiHHIIiiII', 40, WIDTH, HEIGHT, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    header = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(data), 0, 0, 14 + len(info))
    return header + info + bytes(data)


def main(path):
    with open(path, 'wb') as f:
        f.write(bmp(render()))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'preview.bmp')
