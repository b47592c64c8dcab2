#!/usr/bin/env python3
"""Writes ".imgs" image set fixtures into a directory, field by field.

An rw file: a 24-byte header ("rw2", flags 0 plain or 1 packed, packer 1
zlib, reserved, stored size, unpacked size), then the data. Image set data:
[version 0xFFFF0001,] image count, palette count, palettes (count, then R, G,
B per entry), 16-bit palette indices when there are palettes, 32-bit data
offsets, class names (32-bit length and bytes, ended by -1), then per version
the headers and the data at the offsets (1), or at each offset a class index
and the whole image (0).

Images are memory images ("imgRowCTy"): header width, height, key flag 0,
pel format, palette tag (0 none, 2 shared), bounds x, y, w, h; data the pels.
"""
import os
import struct
import sys
import zlib

V1 = 0xFFFF0001
P8, X8R8G8B8 = 9, 2
PALETTES = [[(10, 20, 30), (40, 50, 60)], [(1, 2, 3), (4, 5, 6), (7, 8, 9)]]


def i32(*values):
    return b''.join(struct.pack('<i' if v < 0 else '<I', v) for v in values)


def rw_file(data, packed=False):
    stored = zlib.compress(data) if packed else data
    return i32(0x00327772, 1 if packed else 0, 1, 0, len(stored), len(data)) + stored


def palette(entries):
    return i32(len(entries)) + b''.join(bytes(e) for e in entries)


class Img:
    def __init__(self, w, h, fmt, pels, shared=False, cls=0):
        self.w, self.h, self.fmt, self.pels, self.shared, self.cls = w, h, fmt, bytes(pels), shared, cls

    def header(self):
        return i32(self.w, self.h, 0, self.fmt, 2 if self.shared else 0, 0, 0, self.w, self.h)


def names_block(names):
    return b''.join(i32(len(n)) + n.encode() for n in names) + i32(-1)


def image_set(images, palettes=(), indices=None, names=('imgRowCTy',), version=V1, count=None,
              offsets_shift=0):
    """The data of a set; count and offsets_shift break it on purpose."""
    n = len(images) if count is None else count
    head = (i32(version, n) if version is not None else i32(n)) + i32(len(palettes))
    head += b''.join(palette(p) for p in palettes)
    if palettes:
        head += b''.join(struct.pack('<H', i) for i in indices)
    offsets_at = len(head)
    head += bytes(4 * len(images))
    head += names_block(names)
    if version == V1:
        head += b''.join(i32(img.cls) + img.header() for img in images)
    body, offsets = b'', []
    for img in images:
        offsets.append(len(head) + len(body) + offsets_shift)
        body += img.pels if version == V1 else i32(img.cls) + img.header() + img.pels
    head = head[:offsets_at] + b''.join(i32(o) for o in offsets) + head[offsets_at + 4 * len(images):]
    return head + body


def main():
    out = sys.argv[1]

    def write(name, data, packed=False):
        with open(os.path.join(out, name + '.imgs'), 'wb') as f:
            f.write(rw_file(data, packed))

    three = [Img(2, 2, P8, [0, 1, 2, 0], shared=True),
             Img(2, 1, X8R8G8B8, [1, 2, 3, 0, 4, 5, 6, 0]),
             Img(3, 1, P8, [1, 0, 1], shared=True)]
    write('v1', image_set(three, PALETTES, [1, 0xFFFF, 0]), packed=True)
    two = [Img(1, 2, X8R8G8B8, [9, 8, 7, 0, 6, 5, 4, 0]), Img(2, 1, X8R8G8B8, [1, 1, 1, 0, 2, 2, 2, 0])]
    write('v0', image_set(two, version=None))
    write('nopalettes', image_set([three[1]]))

    # Broken on purpose.
    write('count_past_data', image_set(three, PALETTES, [1, 0xFFFF, 0], count=1000000))
    write('offset_past_data', image_set(three, PALETTES, [1, 0xFFFF, 0], offsets_shift=1000))
    write('palette_count_past_data', i32(V1, 1, 1000) + bytes(16))
    write('palette_index_past_count', image_set(three, PALETTES, [2, 0xFFFF, 0]))
    write('names_51', image_set(three, PALETTES, [1, 0xFFFF, 0], names=['imgRowCTy'] * 51))
    bad = [Img(2, 1, X8R8G8B8, [0] * 8, cls=1)]
    write('class_index_past_names', image_set(bad))
    write('string_past_data', i32(V1, 0, 0) + i32(1000) + b'imgRowCTy')
    write('truncated_header', image_set(three, PALETTES, [1, 0xFFFF, 0])[:60])
    # Left out, the others kept.
    mixed = [two[0], Img(2, 1, X8R8G8B8, [0] * 8, cls=1), two[1]]
    write('unknown_class_v0', image_set(mixed, names=['imgRowCTy', 'noSuchClass'], version=None))
    write('waits_for_palette', image_set([three[0], three[1]], PALETTES, [0xFFFF, 0xFFFF]))
    write('version_2', image_set(three, PALETTES, [1, 0xFFFF, 0], version=0xFFFF0002))


if __name__ == '__main__':
    main()
