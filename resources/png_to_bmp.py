#!/usr/bin/env python3
"""Converts one of the editor's PNG pictures into a Windows BMP for the resource
script: 24-bit colour, or 8-bit with the PNG's own palette when asked to keep it.
Runs on the build machine with nothing but the standard library.

usage: png_to_bmp.py <in.png> <out.bmp> [--palette]
"""
import struct
import sys
import zlib

SIGNATURE = b"\x89PNG\r\n\x1a\n"
CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}  # colour type -> samples per pixel


def read_chunks(data):
    """Yields (type, body) for each chunk of a PNG file."""
    if not data.startswith(SIGNATURE):
        raise ValueError("not a PNG file")
    pos = len(SIGNATURE)
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        yield kind, data[pos + 8:pos + 8 + length]
        pos += 12 + length


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def unfilter(raw, width, height, bpp):
    """The image's sample rows with the PNG filters undone."""
    stride = width * bpp
    rows, prior, pos = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[pos], bytearray(raw[pos + 1:pos + 1 + stride])
        pos += 1 + stride
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up, corner = prior[i], (prior[i - bpp] if i >= bpp else 0)
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                line[i] = (line[i] + paeth(left, up, corner)) & 0xFF
        rows.append(line)
        prior = line
    return rows


def decode(path):
    """(width, height, colour type, rows, palette) of an 8-bit, non-interlaced PNG."""
    with open(path, "rb") as f:
        chunks = list(read_chunks(f.read()))
    header = next(body for kind, body in chunks if kind == b"IHDR")
    width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", header)
    if depth != 8 or interlace != 0 or colour not in CHANNELS:
        raise ValueError(f"{path}: only 8-bit, non-interlaced PNG files are converted")
    raw = zlib.decompress(b"".join(body for kind, body in chunks if kind == b"IDAT"))
    palette = next((body for kind, body in chunks if kind == b"PLTE"), b"")
    rows = unfilter(raw, width, height, CHANNELS[colour])
    return width, height, colour, rows, palette


def on_white(value, alpha):
    """A sample laid on white, as the toolkit lays pictures with alpha."""
    return (value * alpha + 255 * (255 - alpha) + 127) // 255


def rgb_pixel(row, x, colour, palette):
    if colour == 3:
        return tuple(palette[row[x] * 3:row[x] * 3 + 3])
    samples = row[x * CHANNELS[colour]:(x + 1) * CHANNELS[colour]]
    if colour in (0, 4):
        value = samples[0] if colour == 0 else on_white(samples[0], samples[1])
        return value, value, value
    if colour == 6:
        return tuple(on_white(v, samples[3]) for v in samples[:3])
    return tuple(samples)


def bmp(width, height, bits, palette_entries, pixel_rows):
    """A BMP file: bottom-up rows padded to four bytes after the headers."""
    body = b"".join(row + b"\0" * (-len(row) % 4) for row in reversed(pixel_rows))
    colours = b"".join(bytes((b, g, r, 0)) for r, g, b in palette_entries)
    offset = 14 + 40 + len(colours)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(body), 2835, 2835,
                       len(palette_entries), 0)
    return struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset) + info + colours + body


def convert(source, target, keep_palette):
    width, height, colour, rows, palette = decode(source)
    if keep_palette:
        if colour != 3:
            raise ValueError(f"{source}: has no palette to keep")
        entries = [tuple(palette[i:i + 3]) for i in range(0, len(palette), 3)]
        data = bmp(width, height, 8, entries, [bytes(row) for row in rows])
    else:
        pixel_rows = [b"".join(bytes(reversed(rgb_pixel(row, x, colour, palette)))
                               for x in range(width)) for row in rows]
        data = bmp(width, height, 24, [], pixel_rows)
    with open(target, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4) or (len(sys.argv) == 4 and sys.argv[3] != "--palette"):
        sys.exit(__doc__.strip().splitlines()[-1])
    try:
        convert(sys.argv[1], sys.argv[2], len(sys.argv) == 4)
    except (OSError, ValueError) as error:
        sys.exit(f"png_to_bmp: {error}")
