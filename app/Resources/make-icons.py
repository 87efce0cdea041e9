#!/usr/bin/env python3
"""Draws the main screen's two button pictures, flagIcon.png and menuIcon.png:
brown shapes on transparent, smoothed by sampling each pixel 4 x 4 times.
Run it again only to change the pictures; the PNG files are kept beside it."""
import math
import os
import struct
import zlib

BROWN = (153, 102, 51)
HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(path, width, height, coverage):
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            hits = sum(coverage(x + (i + 0.5) / 4, y + (j + 0.5) / 4)
                       for i in range(4) for j in range(4))
            rows += bytes(BROWN) + bytes((round(255 * hits / 16),))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        out.write(chunk(b"IEND", b""))


def flag(x, y):
    # A pole with a round knob and a pennant that waves.
    if 9 <= x <= 13 and 10 <= y <= 68:
        return True
    if (x - 11) ** 2 + (y - 8) ** 2 <= 9:
        return True
    wave = 3 * math.sin((x - 13) / 31 * 2 * math.pi)
    top = 12 + wave
    bottom = 38 + wave - (x - 13) * 0.18
    return 13 <= x <= 44 and top <= y <= bottom


def menu(x, y):
    # Three rounded bars.
    for top in (16, 30, 44):
        cy = top + 3
        if 14 <= x <= 50 and top <= y <= top + 6:
            return True
        for cx in (14, 50):
            if (x - cx) ** 2 + (y - cy) ** 2 <= 9:
                return True
    return False


write_png(os.path.join(HERE, "flagIcon.png"), 48, 72, flag)
write_png(os.path.join(HERE, "menuIcon.png"), 64, 64, menu)
