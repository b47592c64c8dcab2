#!/usr/bin/env python3
"""Writes the bitmap font fixtures into a directory.

A glyph strip of 30 x 8 pels (a 24-bit BMP written by Pillow) whose pel at
(x, y) is R = 8x + 5, G = 20y + 7, B = 100, except (0, 0), magenta: the top-
left pel of the default glyph, which becomes the font's key. Glyphs (x,
width, height): '?' the default (0, 4, 8), 'A' (4, 5, 8), 'B' (9, 6, 7), 'C'
(15, 3, 8), 'D' (26, 4, 8) touching the last column; every other code has the
default glyph's x (missing). Spacing 1, space width 3, line height 9.

Files: font.fda and font.bmp; badmagic, baddefault (default glyph 300),
nopicture (no glyph picture), badpicture (a picture the loader refuses), tga
(the strip as a TGA), badtga (a TGA the decoder refuses), each NAME.fda beside
its picture.
"""
import os
import struct
import sys

from PIL import Image

MAGIC = 0x01746E66
GLYPHS = {ord('?'): (0, 4, 8), ord('A'): (4, 5, 8), ord('B'): (9, 6, 7), ord('C'): (15, 3, 8),
          ord('D'): (26, 4, 8)}


def strip_pel(x, y):
    if x == 0 and y == 0:
        return (255, 0, 255)
    return (8 * x + 5, 20 * y + 7, 100)


def fda(magic=MAGIC, default=ord('?'), spacing=1, space=3, line=9):
    out = struct.pack('<I6i', magic, default, spacing, space, line, 0, 0x12345678)
    for c in range(256):
        x, w, h = GLYPHS.get(c, (0, 4, 8))
        out += struct.pack('<4i', x, 0, w - 1, h)
    out += struct.pack('<i', 0x12345678)
    assert len(out) == 4128
    return out


def write(path, data):
    with open(path, 'wb') as f:
        f.write(data)


def main():
    out = sys.argv[1]
    strip = Image.new('RGB', (30, 8))
    strip.putdata([strip_pel(x, y) for y in range(8) for x in range(30)])
    for name in ('font', 'badmagic', 'baddefault'):
        strip.save(os.path.join(out, name + '.bmp'))
    write(os.path.join(out, 'font.fda'), fda())
    write(os.path.join(out, 'badmagic.fda'), fda(magic=0x02746E66))
    write(os.path.join(out, 'baddefault.fda'), fda(default=300))
    write(os.path.join(out, 'nopicture.fda'), fda())
    write(os.path.join(out, 'badpicture.fda'), fda())
    write(os.path.join(out, 'badpicture.bmp'), b'BM' + bytes(60))
    write(os.path.join(out, 'tga.fda'), fda())
    strip.save(os.path.join(out, 'tga.tga'))
    write(os.path.join(out, 'badtga.fda'), fda())
    write(os.path.join(out, 'badtga.tga'), bytes(10))


if __name__ == '__main__':
    main()
