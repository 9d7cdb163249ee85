#!/usr/bin/env python3
"""Draws the player's icon: a beamed pair of notes on a rounded badge in the
main window's colours (pink rim, blue face). Writes
 - assets/player/plovi.ico, the window icon: two images, 32x32 and 16x16,
   16 colours each (4 bits per pixel, with a transparency mask);
 - assets/player/hicolor/<n>x<n>/apps/plovi.png for n in 16, 32, 48, 128, 256,
   the desktop icon in the hicolor theme's layout: true colour with an alpha
   channel, edges smoothed.
Standard library only; the output is committed, run again after changing the
drawing."""

import math
import os
import struct
import zlib

# 16-colour palette (R, G, B). Index 0 is also what transparent pixels hold.
PALETTE = [
    (0, 0, 0), (255, 128, 255), (255, 192, 255), (255, 192, 192),
    (0, 0, 255), (0, 0, 160), (0, 255, 255), (255, 255, 255),
    (255, 128, 0), (255, 224, 128), (192, 64, 192), (128, 128, 255),
    (64, 64, 200), (200, 240, 255), (160, 96, 224), (255, 160, 224),
]

SUPERSAMPLE = 6

# Sizes of the desktop icon, in pixels; dist/CMakeLists.txt installs each.
HICOLOR_SIZES = [16, 32, 48, 128, 256]


def rounded_box(x, y, cx, cy, half, radius):
    """Signed distance to a rounded square centred at (cx, cy)."""
    qx = abs(x - cx) - (half - radius)
    qy = abs(y - cy) - (half - radius)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - radius


def ellipse(x, y, cx, cy, rx, ry, tilt):
    c, s = math.cos(tilt), math.sin(tilt)
    dx, dy = x - cx, y - cy
    u = (dx * c + dy * s) / rx
    v = (-dx * s + dy * c) / ry
    return u * u + v * v <= 1.0


def segment(x, y, x0, y0, x1, y1, width):
    vx, vy = x1 - x0, y1 - y0
    t = ((x - x0) * vx + (y - y0) * vy) / (vx * vx + vy * vy)
    t = min(max(t, 0.0), 1.0)
    return math.hypot(x - (x0 + t * vx), y - (y0 + t * vy)) <= width / 2.0


def colour_at(x, y):
    """Colour of a point in unit coordinates (0..1), or None outside the badge."""
    d = rounded_box(x, y, 0.5, 0.5, 0.49, 0.2)
    if d > 0:
        return None
    # Two note heads, two stems and a double beam: a light note on the face.
    heads = ellipse(x, y, 0.33, 0.72, 0.105, 0.075, -0.45) or \
        ellipse(x, y, 0.70, 0.64, 0.105, 0.075, -0.45)
    stems = segment(x, y, 0.425, 0.70, 0.425, 0.28, 0.06) or \
        segment(x, y, 0.795, 0.62, 0.795, 0.20, 0.06)
    beam = segment(x, y, 0.425, 0.30, 0.795, 0.22, 0.1) or \
        segment(x, y, 0.425, 0.42, 0.795, 0.34, 0.06)
    if heads or stems or beam:
        # A warm shine along the upper left of the note.
        return (255, 255, 255) if x + y < 0.95 else (200, 240, 255)
    if d > -0.09:
        # Rim: lighter towards the top left.
        return (255, 192, 255) if x + y < 0.8 else (255, 128, 255)
    if d > -0.11:
        return (192, 64, 192)
    # Face: blue, a little lighter at the top.
    return (64, 64, 200) if y < 0.35 else (0, 0, 255)


def nearest(rgb):
    return min(range(len(PALETTE)),
               key=lambda i: sum((a - b) ** 2 for a, b in zip(PALETTE[i], rgb)))


def render(size):
    """Rows top to bottom of (palette index, opaque)."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            samples = []
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        samples.append(c)
            if len(samples) * 2 < n * n:
                row.append((0, False))
                continue
            avg = tuple(sum(c[k] for c in samples) / len(samples) for k in range(3))
            row.append((nearest(avg), True))
        rows.append(row)
    return rows


def bmp_image(size):
    rows = render(size)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    palette = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor_stride = ((size * 4 + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray(xor_stride)
        bits = bytearray(and_stride)
        for x, (index, opaque) in enumerate(row):
            line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            if not opaque:
                bits[x // 8] |= 0x80 >> (x % 8)
        xor += line
        mask += bits
    return header + palette + bytes(xor) + bytes(mask)


def render_rgba(size):
    """Rows top to bottom of (R, G, B, A): the average colour of the samples
    inside the badge, and the share of samples inside as the opacity."""
    rows = []
    n = SUPERSAMPLE
    for py in range(size):
        row = []
        for px in range(size):
            samples = []
            for sy in range(n):
                for sx in range(n):
                    c = colour_at((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    if c is not None:
                        samples.append(c)
            if not samples:
                row.append((0, 0, 0, 0))
                continue
            avg = [round(sum(c[k] for c in samples) / len(samples)) for k in range(3)]
            row.append((*avg, round(255 * len(samples) / (n * n))))
        rows.append(row)
    return rows


def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + \
        struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)


def write_png(path, size):
    """8-bit RGBA, non-interlaced, no filtering."""
    raw = b''.join(b'\x00' + bytes(v for pixel in row for v in pixel)
                   for row in render_rgba(size))
    header = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    data = b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) + \
        png_chunk(b'IDAT', zlib.compress(raw, 9)) + png_chunk(b'IEND', b'')
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, 'wb') as f:
        f.write(data)


def write_ico(path, sizes):
    images = [bmp_image(s) for s in sizes]
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack('<BBBBHHII', size, size, 16, 0, 1, 4, len(data), offset)
        offset += len(data)
    with open(path, 'wb') as f:
        f.write(out + b''.join(images))


if __name__ == '__main__':
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = os.path.join(here, 'player')
    os.makedirs(out_dir, exist_ok=True)
    write_ico(os.path.join(out_dir, 'plovi.ico'), [32, 16])
    for size in HICOLOR_SIZES:
        write_png(os.path.join(out_dir, 'hicolor', '%dx%d' % (size, size), 'apps', 'plovi.png'),
                  size)
