"""Checks a picture of the game's scene against the background, with Pillow.

    check_scene.py bmp <snapshot.bmp> <bkg.jpg> <x> <y> [from=<x,y>] [<x,y,w,h> ...]
    check_scene.py r5g6b5 <pels.raw> <bkg.jpg> <x> <y> [from=<x,y>] [<x,y,w,h> ...]

The scene is a 24-bit 800 x 600 BMP (a snapshot), or 800 x 600 R5G6B5 pels in
rows of 1600 bytes, top row first (the shared image). Every pel equals
bkg.jpg's through R5G6B5 (5, 6 and 5 high bits; decoded by djpeg with the
fast integer DCT, as the engine's decoder does), except in the band of texts
and buttons at the bottom, around the ball and the cursor sprite at scene
point (x, y), and in the rectangles given; and the ball is drawn at (x, y).
With from=: the ball's last move went from there towards (x, y), and a run
it decided left the ball on that way: the ball is drawn at some point of
it (the cursor sprite, at (x, y), not counted), and the way is skipped.
Exit status 0 when all holds, 1 otherwise (the reasons on stderr).
"""
import io
import struct
import subprocess
import sys

from PIL import Image

W, H = 800, 600
BAND_TOP = 540  # the texts and buttons lie below


def narrow(rgb):
    r, g, b = rgb
    return (r >> 3, g >> 2, b >> 3)


def scene_pels(kind, path):
    data = open(path, "rb").read()
    if kind == "r5g6b5":
        if len(data) != W * H * 2:
            sys.exit(f"{path}: {len(data)} bytes, not {W * H * 2}")
        words = struct.unpack(f"<{W * H}H", data)
        return [(w >> 11, (w >> 5) & 63, w & 31) for w in words]
    if data[:2] != b"BM" or struct.unpack_from("<H", data, 28)[0] != 24:
        sys.exit(f"{path}: not a 24-bit BMP")
    image = Image.open(path)
    if image.size != (W, H) or image.mode != "RGB":
        sys.exit(f"{path}: {image.size} {image.mode}, not 800 x 600 RGB")
    return [narrow(p) for p in image.getdata()]


def main():
    kind, path, bkg_path, x, y = sys.argv[1:6]
    x, y = int(x), int(y)
    rest = sys.argv[6:]
    way = [(x, y)]
    if rest and rest[0].startswith("from="):
        fx, fy = (int(v) for v in rest.pop(0)[5:].split(","))
        n = max(abs(x - fx), abs(y - fy), 1)
        way = [(fx + (x - fx) * i // n, fy + (y - fy) * i // n) for i in range(n + 1)]
    skip = [tuple(int(v) for v in r.split(",")) for r in rest]
    skip.append((0, BAND_TOP, W, H - BAND_TOP))
    skip.append((x - 16, y - 16, 56, 56))  # the ball around (x, y), the cursor below right
    skip += [(bx - 16, by - 16, 32, 32) for bx, by in way]
    cursor = (x - 1, y - 1, 16, 20) if len(way) > 1 else (0, 0, 0, 0)
    scene = scene_pels(kind, path)
    ppm = subprocess.run(["djpeg", "-dct", "fast", "-ppm", bkg_path], check=True, capture_output=True).stdout
    bkg = Image.open(io.BytesIO(ppm)).convert("RGB")
    if bkg.size != (W, H):
        sys.exit(f"{bkg_path}: {bkg.size}")
    background = [narrow(p) for p in bkg.getdata()]

    def skipped(px, py):
        return any(rx <= px < rx + rw and ry <= py < ry + rh for rx, ry, rw, rh in skip)

    wrong = [(px, py) for py in range(H) for px in range(W)
             if not skipped(px, py) and scene[py * W + px] != background[py * W + px]]
    ok = True
    if wrong:
        px, py = wrong[0]
        print(f"{len(wrong)} pels differ from the background, the first at ({px}, {py}): "
              f"{scene[py * W + px]} against {background[py * W + px]}", file=sys.stderr)
        ok = False
    def ball_at(bx, by):
        cx, cy, cw, ch = cursor
        return sum(1 for py in range(by - 12, by + 12) for px in range(bx - 12, bx + 12)
                   if 0 <= px < W and 0 <= py < H and not (cx <= px < cx + cw and cy <= py < cy + ch)
                   and scene[py * W + px] != background[py * W + px])

    ball = max(ball_at(bx, by) for bx, by in way)
    if ball < 100:
        where = f"({x}, {y})" if len(way) == 1 else f"on the way from {way[0]} to ({x}, {y})"
        print(f"no ball {where}: at most {ball} pels differ from the background there", file=sys.stderr)
        ok = False
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
