#!/usr/bin/env python3
"""Writes the handle pictures the control tests load as resources (run once; the
results are kept in this folder). Only the standard library is needed."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def write_png(name, width, height, pixel):
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width))
                    for y in range(height))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


# 2001: a 20 x 20 fader handle, (200, 0, 0) with a white (transparent) top-left pixel.
write_png("2001.png", 20, 20, lambda x, y: (255, 255, 255) if (x, y) == (0, 0) else (200, 0, 0))

# 2002: a 10 x 4 knob handle, (0, 200, 0) with a white (transparent) top-left pixel.
write_png("2002.png", 10, 4, lambda x, y: (255, 255, 255) if (x, y) == (0, 0) else (0, 200, 0))
