"""The game's window keeps its picture under a real X server while another
window is in front (and the game draws nothing).

    xvfb_picture.py <maze executable> <game directory>

Starts the game as xvfb_starts.py does and waits for the scene. Then a second
client's window (xmessage) is laid over the middle of the scene and given the
focus, and once it shows it is moved away, beside the game's window: the
uncovered part must show the scene again, not the ghost of the other window.
Then the game's window is unmapped and mapped again (as a desktop switch does
without a window manager): it must show the scene again, not black. Each
within PICTURE_SECONDS, the other window keeping the focus throughout. A
termination signal then ends the game, which must exit with status 0.

Exit status: 0 passed, 1 failed, 77 skipped (only when Xvfb does not start).
"""
import os
import subprocess
import sys
import time

from PIL import ImageGrab

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xvfb_play import Failed, game_copy, read_cfg, run_on_xvfb, xdotool  # noqa: E402
from xvfb_starts import H, W, Start, background, scene_shown  # noqa: E402

PICTURE_SECONDS = 2          # from the display's loss to the scene in the window again
COVER_SECONDS = 10           # from the other window's start to its picture over the scene
COVER_W, COVER_H = 300, 200  # the other window, laid at (200, 150) of the scene


def shows_scene(display, origin, bkg, cfg):
    x0, y0 = origin
    shot = ImageGrab.grab(bbox=(x0, y0, x0 + W, y0 + H), xdisplay=display)
    return scene_shown(shot, bkg, int(cfg["start_x"]), int(cfg["start_y"]))


def picture_within(display, origin, bkg, cfg, what):
    """Waits until the window shows the scene; fails after PICTURE_SECONDS."""
    lost = time.monotonic()
    while True:
        if shows_scene(display, origin, bkg, cfg):
            return time.monotonic() - lost
        if time.monotonic() - lost > PICTURE_SECONDS:
            raise Failed(f"{what}: the window did not show the scene again within {PICTURE_SECONDS} s")
        time.sleep(0.05)


def keeps_picture(game, env, display, bkg, cfg, tmp):
    start = Start(game, env, display)
    cover = None
    try:
        origin = start.ended_start_up(cfg)
        start.scene_within(origin, bkg, cfg)
        x0, y0 = origin
        cover_log = open(os.path.join(tmp, "cover.log"), "w")
        cover = subprocess.Popen(["xmessage", "-geometry", f"{COVER_W}x{COVER_H}+{x0 + 200}+{y0 + 150}",
                                  "lying over the game"], env=dict(os.environ, DISPLAY=display),
                                 stdout=cover_log, stderr=cover_log)
        cover_log.close()
        other = xdotool(display, "search", "--sync", "--class", "^Xmessage$").split()[0]
        xdotool(display, "windowfocus", "--sync", other)
        started = time.monotonic()
        while shows_scene(display, origin, bkg, cfg):
            if time.monotonic() - started > COVER_SECONDS:
                raise Failed(f"the other window did not show over the game within {COVER_SECONDS} s")
            time.sleep(0.05)

        # Beside the game's window, partly off the screen if need be.
        xdotool(display, "windowmove", "--sync", other, x0 + W + 10, y0 + 150)
        uncovered = picture_within(display, origin, bkg, cfg, "the other window moved away")

        window = xdotool(display, "search", "--name", "^" + cfg["WND_NAME"] + "$").split()[0]
        xdotool(display, "windowunmap", "--sync", window)
        xdotool(display, "windowmap", "--sync", window)
        mapped = picture_within(display, origin, bkg, cfg, "the window unmapped and mapped again")
        if xdotool(display, "getwindowfocus").split()[0] != other:
            raise Failed("the other window lost the focus on the way")
        start.end()
        print(f"the scene again {uncovered:.2f} s after the other window moved away, "
              f"{mapped:.2f} s after the game's window was mapped again")
    except (Failed, subprocess.TimeoutExpired) as e:
        output = start.close()
        raise Failed(f"{e}" + (f"\n--- the game's output\n{output}" if output.strip() else ""))
    finally:
        if cover:
            cover.kill()
            cover.wait()
    start.close()


def main():
    maze, game_dir = sys.argv[1:3]

    def test(run):
        game, env = game_copy(maze, game_dir, run.tmp)
        keeps_picture(game, env, run.display, background(game), read_cfg(os.path.join(game, "maze.cfg")), run.tmp)

    return run_on_xvfb("talvo-xvfb-picture-", test)


if __name__ == "__main__":
    sys.exit(main())
