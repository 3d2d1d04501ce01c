#!/usr/bin/env python3
"""Writes the image button's test pictures into this folder.

Each picture is made for one check: the button pictures for the golden
images, coordinate pictures whose colours give the position of every pixel,
and small pictures of each colour type for the disabled image. Run it again
only to change a picture; the tests read the files it wrote.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(name, width, height, bit_depth, color_type, rows, palette=None, trns=None):
    """rows: one bytes object per row, already packed for the bit depth."""
    raw = b"".join(b"\x00" + row for row in rows)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bit_depth, color_type, 0, 0, 0))
    if palette is not None:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in palette))
    if trns is not None:
        data += chunk(b"tRNS", bytes(trns))
    data += chunk(b"IDAT", zlib.compress(raw, 9))
    data += chunk(b"IEND", b"")
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(data)


def pack_bits(values, bit_depth):
    out = bytearray()
    per_byte = 8 // bit_depth
    for i in range(0, len(values), per_byte):
        byte = 0
        group = values[i:i + per_byte]
        for j, v in enumerate(group):
            byte |= v << (8 - bit_depth * (j + 1))
        out.append(byte)
    return bytes(out)


def disc(name, width, height, inner, outer, ring):
    """A round button face: a lit disc with a darker ring, soft at the edge."""
    cx, cy = (width - 1) / 2, (height - 1) / 2
    radius = min(width, height) / 2 - 1
    rows = []
    for y in range(height):
        row = bytearray()
        for x in range(width):
            d = math.hypot(x - cx, y - cy)
            alpha = max(0.0, min(1.0, radius - d + 0.5))
            light = max(0.0, 1.0 - math.hypot(x - cx * 0.7, y - cy * 0.6) / (radius * 1.6))
            base = ring if d > radius - 5 else outer
            color = [int(b + (i - b) * light) for b, i in zip(base, inner)]
            # A plug drawn across the middle: two prongs and a body.
            if abs(y - cy) < height * 0.12 and abs(x - cx) < width * 0.22:
                color = [250, 250, 250]
            if abs(x - cx) < width * 0.06 and cy - height * 0.3 < y < cy - height * 0.1:
                color = [250, 250, 250]
            row += bytes(color) + bytes([int(round(alpha * 255))])
        rows.append(bytes(row))
    write_png(name, width, height, 8, 6, rows)


def coordinates(name, width, height):
    """Opaque colour picture: red is 4 times the column, green 4 times the row."""
    rows = [b"".join(bytes([4 * x, 4 * y, 0x80]) for x in range(width)) for y in range(height)]
    write_png(name, width, height, 8, 2, rows)


def main():
    disc("normal.png", 64, 60, (120, 200, 255), (20, 90, 200), (10, 50, 130))
    disc("over.png", 72, 68, (255, 220, 120), (230, 130, 20), (150, 70, 10))
    disc("down.png", 64, 60, (90, 150, 200), (10, 60, 140), (5, 30, 90))
    coordinates("coords.png", 64, 60)
    coordinates("coords25.png", 25, 20)

    # Grey, 8 bits: values that show the copy is exact.
    write_png("grey.png", 4, 2, 8, 0, [bytes([0, 1, 127, 255]), bytes([2, 85, 200, 254])])
    # Grey, 2 bits: widened to 8 bits when decoded, as grey with alpha must be.
    write_png("grey2.png", 4, 1, 2, 0, [pack_bits([0, 1, 2, 3], 2)])
    # Grey with alpha: every alpha value that rounds differently under div 3.
    alphas = [0, 1, 2, 3, 4, 5, 128, 255]
    write_png("grey-alpha.png", 4, 2, 8, 4,
              [b"".join(bytes([40 * i, alphas[i]]) for i in range(4)),
               b"".join(bytes([40 * i + 1, alphas[4 + i]]) for i in range(4))])
    # Colour without alpha, 16 bits per sample.
    write_png("rgb16.png", 3, 2, 16, 2,
              [b"".join(struct.pack(">HHH", 0xFFFF * x // 2, 0x1234, 0xABCD) for x in range(3)) for _ in range(2)])
    # Colour with alpha.
    write_png("rgba.png", 4, 2, 8, 6,
              [b"".join(bytes([255, 10 * i, 0, alphas[i]]) for i in range(4)),
               b"".join(bytes([0, 10 * i, 255, alphas[4 + i]]) for i in range(4))])
    # Palette, 4 bits, five colours, a transparency table that hides index 0
    # and half-hides index 1.
    palette = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 0), (0, 0, 0)]
    write_png("palette4.png", 5, 2, 4, 3,
              [pack_bits([0, 1, 2, 3, 4, 0], 4), pack_bits([4, 3, 2, 1, 0, 0], 4)], palette=palette, trns=[0, 128])
    # Palette, 1 bit, no transparency table.
    write_png("palette1.png", 8, 1, 1, 3, [pack_bits([0, 1, 0, 1, 1, 0, 0, 1], 1)],
              palette=[(10, 20, 30), (200, 100, 50)])


if __name__ == "__main__":
    main()
