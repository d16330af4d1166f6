#!/usr/bin/env python3
"""Writes the small PNG pictures the toolkit tests load as resources (run once; the
results are kept in this folder). Only the standard library is needed."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(name, width, height, pixel):
    def row(y):
        raw = b"".join(bytes(pixel(x, y)) for x in range(width))
        # Filter 1 (difference to the pixel on the left) keeps gradients small.
        return b"\1" + bytes((raw[i] - (raw[i - 3] if i >= 3 else 0)) % 256
                              for i in range(len(raw)))

    rows = b"".join(row(y) for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# 1001: a 16 x 144 strip; pixel (x, y) is (16 x, y, 200), so every row is distinct.
write_png("1001.png", 16, 144, lambda x, y: (16 * x, y, 200))


# 1002: 8 x 8 blue with white corners, (255, 255, 254) at (3, 3), (254, 255, 255) at (4, 4).
def marked(x, y):
    if x in (0, 7) and y in (0, 7):
        return (255, 255, 255)
    if (x, y) == (3, 3):
        return (255, 255, 254)
    if (x, y) == (4, 4):
        return (254, 255, 255)
    return (0, 0, 255)


write_png("1002.png", 8, 8, marked)

# 1003: not a PNG at all; it must load as a 0 x 0 bitmap.
with open(os.path.join(HERE, "1003.png"), "wb") as f:
    f.write(b"this is not a picture\n")

# 1010: a 384 x 530 background, as large as the editor's artwork: (x % 256, y % 256, 64).
write_png("1010.png", 384, 530, lambda x, y: (x % 256, y % 256, 64))
