"""The game under a real X server, played with the real mouse and keyboard.

    xvfb_play.py <maze executable> <game directory> <check_scene.py>

Starts Xvfb on a free display (-displayfd), copies the game directory (DATA/,
maze.cfg) and the executable into a temporary directory and runs it there
with SDL's X11 video driver and dummy audio, its single-instance directory
private (XDG_RUNTIME_DIR). xdotool waits for the window, focuses it, reads
its position, moves the pointer along the maze's solution from turn to turn,
each move once the game drew the ball at the last (a pointer outrunning the
game would be a jump, which the game tests along its way: across a corner
it loses), holds F9 across passes, then presses and releases the left button over
Quit, apart (all once the game has put the pointer on the start point, the
end of its start-up). The game must end with status 0 within the time limit, leaving
the snapshot of the won scene and a best_result above 0.

Exit status: 0 passed, 1 failed, 77 skipped (only when Xvfb does not start).
"""
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

from PIL import ImageGrab

SKIP = 77
STEP_SECONDS = 0.08   # a few passes of the game (FPS_LIMIT 10 ms, plus the drawing)
BALL_PELS = 100       # pels the ball changes around the point it is drawn at
HOLD_SECONDS = 0.3    # a key or button held across passes
GAME_SECONDS = 120    # the whole game, start to exit (a loaded machine)


class Failed(Exception):
    pass


def start_xvfb(log):
    """Xvfb on a free display: (process, ":N"), or exits with SKIP."""
    read_end, write_end = os.pipe()
    try:
        proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdout=log, stderr=log)
    except OSError as e:
        print(f"Xvfb could not start: {e}")
        sys.exit(SKIP)
    finally:
        os.close(write_end)
    number = b""
    deadline = time.monotonic() + 30
    while not number.endswith(b"\n"):
        left = deadline - time.monotonic()
        ready = select.select([read_end], [], [], max(left, 0))[0] if left > 0 else []
        chunk = os.read(read_end, 16) if ready else b""
        if not chunk:
            proc.kill()
            proc.wait()
            log.flush()
            with open(log.name, errors="replace") as f:
                reason = f.read().strip().splitlines()
            print("Xvfb could not start: " + (reason[-1] if reason else "no display number within 30 s"))
            sys.exit(SKIP)
        number += chunk
    os.close(read_end)
    return proc, ":" + number.decode().strip()


def stop_xvfb(proc):
    proc.terminate()
    try:
        proc.wait(timeout=10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


class Run:
    """What a test's body gets: its scratch directory, the display of the Xvfb
    started for it, that server's log and the servers to stop at the end (a
    test may start more)."""

    def __init__(self, tmp, display, log, servers):
        self.tmp, self.display, self.log, self.servers = tmp, display, log, servers


def run_on_xvfb(prefix, body):
    """The test's exit status: body(Run) in a new scratch directory, with a new
    Xvfb. 0 when it returns, 1 when it fails or times out (said on stdout).
    The servers are stopped and the directory removed whatever happens."""
    tmp = tempfile.mkdtemp(prefix=prefix)
    servers = []
    try:
        log = open(os.path.join(tmp, "xvfb.log"), "w")
        xvfb, display = start_xvfb(log)
        servers.append(xvfb)
        body(Run(tmp, display, log, servers))
        return 0
    except (Failed, subprocess.TimeoutExpired) as e:
        print(f"FAILED: {e}")
        return 1
    finally:
        for server in servers:
            stop_xvfb(server)
        shutil.rmtree(tmp, ignore_errors=True)


def xdotool(display, *args, timeout=20):
    env = dict(os.environ, DISPLAY=display)
    result = subprocess.run(["xdotool", *map(str, args)], env=env, capture_output=True, text=True,
                            timeout=timeout)
    if result.returncode != 0:
        raise Failed(f"xdotool {' '.join(map(str, args))}: {result.returncode} {result.stderr.strip()}")
    return result.stdout


def read_cfg(path):
    values = {}
    with open(path) as f:
        for line in f:
            if " = " in line:
                key, value = line.rstrip("\n").split(" = ", 1)
                values[key] = value
    return values


def game_copy(maze, game_dir, tmp, with_cfg=True):
    """The game directory copied into tmp/game (DATA/, the executable and,
    with with_cfg, maze.cfg), and the environment the game runs in there:
    SDL's X11 video and dummy audio, its single-instance directory private.
    Returns (game directory, environment)."""
    game = os.path.join(tmp, "game")
    os.makedirs(game)
    shutil.copytree(os.path.join(game_dir, "DATA"), os.path.join(game, "DATA"))
    if with_cfg:
        shutil.copy(os.path.join(game_dir, "maze.cfg"), game)
    shutil.copy(maze, os.path.join(game, "maze"))
    runtime = os.path.join(tmp, "runtime")
    os.mkdir(runtime, 0o700)
    env = {k: v for k, v in os.environ.items() if not k.startswith("SDL_")}
    env.update(SDL_VIDEODRIVER="x11", SDL_AUDIODRIVER="dummy", XDG_RUNTIME_DIR=runtime)
    return game, env


def play(maze, game_dir, check_scene, tmp, display):
    game, env = game_copy(maze, game_dir, tmp)
    env.update(DISPLAY=display)
    with open(os.path.join(game_dir, "solution.txt")) as f:
        solution = [tuple(int(v) for v in line.split()) for line in f if line.strip()]
    cfg = read_cfg(os.path.join(game, "maze.cfg"))

    def pointer():
        where = dict(v.split("=", 1) for v in xdotool(display, "getmouselocation", "--shell").split())
        return int(where["X"]), int(where["Y"])

    before = pointer()
    out = open(os.path.join(tmp, "maze.log"), "w+")
    proc = subprocess.Popen([os.path.join(game, "maze")], cwd=tmp, env=env, stdout=out, stderr=out)
    try:
        started = time.monotonic()
        # The game puts the pointer on the start point as the last step of its
        # start-up. Its window is looked for only then: SDL may replace the
        # first X window it made (a window surface with a renderer behind it).
        while pointer() == before:
            if proc.poll() is not None or time.monotonic() - started > GAME_SECONDS:
                raise Failed("the game never put the pointer on the start point")
            time.sleep(0.1)
        window = xdotool(display, "search", "--sync", "--name", "^" + cfg["WND_NAME"] + "$",
                         timeout=GAME_SECONDS).split()[0]
        xdotool(display, "windowfocus", "--sync", window)
        geometry = dict(line.split("=", 1) for line in xdotool(display, "getwindowgeometry", "--shell", window).split())
        x0, y0 = int(geometry["X"]), int(geometry["Y"])
        start = (x0 + int(cfg["start_x"]), y0 + int(cfg["start_y"]))
        if pointer() != start:
            raise Failed(f"the pointer is at {pointer()}, not on the start point {start}")

        def move(px, py):
            xdotool(display, "mousemove", x0 + px, y0 + py)
            time.sleep(STEP_SECONDS)

        def around(px, py):
            box = (x0 + px - 12, y0 + py - 12, x0 + px + 12, y0 + py + 12)
            return list(ImageGrab.grab(bbox=box, xdisplay=display).convert("RGB").getdata())

        def wait_for_ball(px, py, before):
            while sum(1 for a, b in zip(around(px, py), before) if a != b) < BALL_PELS:
                if proc.poll() is not None or time.monotonic() - started > GAME_SECONDS:
                    raise Failed(f"the game never drew the ball at {(px, py)}")
                time.sleep(0.03)

        # The scene drawn, the ball on the start point; then each turn of the
        # way (straight along the corridors between) once the ball is drawn
        # at the last, the goal last.
        def turns(points):
            return [b for a, b, c in zip(points, points[1:], points[2:]) if (a[0] == b[0]) != (b[0] == c[0])]

        wait_for_ball(*solution[0], [(0, 0, 0)] * 24 * 24)
        for px, py in turns(solution):
            before = around(px, py)
            move(px, py)
            wait_for_ball(px, py, before)
        move(*solution[-1])
        time.sleep(HOLD_SECONDS)
        xdotool(display, "keydown", "F9")
        time.sleep(HOLD_SECONDS)
        xdotool(display, "keyup", "F9")
        time.sleep(HOLD_SECONDS)
        move(int(cfg["but_exit_x"]) + 60, int(cfg["but_exit_y"]) + 20)
        time.sleep(HOLD_SECONDS)
        xdotool(display, "mousedown", 1)
        time.sleep(HOLD_SECONDS)
        xdotool(display, "mouseup", 1)
        try:
            status = proc.wait(timeout=max(GAME_SECONDS - (time.monotonic() - started), 1))
        except subprocess.TimeoutExpired:
            raise Failed(f"the game did not end within {GAME_SECONDS} s of its start")
        if status != 0:
            raise Failed(f"the game ended with status {status}")

        snapshot = os.path.join(game, cfg["WND_NAME"] + "_0.bmp")
        if not os.path.exists(snapshot):
            raise Failed(f"no snapshot {snapshot}: {sorted(os.listdir(game))}")
        goal, before = solution[-1], turns(solution)[-1]
        banner = f"{cfg['game_win_x']},{cfg['game_win_y']},400,120"
        if subprocess.run([sys.executable, check_scene, "bmp", snapshot, os.path.join(game, "DATA", "bkg.jpg"),
                           str(goal[0]), str(goal[1]), f"from={before[0]},{before[1]}", banner]).returncode != 0:
            raise Failed("the snapshot is not the won scene")
        best = int(read_cfg(os.path.join(game, "maze.cfg")).get("best_result", "0"))
        if best <= 0:
            raise Failed(f"best_result is {best} after the maze was solved")
        print(f"solved on {display}: best_result {best} ms, snapshot {os.path.basename(snapshot)}")
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        out.seek(0)
        text = out.read()
        if text.strip():
            print("--- the game's output\n" + text)


def main():
    maze, game_dir, check_scene = sys.argv[1:4]
    return run_on_xvfb("talvo-xvfb-", lambda run: play(maze, game_dir, check_scene, run.tmp, run.display))


if __name__ == "__main__":
    sys.exit(main())
