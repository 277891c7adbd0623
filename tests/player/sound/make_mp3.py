#!/usr/bin/env python3
"""Writes the MP3 fixtures of the sound tests: sines encoded by lame.

usage: make_mp3.py OUTDIR
Each fixture is half a second at amplitude 0.5: 440 Hz (660 Hz on the right
of the stereo one), the same signal as soundtest::Sine.
"""
import math
import os
import struct
import subprocess
import sys

FIXTURES = [
    # name, rate, channels, kbit/s
    ("mono44", 44100, 1, 64),
    ("stereo44", 44100, 2, 128),
    ("mono22", 22050, 1, 32),
    ("mono11", 11025, 1, 16),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, rate, channels, kbps in FIXTURES:
        frames = rate // 2
        data = bytearray()
        for i in range(frames):
            for c in range(channels):
                f = 660.0 if c == 1 else 440.0
                data += struct.pack("<h", int(round(32767 * 0.5 * math.sin(2 * math.pi * f * i / rate))))
        raw = os.path.join(out, name + ".raw")
        with open(raw, "wb") as fh:
            fh.write(data)
        subprocess.run(
            ["lame", "--quiet", "-r", "-s", "%g" % (rate / 1000.0), "--bitwidth", "16", "--signed",
             "--little-endian", "-m", "m" if channels == 1 else "s", "-b", str(kbps), "--cbr", "-t",
             raw, os.path.join(out, name + ".mp3")],
            check=True, stderr=subprocess.DEVNULL)
        os.remove(raw)


if __name__ == "__main__":
    main()
