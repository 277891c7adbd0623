#!/usr/bin/env python3
"""Draws the module's icon (src/resources/moviesaver.ico): a night-blue screen
with a film strip above and below and a warm play triangle, at 16, 32, 48
and 64 pixels, anti-aliased by supersampling. Run once; the .ico is committed."""
import struct
import sys

SS = 4  # supersampling per axis


def lerp(a, b, t):
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(len(a)))


def inside_rounded(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    s1, s2, s3 = side(a, b), side(b, c), side(c, a)
    return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)


def sample(u, v):
    """Colour (r, g, b, a) at unit coordinates u, v (0..1, y down)."""
    if not inside_rounded(u, v, 0.03, 0.03, 0.97, 0.97, 0.14):
        return (0, 0, 0, 0)
    # Film strip bands with sprocket holes.
    if v < 0.19 or v > 0.81:
        band_v = v if v < 0.5 else 1.0 - v
        hole = 0.07 < band_v < 0.15 and ((u * 6.0) % 1.0) > 0.25 and ((u * 6.0) % 1.0) < 0.75
        if hole and 0.08 < u < 0.92:
            return (235, 230, 215, 255)
        return (28, 24, 32, 255)
    # The screen: a night-blue gradient with a soft glow.
    t = (v - 0.19) / 0.62
    base = lerp((40, 90, 190), (12, 24, 70), t)
    glow = max(0.0, 1.0 - ((u - 0.42) ** 2 + (v - 0.45) ** 2) * 9.0)
    base = lerp(base, (90, 170, 255), glow * 0.45)
    # The play triangle, orange to gold.
    a, b, c = (0.38, 0.32), (0.38, 0.68), (0.70, 0.50)
    if inside_triangle(u, v, a, b, c):
        return lerp((255, 150, 40), (255, 215, 80), (v - 0.32) / 0.36) + (255,)
    return base + (255,)


def render(size):
    pixels = []
    for y in range(size):
        row = []
        for x in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = sample((x + (sx + 0.5) / SS) / size, (y + (sy + 0.5) / SS) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if alpha == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((int(acc[0] / acc[3]), int(acc[1] / acc[3]), int(acc[2] / acc[3]), int(round(alpha))))
        pixels.append(row)
    return pixels


def dib(size):
    """A 32-bit icon image: header with doubled height, BGRA rows bottom-up, AND mask."""
    pixels = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = b''.join(bytes((p[2], p[1], p[0], p[3])) for row in reversed(pixels) for p in row)
    mask_stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        bits = bytearray(mask_stride)
        for x, p in enumerate(row):
            if p[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return header + colour + bytes(mask)


def main(path):
    sizes = [16, 32, 48, 64]
    images = [dib(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        out += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    out += b''.join(images)
    with open(path, 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'moviesaver.ico')
