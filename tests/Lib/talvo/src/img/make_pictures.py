#!/usr/bin/python3
"""Writes the test pictures of one group into a directory.

Usage: make_pictures.py DIRECTORY GROUP     (GROUP: bmp, tga or jpg)

Pictures are written by Pillow, or byte by byte where Pillow writes no such
file. Beside each picture NAME:
  NAME.expect  "WIDTH HEIGHT\\n", then the pels top row first as R, G, B, A,
               as Pillow reads the file (A 255 where Pillow reads no alpha);
               where Pillow reads no such file, the values that were written.
  NAME.bgr     JPEGs only: the output of djpeg -dct fast -dither none, as
               B, G, R bytes (grey pictures three times over).
Every picture is also a member of DIRECTORY/pics.zip, stored and deflated
members taking turns.
"""
import io
import os
import random
import struct
import subprocess
import sys
import zipfile

from PIL import Image

OUT = sys.argv[1]
GROUP = sys.argv[2]
rnd = random.Random(1234)
written = []


def save(name, data):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
    written.append(name)


def expect(name, width, height, rgba):
    with open(os.path.join(OUT, name + ".expect"), "wb") as f:
        f.write(b"%d %d\n" % (width, height))
        f.write(bytes(rgba))


def expect_pillow(name):
    with Image.open(os.path.join(OUT, name)) as im:
        im.load()
        expect(name, im.width, im.height, im.convert("RGBA").tobytes())


def random_rgb(width, height):
    im = Image.new("RGB", (width, height))
    im.putdata([(rnd.randrange(256), rnd.randrange(256), rnd.randrange(256))
                for _ in range(width * height)])
    return im


def random_rgba(width, height):
    im = Image.new("RGBA", (width, height))
    im.putdata([tuple(rnd.randrange(256) for _ in range(4)) for _ in range(width * height)])
    return im


def random_p(width, height, colours):
    im = Image.new("P", (width, height))
    im.putpalette([rnd.randrange(256) for _ in range(3 * colours)])
    im.putdata([rnd.randrange(colours) for _ in range(width * height)])
    return im


def pillow_bytes(im, fmt, **options):
    buffer = io.BytesIO()
    im.save(buffer, fmt, **options)
    return buffer.getvalue()


# ---------------------------------------------------------------------------
# BMP


def bmp(width, height, bits, rows, info_size=40, compression=0, masks=(),
        palette=b"", colours=0, top_down=False, gap=0):
    """A BMP of the given rows (top row first, unpadded bytes)."""
    row_bytes = (bits * width + 31) // 32 * 4
    stored = rows if top_down else list(reversed(rows))
    data = b"".join(r.ljust(row_bytes, b"\0") for r in stored)
    info = struct.pack("<IiiHHIIiiII", info_size, width, -height if top_down else height, 1,
                       bits, compression, len(data), 2835, 2835, colours, 0)
    packed_masks = b"".join(struct.pack("<I", m) for m in masks)
    if info_size > 40:
        info = (info + packed_masks).ljust(info_size, b"\0")
    else:
        info += packed_masks
    offset = 14 + len(info) + len(palette) + gap
    return (b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + palette
            + b"\0" * gap + data)


def words16(width, height, fields):
    """Random 16-bit pels from (shift, bits) fields: the rows and the
    channel values of every pel."""
    rows, values = [], []
    for _ in range(height):
        row = b""
        for _ in range(width):
            channels = [rnd.randrange(1 << bits) for _, bits in fields]
            v = 0
            for (shift, _), c in zip(fields, channels):
                v |= c << shift
            row += struct.pack("<H", v)
            values.append(channels)
        rows.append(row)
    return rows, values


def widen(c, bits):
    return c * 255 // ((1 << bits) - 1)


def make_bmp():
    w, h = 7, 5
    save("bmp8.bmp", pillow_bytes(random_p(w, h, 256), "BMP"))
    save("bmp8_grey.bmp", pillow_bytes(Image.frombytes("L", (w, h), bytes(rnd.randrange(256) for _ in range(w * h))), "BMP"))
    rgb = random_rgb(w, h)
    save("bmp24.bmp", pillow_bytes(rgb, "BMP"))
    save("bmp32.bmp", pillow_bytes(random_rgba(w, h), "BMP"))
    for name in list(written):
        expect_pillow(name)

    bgr_rows = [bytes(b for x in range(w) for b in reversed(rgb.getpixel((x, y)))) for y in range(h)]
    # Top-down rows; a version-5 info header; a gap before the rows.
    for name, options in (("bmp24_topdown.bmp", dict(top_down=True)),
                          ("bmp24_v5.bmp", dict(info_size=124)),
                          ("bmp24_gap.bmp", dict(gap=10))):
        save(name, bmp(w, h, 24, bgr_rows, **options))
        expect_pillow(name)

    # An 8-bit picture of 16 colours behind a version-5 info header.
    p = random_p(w, h, 16)
    pal = p.getpalette()[:48]
    palette = b"".join(bytes((pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0)) for i in range(16))
    rows = [bytes(p.getpixel((x, y)) for x in range(w)) for y in range(h)]
    save("bmp8_v5.bmp", bmp(w, h, 8, rows, info_size=124, palette=palette, colours=16))
    expect_pillow("bmp8_v5.bmp")

    # An 8-bit picture whose header counts 0 colours: a table of 256 follows.
    p = random_p(w, h, 256)
    pal = p.getpalette()
    palette = b"".join(bytes((pal[3 * i + 2], pal[3 * i + 1], pal[3 * i], 0)) for i in range(256))
    rows = [bytes(p.getpixel((x, y)) for x in range(w)) for y in range(h)]
    save("bmp8_0colours.bmp", bmp(w, h, 8, rows, palette=palette))
    expect_pillow("bmp8_0colours.bmp")

    # 16-bit pictures: 5-5-5 without masks, 5-6-5 and 5-5-5 bit fields after
    # the smallest info header, 5-5-5-1 and 4-4-4-4 with alpha masks inside a
    # version-4 header.
    f555 = [(10, 5), (5, 5), (0, 5)]
    f565 = [(11, 5), (5, 6), (0, 5)]
    sixteen = (
        ("bmp16_555.bmp", f555, dict()),
        ("bmp16_565.bmp", f565, dict(compression=3, masks=(0xF800, 0x07E0, 0x001F))),
        ("bmp16_555_fields.bmp", f555, dict(compression=3, masks=(0x7C00, 0x03E0, 0x001F))),
        ("bmp16_5551.bmp", f555 + [(15, 1)],
         dict(compression=3, info_size=108, masks=(0x7C00, 0x03E0, 0x001F, 0x8000))),
    )
    for name, fields, options in sixteen:
        rows, _ = words16(w, h, fields)
        save(name, bmp(w, h, 16, rows, **options))
        expect_pillow(name)
    # Pillow reads no 4-4-4-4 bit fields: the expectation is what was written.
    f4444 = [(8, 4), (4, 4), (0, 4), (12, 4)]
    rows, values = words16(w, h, f4444)
    save("bmp16_4444.bmp", bmp(w, h, 16, rows, compression=3, info_size=108,
                               masks=(0x0F00, 0x00F0, 0x000F, 0xF000)))
    expect("bmp16_4444.bmp", w, h, [widen(c, 4) for v in values for c in v])

    # 32-bit pels in other orders than the stored one, as several libraries
    # write them (the masks say where each channel lies), after a version-4
    # header or three masks after the smallest one. A byte no mask covers
    # holds noise.
    def pel32(rgba, masks):
        v = 0
        for c, m in zip(rgba, masks):
            if m:
                v |= c << ((m & -m).bit_length() - 1)
        free = 0xFFFFFFFF & ~(masks[0] | masks[1] | masks[2] | masks[3])
        return v | (rnd.randrange(256) * 0x01010101) & free

    for name, masks, info_size in (("bmp32_xbgr.bmp", (0xFF000000, 0xFF0000, 0xFF00, 0), 108),
                                   ("bmp32_xbgr_3masks.bmp", (0xFF000000, 0xFF0000, 0xFF00, 0), 40),
                                   ("bmp32_abgr.bmp", (0xFF000000, 0xFF0000, 0xFF00, 0xFF), 108),
                                   ("bmp32_rgba.bmp", (0xFF, 0xFF00, 0xFF0000, 0xFF000000), 108)):
        rgba = random_rgba(w, h)
        rows = [b"".join(struct.pack("<I", pel32(rgba.getpixel((x, y)), masks)) for x in range(w))
                for y in range(h)]
        save(name, bmp(w, h, 32, rows, compression=3, info_size=info_size,
                       masks=masks if info_size > 40 else masks[:3]))
        expect_pillow(name)

    # 32-bit pels with the standard masks and alpha: read as Rgbx8888.
    rgba = random_rgba(w, h)
    rows = [bytes(c for x in range(w) for c in (lambda p: (p[2], p[1], p[0], p[3]))(rgba.getpixel((x, y))))
            for y in range(h)]
    save("bmp32_fields.bmp", bmp(w, h, 32, rows, compression=3, info_size=108,
                                 masks=(0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000)))
    expect_pillow("bmp32_fields.bmp")

    # A larger picture for reads into rectangles of other sizes.
    save("bmp24_big.bmp", pillow_bytes(random_rgb(37, 29), "BMP"))
    expect_pillow("bmp24_big.bmp")


# ---------------------------------------------------------------------------
# TGA


def tga(width, height, depth, image_type, pels, map_bytes=b"", map_first=0, map_length=0,
        map_entry_bits=0, descriptor=0, ident=b""):
    header = struct.pack("<BBBHHBHHHHBB", len(ident), 1 if map_length else 0, image_type,
                         map_first, map_length, map_entry_bits, 0, 0, width, height, depth,
                         descriptor)
    return header + ident + map_bytes + pels


def rle(pels, size):
    """Run-length packets: runs of equal pels, raw packets between them."""
    out, i, n = b"", 0, len(pels) // size
    pel = lambda k: pels[k * size:(k + 1) * size]
    while i < n:
        run = 1
        while i + run < n and run < 128 and pel(i + run) == pel(i):
            run += 1
        if run > 1:
            out += bytes((0x80 | (run - 1),)) + pel(i)
            i += run
            continue
        raw = 1
        while i + raw < n and raw < 128 and (i + raw + 1 >= n or pel(i + raw) != pel(i + raw + 1)):
            raw += 1
        out += bytes((raw - 1,)) + pels[i * size:(i + raw) * size]
        i += raw
    return out


def with_runs(im):
    """Copies a few pels into runs, so that run-length files hold both kinds
    of packet."""
    w, h = im.size
    for y in range(h):
        for x in range(1, min(4, w)):
            im.putpixel((x, y), im.getpixel((0, y)))
    return im


def make_tga():
    w, h = 7, 5
    pictures = {
        "p": with_runs(random_p(w, h, 256)),
        "l": with_runs(Image.frombytes("L", (w, h), bytes(rnd.randrange(256) for _ in range(w * h)))),
        "rgb": with_runs(random_rgb(w, h)),
        "rgba": with_runs(random_rgba(w, h)),
    }
    # Image types 1, 3 and 2 uncompressed, 9 and 10 run-length encoded, each
    # with both origins.
    for key, image in pictures.items():
        for rle_too in ((False, True) if key != "l" else (False,)):
            for orientation in (-1, 1):
                name = "tga_%s%s_%s.tga" % (key, "_rle" if rle_too else "",
                                            "top" if orientation > 0 else "bottom")
                options = dict(orientation=orientation)
                if rle_too:
                    options["compression"] = "tga_rle"
                save(name, pillow_bytes(image, "TGA", **options))
                expect_pillow(name)
    save("tga_id.tga", pillow_bytes(pictures["rgb"], "TGA", id_section=b"hello"))
    expect_pillow("tga_id.tga")

    # 16-bit pels, uncompressed and run-length encoded.
    rows, _ = words16(w, h, [(10, 5), (5, 5), (0, 5), (15, 1)])
    pels = b"".join(reversed(rows))
    save("tga16.tga", tga(w, h, 16, 2, pels))
    expect_pillow("tga16.tga")
    save("tga16_rle.tga", tga(w, h, 16, 10, rle(pels, 2)))
    expect_pillow("tga16_rle.tga")

    # A colour map in a true-colour picture; an 8-bit picture whose map of
    # 16-bit entries starts at index 2.
    rgb = pictures["rgb"]
    bgr = b"".join(bytes(reversed(rgb.getpixel((x, y)))) for y in reversed(range(h)) for x in range(w))
    save("tga24_map.tga", tga(w, h, 24, 2, bgr, map_bytes=b"\x11\x22\x33\x44\x55\x66", map_length=2,
                              map_entry_bits=24))
    # Pillow reads no colour map in a true-colour file: the values written.
    expect("tga24_map.tga", w, h, rgb.convert("RGBA").tobytes())
    entries = [rnd.randrange(0x8000) for _ in range(6)]
    indices = bytes(rnd.randrange(2, 8) for _ in range(w * h))
    save("tga8_map16.tga", tga(w, h, 8, 1, indices, map_bytes=b"".join(struct.pack("<H", e) for e in entries),
                               map_first=2, map_length=6, map_entry_bits=16))
    expect_pillow("tga8_map16.tga")

    # The same pictures stored from each of the four corners (image
    # descriptor bit 4: right to left, bit 5: top down), uncompressed and
    # run-length encoded, colour-mapped and true-colour.
    pal = pictures["p"].getpalette()
    colour_map = dict(map_bytes=b"".join(bytes((pal[3 * i + 2], pal[3 * i + 1], pal[3 * i])) for i in range(256)),
                      map_length=256, map_entry_bits=24)
    kinds = (("p", 8, 1, lambda p: bytes((p,)), colour_map),
             ("rgb", 24, 2, lambda p: bytes(reversed(p)), {}))
    for key, depth, image_type, stored, options in kinds:
        image = pictures[key]
        for corner, descriptor in (("bl", 0), ("br", 0x10), ("tl", 0x20), ("tr", 0x30)):
            ys = range(h) if descriptor & 0x20 else reversed(range(h))
            xs = list(reversed(range(w))) if descriptor & 0x10 else list(range(w))
            pels = b"".join(stored(image.getpixel((x, y))) for y in ys for x in xs)
            for rle_too in (False, True):
                name = "tga_%s%s_%s.tga" % (key, "_rle" if rle_too else "", corner)
                packed = rle(pels, depth // 8) if rle_too else pels
                save(name, tga(w, h, depth, image_type + 8 * rle_too, packed, descriptor=descriptor, **options))
                expect_pillow(name)

    # 16-bit grey pels: grey and alpha.
    la = Image.frombytes("LA", (w, h), bytes(rnd.randrange(256) for _ in range(2 * w * h)))
    save("tga_la.tga", pillow_bytes(la, "TGA"))
    expect_pillow("tga_la.tga")

    save("tga_big.tga", pillow_bytes(random_rgba(37, 29), "TGA", compression="tga_rle"))
    expect_pillow("tga_big.tga")


# ---------------------------------------------------------------------------
# JPEG


def djpeg_bgr(name):
    out = subprocess.run(["djpeg", "-dct", "fast", "-dither", "none", os.path.join(OUT, name)],
                         check=True, stdout=subprocess.PIPE).stdout
    fields, at = [], 0
    while len(fields) < 4:  # magic, width, height, maximum
        while out[at:at + 1].isspace():
            at += 1
        start = at
        while not out[at:at + 1].isspace():
            at += 1
        fields.append(out[start:at])
    magic, width, height = fields[0], int(fields[1]), int(fields[2])
    pels = out[at + 1:]
    if magic == b"P5":
        bgr = bytes(v for g in pels for v in (g, g, g))
    else:
        bgr = bytes(v for i in range(0, len(pels), 3) for v in (pels[i + 2], pels[i + 1], pels[i]))
    with open(os.path.join(OUT, name + ".bgr"), "wb") as f:
        f.write(b"%d %d\n" % (width, height))
        f.write(bgr)


def cjpeg(name, im, *options):
    ppm = pillow_bytes(im, "PPM")
    save(name, subprocess.run(["cjpeg", *options], input=ppm, check=True,
                              stdout=subprocess.PIPE).stdout)


def make_jpg():
    smooth = Image.linear_gradient("L").resize((45, 31)).convert("RGB")
    smooth.paste(random_rgb(9, 7), (4, 3))
    save("jpg_420.jpg", pillow_bytes(smooth, "JPEG", quality=90))
    save("jpg_444.jpg", pillow_bytes(smooth, "JPEG", quality=95, subsampling=0))
    save("jpg_grey.jpg", pillow_bytes(smooth.convert("L"), "JPEG"))
    save("jpg_progressive.jpg", pillow_bytes(smooth, "JPEG", progressive=True))
    save("jpg_small.jpg", pillow_bytes(random_rgb(3, 2), "JPEG"))
    cjpeg("jpg_restart.jpg", smooth, "-restart", "1B")
    # A comment segment longer than the source manager's block, skipped by
    # libjpeg over several refills.
    plain = pillow_bytes(smooth, "JPEG")
    comment = bytes(rnd.randrange(256) for _ in range(20000))
    save("jpg_comment.jpg", plain[:2] + b"\xff\xfe" + struct.pack(">H", len(comment) + 2) + comment + plain[2:])
    for name in list(written):
        djpeg_bgr(name)


{"bmp": make_bmp, "tga": make_tga, "jpg": make_jpg}[GROUP]()

with zipfile.ZipFile(os.path.join(OUT, "pics.zip"), "w") as z:
    for i, name in enumerate(written):
        z.write(os.path.join(OUT, name), name,
                compress_type=zipfile.ZIP_DEFLATED if i % 2 else zipfile.ZIP_STORED)
