#!/usr/bin/env python3
"""Draws the application icon and writes it as a Windows .ico file.

The picture: a blue rounded tile holding a white clipboard sheet with a dark
clip at its top and three text lines. Every size is rendered on its own from
the same shapes (4x4 supersampling), so small sizes stay sharp. Sizes below
256 are stored as 32-bit bitmaps with an AND mask, 256 as PNG, as Windows
expects.

Usage: make_icon.py [output.ico]   (default: resources/quillet.ico)
"""
import os
import struct
import sys
import zlib

SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
SAMPLES = 4

# Colours as (r, g, b).
TILE = (0, 102, 204)        # the program's accent (COLORREF 0xCC6600)
SHEET = (255, 255, 255)
CLIP = (20, 20, 20)
LINES = (0, 102, 204)


def in_round_rect(x, y, left, top, right, bottom, radius):
    """True when (x, y) lies inside the rounded rectangle (unit coordinates)."""
    if x < left or x > right or y < top or y > bottom:
        return False
    cx = min(max(x, left + radius), right - radius)
    cy = min(max(y, top + radius), bottom - radius)
    dx, dy = x - cx, y - cy
    return dx * dx + dy * dy <= radius * radius


def shapes(size):
    """The layers, back to front: (colour, rounded rectangle in unit space)."""
    # Small sizes get fewer, thicker lines so that they remain readable.
    layers = [
        (TILE, (0.02, 0.02, 0.98, 0.98, 0.20)),
        (SHEET, (0.22, 0.17, 0.78, 0.88, 0.06)),
        (CLIP, (0.36, 0.10, 0.64, 0.25, 0.04)),
    ]
    if size <= 20:
        rows = [(0.375, 0.5), (0.625, 0.75)]
    else:
        rows = [(0.37, 0.43), (0.52, 0.58), (0.67, 0.73)]
    for i, (top, bottom) in enumerate(rows):
        right = 0.68 if i < len(rows) - 1 else 0.56
        layers.append((LINES, (0.32, top, right, bottom, 0.0)))
    return layers


def render(size):
    """Rows of (r, g, b, a) tuples, top row first."""
    layers = shapes(size)
    pixels = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = (px + (sx + 0.5) / SAMPLES) / size
                    y = (py + (sy + 0.5) / SAMPLES) / size
                    colour = None
                    for c, rect in layers:
                        if in_round_rect(x, y, *rect):
                            colour = c
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1.0
            n = SAMPLES * SAMPLES
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                # Colour averaged over the covered samples, alpha = coverage.
                row.append((round(acc[0] / acc[3]), round(acc[1] / acc[3]), round(acc[2] / acc[3]),
                            round(255 * acc[3] / n)))
        pixels.append(row)
    return pixels


def bmp_entry(size, pixels):
    """A 32-bit icon bitmap: header with double height, BGRA rows bottom-up, AND mask."""
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    colour = bytearray()
    for row in reversed(pixels):
        for r, g, b, a in row:
            colour += bytes((b, g, r, a))
    stride = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        line = bytearray(stride)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:  # transparent: the screen shows through
                line[x // 8] |= 0x80 >> (x % 8)
        mask += line
    return header + bytes(colour) + bytes(mask)


def png_entry(size, pixels):
    def chunk(kind, data):
        body = kind + data
        return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)

    raw = bytearray()
    for row in pixels:
        raw.append(0)  # no filter
        for r, g, b, a in row:
            raw += bytes((r, g, b, a))
    ihdr = struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', zlib.compress(bytes(raw), 9)) +
            chunk(b'IEND', b''))


def build_ico():
    images = []
    for size in SIZES:
        pixels = render(size)
        images.append((size, png_entry(size, pixels) if size >= 256 else bmp_entry(size, pixels)))
    out = bytearray(struct.pack('<HHH', 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        dim = 0 if size >= 256 else size
        out += struct.pack('<BBBBHHII', dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    target = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, '..', 'resources', 'quillet.ico')
    data = build_ico()
    with open(target, 'wb') as f:
        f.write(data)
    print('wrote %s (%d bytes, sizes %s)' % (os.path.normpath(target), len(data), SIZES))


if __name__ == '__main__':
    main()
