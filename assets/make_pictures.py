#!/usr/bin/env python3
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
"""Draws Wendrel's pictures: the camera icon and the lit and unlit lamps.

The camera is drawn by hand below as 32 x 32 characters, one per pixel, in the
standard 16-colour palette (a space is transparent) and written as XPM, with
PNG copies in the hicolor sizes for the desktop and an ICO for Windows. The lamps are computed: a round
lens with a radial shade and a highlight, set in a mottled olive-brown bezel,
written as 20 x 20 BMPs with 8 bits per pixel and a 256-colour palette.

Run it from anywhere; it rewrites the files beside it.
"""
import math
import os
import random
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# The standard 16-colour palette, by the letters the drawing uses.
PALETTE = {
    '.': (0x00, 0x00, 0x00),  # black
    'm': (0x80, 0x00, 0x00),  # dark red
    'o': (0x80, 0x80, 0x00),  # olive
    'n': (0x00, 0x00, 0x80),  # navy
    'g': (0x80, 0x80, 0x80),  # grey
    'l': (0xC0, 0xC0, 0xC0),  # light grey
    'r': (0xFF, 0x00, 0x00),  # red
    'y': (0xFF, 0xFF, 0x00),  # yellow
    'b': (0x00, 0x00, 0xFF),  # blue
    'c': (0x00, 0xFF, 0xFF),  # cyan (lens glint)
    'w': (0xFF, 0xFF, 0xFF),  # white
}

# A grey video camera seen from the side, lens to the right, a red lamp on its
# body, held from below by a yellow hand with a white cuff and a blue sleeve.
CAMERA = [
    "                                ",
    "                                ",
    "     ......                     ",
    "     .llll.                     ",
    "    ..gggg..                    ",
    "   .llllllllllllllll.           ",
    "  .lwwwwwwwwwwwwwwwwl.          ",
    "  .lwrrlllllllllllllg.  .....   ",
    "  .lwrmlllllllllllllg. .lllll.  ",
    "  .lwllllllllllllllllg..l...ll. ",
    "  .lwlllllgggggglllllgg.l.nc.l. ",
    "  .lwlllllg....gllllllgll.nn.l. ",
    "  .lwlllllgggggglllllgg.l...ll. ",
    "  .lwllllllllllllllllg..lllll.  ",
    "  .lgggggggggggggggggg. .....   ",
    "  .ggggggggggggggggggg.         ",
    "   ....yyyyyy.........          ",
    "      .yyyyyyy.                 ",
    "     .yyoyyoyyy.                ",
    "     .yyoyyoyyy.                ",
    "     .yyyyyyyyo.                ",
    "      .yyyyyyo.                 ",
    "      .yyyyyyo.                 ",
    "      .wwwwwww.                 ",
    "      .wwwwwww.                 ",
    "      .bbbbbbb.                 ",
    "      .bbbbbbn.                 ",
    "      .bbbbbbn.                 ",
    "      .bbbbbbn.                 ",
    "      .bbbbbbn.                 ",
    "      .bbbbbbn.                 ",
    "      .........                 ",
]


def write_xpm(path, rows):
    used = sorted({ch for row in rows for ch in row if ch != ' '})
    # REUSE-IgnoreStart (the picture's own header, not this file's)
    lines = ['/* XPM */', '/* SPDX-FileCopyrightText: 2026 The Wendrel developers */',
             '/* SPDX-License-Identifier: MIT */', 'static const char *camera[] = {',
             # REUSE-IgnoreEnd
             f'"{len(rows[0])} {len(rows)} {len(used) + 1} 1",', '"  c None",']
    for ch in used:
        lines.append('"%s c #%02X%02X%02X",' % ((ch,) + PALETTE[ch]))
    lines += [f'"{row}",' for row in rows]
    lines[-1] = lines[-1].rstrip(',')
    lines.append('};')
    with open(path, 'w') as f:
        f.write('\n'.join(lines) + '\n')


def png_chunk(kind, data):
    body = kind + data
    return struct.pack('>I', len(data)) + body + struct.pack('>I', zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, rows, size):
    n = len(rows)
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            ch = rows[y * n // size][x * n // size]  # nearest neighbour
            raw += bytes(PALETTE[ch] + (255,)) if ch != ' ' else b'\0\0\0\0'
    data = (b'\x89PNG\r\n\x1a\n'
            + png_chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + png_chunk(b'IDAT', zlib.compress(bytes(raw), 9))
            + png_chunk(b'IEND', b''))
    with open(path, 'wb') as f:
        f.write(data)


def write_ico(path, png_path):
    """An icon file holding one 32 x 32 PNG image, for the Windows program file."""
    with open(png_path, 'rb') as f:
        png = f.read()
    header = struct.pack('<HHH', 0, 1, 1)
    entry = struct.pack('<BBBBHHII', 32, 32, 0, 0, 1, 32, len(png), 6 + 16)
    with open(path, 'wb') as f:
        f.write(header + entry + png)


def lamp_pixels(lit):
    """20 x 20 RGB triples: a round lens in a mottled olive-brown bezel."""
    rng = random.Random(20)  # same mottle for both lamps and every run
    pixels = []
    for y in range(20):
        row = []
        for x in range(20):
            dx, dy = x - 9.5, y - 9.5
            r = math.hypot(dx, dy)
            if r > 7.2:
                shade = rng.randint(-14, 14)
                row.append((0x6B + shade, 0x5A + shade, 0x22 + shade // 2))
                continue
            if r > 6.3:  # dark rim between bezel and lens
                row.append((0x3A, 0x30, 0x12))
                continue
            # Light falls from the upper left: t runs 0 there to 1 at the lower right.
            t = min(1.0, max(0.0, (dx + dy) / 12.0 + 0.5))
            hx, hy = x - 7, y - 7
            highlight = math.hypot(hx, hy)
            if lit:
                if highlight < 1.6:
                    row.append((0xFF, 0xFF, 0xFF))
                elif t < 0.55:
                    k = t / 0.55
                    row.append((0xFF, int(0x60 + 0x40 * k), int(0xE0 - 0x40 * k)))
                else:
                    k = (t - 0.55) / 0.45
                    row.append((0xFF, int(0xA0 + 0x5A * k), int(0xA0 - 0x40 * k)))
            else:
                if highlight < 1.2:
                    row.append((0xD8, 0xC8, 0xB0))
                else:
                    row.append((int(0x90 * (1 - t)), 0x08 if t < 0.5 else 0, 0x08 if t < 0.3 else 0))
        pixels.append(row)
    return pixels


def write_bmp8(path, pixels):
    colours = sorted({p for row in pixels for p in row})
    assert len(colours) <= 256
    index = {c: i for i, c in enumerate(colours)}
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in colours)
    palette += b'\0' * (1024 - len(palette))
    width, height = len(pixels[0]), len(pixels)
    stride = (width + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):  # BMP rows run bottom-up
        line = bytes(index[p] for p in row)
        body += line + b'\0' * (stride - width)
    offset = 14 + 40 + 1024
    header = struct.pack('<2sIHHI', b'BM', offset + len(body), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, len(body), 3780, 3780, 256, 0)
    with open(path, 'wb') as f:
        f.write(header + info + palette + body)


def main():
    assert len(CAMERA) == 32 and all(len(row) == 32 for row in CAMERA)
    write_xpm(os.path.join(HERE, 'camera.xpm'), CAMERA)
    for size in (32, 48, 64, 128):
        write_png(os.path.join(HERE, f'camera-{size}.png'), CAMERA, size)
    write_ico(os.path.join(HERE, 'camera.ico'), os.path.join(HERE, 'camera-32.png'))
    write_bmp8(os.path.join(HERE, 'lighton.bmp'), lamp_pixels(True))
    write_bmp8(os.path.join(HERE, 'lightoff.bmp'), lamp_pixels(False))


if __name__ == '__main__':
    main()
