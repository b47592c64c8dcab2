#!/usr/bin/python3
"""Remakes the seed corpora of the engine picture fuzz targets:
fuzz/corpus/engine_tga and fuzz/corpus/engine_jpg hold the TGA and JPEG
pictures of the decoders' fixture writer (tests/Lib/talvo/src/img/
make_pictures.py) and, for the alpha images, 32-bit TGAs whose pels run
through the transparent, translucent and opaque kinds;
fuzz/corpus/depth_text holds depth text files, whole, short and broken."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
writer = os.path.join(here, "..", "tests", "Lib", "talvo", "src", "img", "make_pictures.py")


def corpus(name):
    path = os.path.join(here, "corpus", name)
    os.makedirs(path, exist_ok=True)
    return path


def save(directory, name, data):
    with open(os.path.join(directory, name), "wb") as f:
        f.write(data)


for group, target in (("tga", "engine_tga"), ("jpg", "engine_jpg")):
    out = corpus(target)
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([sys.executable, writer, work, group], check=True)
        for name in sorted(os.listdir(work)):
            path = os.path.join(work, name)
            if name.endswith("." + group) and os.path.getsize(path) <= 8192:
                shutil.copy(path, os.path.join(out, name))


def tga32(width, height, pels, image_type=2, top=True):
    """A 32-bit TGA of B, G, R, A pels, with 8 alpha bits."""
    header = struct.pack("<BBBHHBHHHHBB", 0, 0, image_type, 0, 0, 0, 0, 0, width, height, 32,
                         8 | (0x20 if top else 0))
    return header + b"".join(bytes(p) for p in pels)


kinds = [(10, 20, 30, 0), (200, 100, 50, 255), (40, 80, 120, 128), (1, 2, 3, 1), (9, 9, 9, 254)]
runs = [kinds[(i // 3) % len(kinds)] for i in range(6 * 5)]
out = corpus("engine_tga")
save(out, "alpha_kinds.tga", tga32(6, 5, runs))
save(out, "alpha_kinds_bottom.tga", tga32(6, 5, runs, top=False))
# Run-length packets: a run of 4 translucent pels, then 2 raw pels.
save(out, "alpha_rle.tga", tga32(6, 1, [], image_type=10) + bytes([0x83, 1, 2, 3, 128, 0x01, 4, 5, 6, 0, 7, 8, 9, 255]))

out = corpus("depth_text")
save(out, "whole", b"3\n2\n1.5\n0\n0.00001\n-0.5\n70000\n-1e30\n")
save(out, "short", b"4\n4\n1\n2\n3\n")
save(out, "nan", b"2\n1\nnan\ninf\n")
save(out, "negative_size", b"-3\n2\n1\n")
save(out, "huge_size", b"100000\n100000\n1\n")
save(out, "no_height", b"12\n")
