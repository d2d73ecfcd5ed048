#!/usr/bin/env python3
"""Draws Kestrane's icon: a falcon-wing chevron over a dusk-orange disc.

Writes a .ico holding 48x48, 32x32 and 16x16 images, each 24-bit colour with a 1-bit
transparency mask. Usage: make-icon.py OUT.ico
"""
import math
import struct
import sys

SAMPLES = 4  # supersampling per axis, for smooth edges


def seg_dist(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def shade(u, v):
    """Colour and coverage at unit coordinates (0..1, y down)."""
    r = math.hypot(u - 0.5, v - 0.5)
    if r > 0.48:
        return None
    # Disc: warm gradient from top-left to bottom-right.
    g = (u + v) / 2
    col = (int(245 - 60 * g), int(150 - 70 * g), int(40 + 10 * g))
    if r > 0.44:
        return (120, 60, 20)
    # A wing as three strokes of a stylised K: spine and two pinions.
    strokes = [((0.34, 0.22), (0.34, 0.78), 0.065),
               ((0.36, 0.52), (0.70, 0.24), 0.06),
               ((0.44, 0.46), (0.70, 0.78), 0.06)]
    for (a, b, w) in strokes:
        if seg_dist(u, v, *a, *b) < w:
            return (250, 246, 236)
    # The eye of the bird, a dark dot.
    if math.hypot(u - 0.62, v - 0.50) < 0.045:
        return (40, 30, 30)
    return col


def image(size):
    rows, mask = [], []
    for y in range(size):
        row, mrow = [], []
        for x in range(size):
            acc, hits = [0, 0, 0], 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = shade((x + (sx + 0.5) / SAMPLES) / size, (y + (sy + 0.5) / SAMPLES) / size)
                    if c:
                        hits += 1
                        for i in range(3):
                            acc[i] += c[i]
            if hits * 2 >= SAMPLES * SAMPLES:
                row.append(tuple(a // hits for a in acc))
                mrow.append(0)
            else:
                row.append((0, 0, 0))
                mrow.append(1)
        rows.append(row)
        mask.append(mrow)
    return rows, mask


def bmp_entry(size):
    rows, mask = image(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 24, 0, 0, 0, 0, 0, 0)
    pixels = b''
    for row in reversed(rows):
        line = b''.join(struct.pack('BBB', b, g, r) for (r, g, b) in row)
        pixels += line + b'\0' * ((4 - len(line) % 4) % 4)
    andmask = b''
    for mrow in reversed(mask):
        bits = bytearray((size + 31) // 32 * 4)
        for x, m in enumerate(mrow):
            if m:
                bits[x // 8] |= 0x80 >> (x % 8)
        andmask += bytes(bits)
    return header + pixels + andmask


def main(out):
    sizes = [48, 32, 16]
    blobs = [bmp_entry(s) for s in sizes]
    data = struct.pack('<HHH', 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, blob in zip(sizes, blobs):
        data += struct.pack('<BBBBHHII', s, s, 0, 0, 1, 24, len(blob), offset)
        offset += len(blob)
    with open(out, 'wb') as f:
        f.write(data + b''.join(blobs))


if __name__ == '__main__':
    main(sys.argv[1])
