#!/usr/bin/env python3
"""Checks what make_game_data writes with readers of its own: Pillow for the
pictures, djpeg for the JPEG, wave for the sounds, mido and a raw walk for
the MIDI file, plain bytes for the font description and the configuration.

Usage: check_game_data.py MAKE_GAME_DATA
The tool is run twice into temporary directories; both runs must give the
same bytes. Prints every failed check and exits 1 when there is one.
"""
import filecmp
import os
import struct
import subprocess
import sys
import tempfile
import wave

import mido
from PIL import Image

FAILURES = []


def check(ok, what):
    if not ok:
        FAILURES.append(what)
    return ok


def read_cfg(path):
    cfg = {}
    with open(path, encoding="ascii") as f:
        for line in f:
            name, _, value = line.partition("=")
            cfg[name.strip()] = value.strip()
    return cfg


def check_same_runs(tool, a, b):
    for d in (a, b):
        r = subprocess.run([tool, d], capture_output=True, text=True)
        check(r.returncode == 0, f"make_game_data {d} failed: {r.stderr}")
    names_a = sorted(os.path.relpath(os.path.join(r, f), a) for r, _, fs in os.walk(a) for f in fs)
    names_b = sorted(os.path.relpath(os.path.join(r, f), b) for r, _, fs in os.walk(b) for f in fs)
    check(names_a == names_b, f"the two runs wrote different files: {names_a} / {names_b}")
    for n in names_a:
        check(filecmp.cmp(os.path.join(a, n), os.path.join(b, n), shallow=False),
              f"{n} differs between two runs")


def check_bmp(path, size, what):
    with open(path, "rb") as f:
        head = f.read(54)
    magic, _, _, _, offset, info, w, h, planes, bits, compression = struct.unpack("<2sIHHIIiiHHI", head[:34])
    check(magic == b"BM" and offset == 54 and info == 40, f"{what}: not a BMP with a 54-byte header")
    check(bits == 24 and compression == 0 and planes == 1, f"{what}: not a plain 24-bit BMP ({bits} bits)")
    check((w, h) == size, f"{what}: {w} x {h}, expected {size}")
    im = Image.open(path)
    check(im.mode == "RGB" and im.size == size, f"{what}: Pillow reads {im.mode} {im.size}")
    return im


def check_tga_alpha(path, what):
    im = Image.open(path)
    check(im.format == "TGA" and im.mode == "RGBA", f"{what}: not a 32-bit TGA ({im.mode})")
    alphas = set(im.getchannel("A").getdata())
    check(0 in alphas and 255 in alphas, f"{what}: no transparent or no opaque pels")
    check(any(0 < a < 255 for a in alphas), f"{what}: no soft edges (alpha only 0 and 255)")
    return im


def check_pictures(data, cfg):
    mask = check_bmp(os.path.join(data, "mask.bmp"), (800, 600), "mask.bmp")
    colours = set(mask.getdata())
    check(colours == {(255, 255, 255), (255, 0, 0), (0, 0, 0)},
          f"mask.bmp holds other colours than wall, goal and floor: {sorted(colours)[:8]}")
    cursor = check_bmp(os.path.join(data, "cursor.bmp"), Image.open(os.path.join(data, "cursor.bmp")).size,
                       "cursor.bmp")
    check(cursor.getpixel((0, 0)) == (255, 0, 255), "cursor.bmp: pel (0, 0) is not the magenta key")
    check(cursor.getpixel((1, 1)) != (255, 0, 255), "cursor.bmp: the arrow's tip is not at (1, 1)")
    for name in ("but_exit0", "but_exit1", "but_new0", "but_new1"):
        check_bmp(os.path.join(data, name + ".bmp"), (120, 40), name)
    for name in ("but_exit", "but_new"):
        check(Image.open(os.path.join(data, name + "0.bmp")).tobytes()
              != Image.open(os.path.join(data, name + "1.bmp")).tobytes(), f"{name}: pressed look equals normal")
    banners = [check_tga_alpha(os.path.join(data, n + ".tga"), n) for n in ("game_over", "game_win")]
    for name, im in zip(("game_over", "game_win"), banners):
        x, y = int(cfg[name + "_x"]), int(cfg[name + "_y"])
        check(0 <= x and x + im.width <= 800 and 0 <= y and y + im.height <= 540,
              f"{name} does not lie on the maze")


def check_jpeg(data):
    path = os.path.join(data, "bkg.jpg")
    r = subprocess.run(["djpeg", "-outfile", os.devnull, path], capture_output=True, text=True)
    check(r.returncode == 0 and r.stderr == "", f"djpeg complains about bkg.jpg: {r.stderr}")
    raw = open(path, "rb").read()
    sof = raw.find(b"\xff\xc0")
    check(sof > 0 and raw.find(b"\xff\xc2") < 0, "bkg.jpg is not a baseline JPEG")
    if sof > 0:
        _, _, h, w, comps = struct.unpack(">HBHHB", raw[sof + 2:sof + 10])
        check((w, h, comps) == (800, 600, 3), f"bkg.jpg: {w} x {h} with {comps} components")


def segment_points(solution):
    """Every pel of the polyline through the solution's points."""
    points = [solution[0]]
    for (x0, y0), (x1, y1) in zip(solution, solution[1:]):
        steps = max(abs(x1 - x0), abs(y1 - y0))
        for i in range(1, steps + 1):
            points.append((x0 + (x1 - x0) * i // steps, y0 + (y1 - y0) * i // steps))
    return points


def check_solution(root, data, cfg):
    solution = [tuple(map(int, line.split())) for line in open(os.path.join(root, "solution.txt"))]
    check(len(solution) >= 2, "solution.txt holds less than two points")
    check(solution[0] == (int(cfg["start_x"]), int(cfg["start_y"])), "the solution does not begin at the start")
    check(solution[0] == (int(cfg["ball_x"]), int(cfg["ball_y"])), "the ball does not begin at the start")
    mask = Image.open(os.path.join(data, "mask.bmp")).load()
    # The ball's frames are 24 x 24 with the hot spot at their centre; the
    # whole frame square stands for the footprint of every frame.
    size, hot = 24, 12
    reached = False
    for x, y in segment_points(solution):
        square = [mask[x - hot + c, y - hot + r] for r in range(size) for c in range(size)]
        if not check((255, 255, 255) not in square, f"the ball touches a wall at ({x}, {y})"):
            return
        if (255, 0, 0) in square:
            reached = True
            break
    check(reached, "the solution does not reach the goal")


def check_band(data, cfg):
    band_top = 540
    boxes = []
    for name in ("but_exit", "but_new"):
        x, y = int(cfg[name + "_x"]), int(cfg[name + "_y"])
        boxes.append((name, x, y, 120, 40))
    # Centred texts of up to four digits of the font (40 pels and 4 between).
    text_w = 4 * 40 + 3 * 4
    for name in ("score", "highscore"):
        x, y = int(cfg[name + "_x"]), int(cfg[name + "_y"])
        boxes.append((name, x - text_w // 2, y, text_w, 56))
    for name, x, y, w, h in boxes:
        check(0 <= x and x + w <= 800 and band_top <= y and y + h <= 600, f"{name} does not lie in the band")
    for i, a in enumerate(boxes):
        for b in boxes[i + 1:]:
            apart = a[1] + a[3] <= b[1] or b[1] + b[3] <= a[1] or a[2] + a[4] <= b[2] or b[2] + b[4] <= a[2]
            check(apart, f"{a[0]} and {b[0]} overlap")
    mask = Image.open(os.path.join(data, "mask.bmp"))
    check((255, 255, 255) not in set(mask.crop((0, band_top, 800, 600)).getdata()),
          "the maze's frame reaches into the band")


def check_font(data):
    fda = open(os.path.join(data, "big-digits.fda"), "rb").read()
    if not check(len(fda) == 4128, f"big-digits.fda is {len(fda)} bytes"):
        return
    magic, default = struct.unpack("<Ii", fda[:8])
    check(magic == 0x01746E66, "big-digits.fda: wrong magic")
    check(default == ord("0"), "big-digits.fda: the default glyph is not '0'")
    glyphs = check_tga_alpha(os.path.join(data, "big-digits.tga"), "big-digits.tga")
    records = [struct.unpack("<4i", fda[28 + 16 * c:44 + 16 * c]) for c in range(256)]
    default_x = records[default][0]
    alpha = glyphs.getchannel("A")
    xs = set()
    for c in range(ord("0"), ord("9") + 1):
        x, y, w1, h = records[c]
        check(0 <= x and 0 <= y and x + w1 + 1 <= glyphs.width - 1 and y + h <= glyphs.height,
              f"glyph {chr(c)} does not fit the picture before its last column")
        check(30 <= w1 + 1 <= 50 and 46 <= h <= 66, f"glyph {chr(c)} is {w1 + 1} x {h}")
        check(alpha.crop((x, y, x + w1 + 1, y + h)).getextrema()[1] == 255, f"glyph {chr(c)} is empty")
        xs.add(x)
    check(len(xs) == 10, "two digits share a glyph")
    others = [c for c in range(256) if not ord("0") <= c <= ord("9")]
    check(all(records[c][0] == default_x for c in others), "a character other than a digit has a glyph")
    check(alpha.getpixel((default_x, records[default][1])) == 0, "the default glyph's top-left pel is not clear")
    check(alpha.crop((glyphs.width - 1, 0, glyphs.width, glyphs.height)).getextrema()[1] == 0,
          "big-digits.tga uses its last column")


def check_sounds(data):
    for name in ("click", "start", "gamewin", "gameover"):
        with wave.open(os.path.join(data, name + ".wav")) as w:
            check((w.getnchannels(), w.getsampwidth(), w.getframerate()) == (1, 2, 22050),
                  f"{name}.wav is not 16-bit mono at 22050 Hz")
            frames = w.readframes(w.getnframes())
        samples = struct.unpack(f"<{len(frames) // 2}h", frames)
        check(len(samples) > 0 and max(abs(s) for s in samples) > 4000, f"{name}.wav is silent")


def raw_midi_events(raw):
    """(track, status, running) of every event of an SMF, from its bytes."""
    pos = 14
    track = 0
    while pos < len(raw):
        length = struct.unpack(">I", raw[pos + 4:pos + 8])[0]
        data, pos, i, status, last = raw[pos + 8:pos + 8 + length], pos + 8 + length, 0, 0, None

        def number():
            nonlocal i
            v = 0
            while True:
                b = data[i]
                i += 1
                v = v << 7 | (b & 0x7F)
                if b < 0x80:
                    return v

        while i < len(data):
            number()  # delta time
            running = data[i] < 0x80
            if not running:
                status = data[i]
                i += 1
            yield track, status, running, last
            if status == 0xFF:
                kind = data[i]
                i += 1
                n = number()
                i += n
                last = (0xFF, kind)
            elif status in (0xF0, 0xF7):
                n = number()
                i += n
                last = (status, None)
            else:
                i += 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                last = (status, None)
        yield track, None, False, last
        track += 1


def check_music(data):
    path = os.path.join(data, "music.mid")
    midi = mido.MidiFile(path)
    check(midi.type == 1 and midi.ticks_per_beat == 480, f"music.mid: type {midi.type}, {midi.ticks_per_beat} ticks")
    check(25 <= midi.length <= 35, f"music.mid lasts {midi.length:.1f} s")
    tempos = [m.tempo for t in midi.tracks for m in t if m.type == "set_tempo"]
    check(tempos and all(t == 500000 for t in tempos), "music.mid is not at 120 bpm")
    check(any(m.type == "note_on" and m.channel == 9 for t in midi.tracks for m in t), "music.mid has no drums")
    check(len({m.channel for t in midi.tracks for m in t if m.type == "note_on"}) >= 3, "music.mid has few voices")
    raw = open(path, "rb").read()
    check(raw.count(b"\xff\x51") == raw.count(b"\xff\x51\x03"), "a tempo event is not FF 51 03")
    for track, status, running, last in raw_midi_events(raw):
        if status is None:
            check(last == (0xFF, 0x2F), f"track {track} does not end with FF 2F 00")
        elif running:
            check(last is not None and last[0] < 0xF0, f"track {track}: running status after a meta or sysex event")


def check_config(root, cfg):
    expected = {"SCR_LX": "800", "SCR_LY": "600", "SCR_BPP": "16", "USE_GFX": "1", "FULL_SCREEN": "0",
                "WND_NAME": "Ball Maze", "FPS_LIMIT": "10", "NEED_DRAW_FPS": "0", "music": "1",
                "snd_volume": "80", "share_image": "0", "best_result": "0"}
    for key, value in expected.items():
        check(cfg.get(key) == value, f"maze.cfg: {key} is {cfg.get(key)!r}, expected {value!r}")
    for name in ("bkg", "score", "highscore", "game_over", "game_win", "cursor", "but_exit", "but_new", "ball"):
        check(name + "_x" in cfg and name + "_y" in cfg, f"maze.cfg has no position of {name}")
    # A configuration that exists is kept: the best time survives a new run.
    path = os.path.join(root, "maze.cfg")
    kept = open(path).read().replace("best_result = 0", "best_result = 4321")
    open(path, "w").write(kept)
    subprocess.run([sys.argv[1], root], check=True)
    check(open(path).read() == kept, "make_game_data rewrote an existing maze.cfg")


def main():
    tool = sys.argv[1]
    with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
        check_same_runs(tool, a, b)
        data = os.path.join(a, "DATA")
        cfg = read_cfg(os.path.join(a, "maze.cfg"))
        check_pictures(data, cfg)
        check_jpeg(data)
        check_solution(a, data, cfg)
        check_band(data, cfg)
        check_font(data)
        check_sounds(data)
        check_music(data)
        check_config(a, cfg)
    for f in FAILURES:
        print("FAILED:", f)
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
