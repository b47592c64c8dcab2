"""The game's first picture under a real X server, start after start.

    xvfb_starts.py <maze executable> <game directory>

Copies the game directory (DATA/, maze.cfg) and the executable into a
temporary directory and starts the game there several times with SDL's X11
video driver and dummy audio: on one private Xvfb display, and once on a
display that drops the game's first connection and comes up only then (the
game must try again). Each time, once the game's start-up has ended (it puts the pointer
on the start point), its window must show the scene within SCENE_SECONDS:
every pel of the background (through R5G6B5) outside the band of texts and
buttons and the ball's surroundings, and the ball on the start point. Then a
termination signal ends the game, which must exit with status 0.

Exit status: 0 passed, 1 failed, 77 skipped (only when Xvfb does not start).
"""
import io
import os
import random
import select
import shutil
import socket
import subprocess
import sys
import time

from PIL import Image, ImageChops, ImageGrab

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xvfb_play import Failed, game_copy, read_cfg, run_on_xvfb, xdotool  # noqa: E402

STARTS = 2             # on the display that is up
SCENE_SECONDS = 2      # from the end of start-up to the whole scene in the window
START_SECONDS = 60     # from the game's start to the end of its start-up
W, H = 800, 600
BAND_TOP = 540         # the texts and buttons lie below


def narrow(image):
    """The high bits of each channel that an R5G6B5 pel keeps."""
    r, g, b = image.convert("RGB").split()
    return Image.merge("RGB", (r.point(lambda v: v & 0xF8), g.point(lambda v: v & 0xFC),
                               b.point(lambda v: v & 0xF8)))


def background(game):
    """bkg.jpg as the engine decodes it (djpeg's fast integer DCT), narrowed."""
    ppm = subprocess.run(["djpeg", "-dct", "fast", "-ppm", os.path.join(game, "DATA", "bkg.jpg")], check=True,
                         capture_output=True).stdout
    return narrow(Image.open(io.BytesIO(ppm)))


def scene_shown(shot, bkg, x, y):
    """Whether an 800 x 600 picture is the scene with the ball at (x, y)."""
    diff = ImageChops.difference(narrow(shot), bkg)
    ball = sum(1 for p in diff.crop((x - 12, y - 12, x + 12, y + 12)).getdata() if p != (0, 0, 0))
    diff.paste((0, 0, 0), (0, BAND_TOP, W, H))
    diff.paste((0, 0, 0), (x - 16, y - 16, x + 40, y + 40))  # the ball, the cursor below right
    return diff.getbbox() is None and ball >= 100


class Start:
    """One start of the game on a display; ends it on leaving."""

    def __init__(self, game, env, display):
        self.display = display
        self.log = open(os.path.join(game, "run.log"), "w+")
        self.proc = subprocess.Popen([os.path.join(game, "maze")], cwd=game, env=dict(env, DISPLAY=display),
                                     stdout=self.log, stderr=self.log)
        self.started = time.monotonic()

    def ended_start_up(self, cfg):
        """Waits for the window and the pointer on its start point: the window's origin."""
        while True:
            if self.proc.poll() is not None:
                raise Failed(f"the game ended during start-up with status {self.proc.returncode}")
            if time.monotonic() - self.started > START_SECONDS:
                raise Failed(f"no window with the pointer on its start point within {START_SECONDS} s")
            found = subprocess.run(["xdotool", "search", "--name", "^" + cfg["WND_NAME"] + "$"],
                                   env=dict(os.environ, DISPLAY=self.display), capture_output=True, text=True)
            if found.returncode == 0 and found.stdout.split():
                window = found.stdout.split()[0]
                geometry = dict(v.split("=", 1) for v in
                                xdotool(self.display, "getwindowgeometry", "--shell", window).split())
                where = dict(v.split("=", 1) for v in xdotool(self.display, "getmouselocation", "--shell").split())
                x0, y0 = int(geometry["X"]), int(geometry["Y"])
                if (int(where["X"]), int(where["Y"])) == (x0 + int(cfg["start_x"]), y0 + int(cfg["start_y"])):
                    return x0, y0
            time.sleep(0.05)

    def scene_within(self, origin, bkg, cfg):
        """Seconds from the end of start-up until the window showed the scene."""
        x0, y0 = origin
        ended = time.monotonic()
        while True:
            shot = ImageGrab.grab(bbox=(x0, y0, x0 + W, y0 + H), xdisplay=self.display)
            if scene_shown(shot, bkg, int(cfg["start_x"]), int(cfg["start_y"])):
                return time.monotonic() - ended
            if time.monotonic() - ended > SCENE_SECONDS:
                shot.save(os.path.join(os.path.dirname(self.log.name), "last.png"))
                raise Failed(f"the window did not show the scene within {SCENE_SECONDS} s of the end of start-up")
            time.sleep(0.05)

    def end(self):
        self.proc.terminate()
        try:
            status = self.proc.wait(timeout=30)
        except subprocess.TimeoutExpired:
            raise Failed("the game did not end within 30 s of a termination signal")
        if status != 0:
            raise Failed(f"the game ended with status {status} after a termination signal")

    def close(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.log.seek(0)
        text = self.log.read()
        self.log.close()
        return text


def refusing_display():
    """A free display number (high, so that -displayfd never picks it) whose
    X socket is ours for now: (number, listening socket)."""
    while True:
        n = random.randint(2000, 30000)
        if os.path.exists(f"/tmp/.X11-unix/X{n}") or os.path.exists(f"/tmp/.X{n}-lock"):
            continue
        listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        try:
            listener.bind(f"\0/tmp/.X11-unix/X{n}")  # where X clients knock first
        except OSError:
            listener.close()
            continue
        listener.listen(1)
        return n, listener


def run_start(what, game, game_dir, env, display, bkg, cfg, before=None):
    shutil.copy(os.path.join(game_dir, "maze.cfg"), game)
    start = Start(game, env, display)
    try:
        if before:
            before()
        origin = start.ended_start_up(cfg)
        up = time.monotonic() - start.started
        seconds = start.scene_within(origin, bkg, cfg)
        start.end()
        print(f"{what}: start-up {up:.2f} s, the scene {seconds:.2f} s after it ended")
    except (Failed, subprocess.TimeoutExpired) as e:
        output = start.close()
        raise Failed(f"{what}: {e}" + (f"\n--- the game's output\n{output}" if output.strip() else ""))
    start.close()


def main():
    maze, game_dir = sys.argv[1:3]

    def test(run):
        game, env = game_copy(maze, game_dir, run.tmp, with_cfg=False)
        cfg = read_cfg(os.path.join(game_dir, "maze.cfg"))
        bkg = background(game)
        for i in range(STARTS):
            run_start(f"start {i + 1}", game, game_dir, env, run.display, bkg, cfg)

        number, listener = refusing_display()

        def drop_the_first_connection_then_come_up():
            if not select.select([listener], [], [], START_SECONDS)[0]:
                raise Failed(f"the game did not connect to its display within {START_SECONDS} s")
            listener.accept()[0].close()
            listener.close()
            run.servers.append(subprocess.Popen(
                ["Xvfb", f":{number}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                stdout=run.log, stderr=run.log))

        run_start("start on a display that drops the first connection", game, game_dir, env, f":{number}", bkg, cfg,
                  drop_the_first_connection_then_come_up)

    return run_on_xvfb("talvo-xvfb-starts-", test)


if __name__ == "__main__":
    sys.exit(main())
