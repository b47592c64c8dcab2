"""The game asked to end under a real X server, as its player or the system would.

    xvfb_quit.py <maze executable> <game directory>

Copies the game directory (DATA/, maze.cfg) and the executable into a
temporary directory and starts the game there, case after case, with SDL's
X11 video driver and dummy audio on a private Xvfb display, each time from
the game's own maze.cfg less one key (which the game writes back at exit)
and with the case's keys changed or added:

- FPS_LIMIT 100000 (a pass every 100 s), once start-up has ended (the game
  put the pointer on the start point): the window's close as a window manager
  asks for it (WM_DELETE_WINDOW), a termination, an interrupt and a hang-up
  signal each end the game within END_SECONDS, with status 0 and maze.cfg
  written back;
- SCR_LX 640, a start the game refuses: its box lies wholly on the screen,
  wherever the game's window is (centred, or placed by WINDOW_X and WINDOW_Y
  half off the screen); once the box is mapped, a termination or an interrupt
  signal closes it and the game ends within END_SECONDS with status 1,
  maze.cfg written back and no box left on the screen.

Exit status: 0 passed, 1 failed, 77 skipped (only when Xvfb does not start).
"""
import ctypes
import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from xvfb_play import Failed, game_copy, read_cfg, run_on_xvfb, xdotool  # noqa: E402

START_SECONDS = 60    # from the game's start to the end of its start-up, or to its box
END_SECONDS = 10      # from the request to the exit: the loop looks every 50 ms; the rest is
                      # the exit path, and a leak check in the sanitized build
DROPPED = "NEED_GFX"  # the key taken out of maze.cfg before each start
BOX_CAPTION = "Error Message"


class TextProperty(ctypes.Structure):  # XTextProperty
    _fields_ = [("value", ctypes.c_void_p), ("encoding", ctypes.c_ulong), ("format", ctypes.c_int),
                ("nitems", ctypes.c_ulong)]


class WindowAttributes(ctypes.Structure):  # XWindowAttributes
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("class_", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


IS_VIEWABLE = 2  # map_state of a mapped window whose parents are mapped
ErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)


def xlib():
    """libX11 (as SDL's X11 driver loads it), with the calls used here declared."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                               ctypes.POINTER(ctypes.c_uint)]
    x11.XGetWMName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(TextProperty)]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(WindowAttributes)]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    x11.XSetErrorHandler.restype = ctypes.c_void_p
    x11.XSetErrorHandler.argtypes = [ErrorHandler]
    return x11


class Connection:
    """One connection to the display for the whole test: while a client stays,
    the server does not reset between the game's starts (which would refuse
    connections for a moment). X errors (a window gone meanwhile) are ignored."""

    def __init__(self, display):
        self.x11 = xlib()
        self.ignore = ErrorHandler(lambda d, e: 0)
        self.x11.XSetErrorHandler(self.ignore)
        self.d = self.x11.XOpenDisplay(display.encode())
        if not self.d:
            raise Failed(f"cannot open the display {display}")

    def close(self):
        self.x11.XCloseDisplay(self.d)

    def windows_named(self, name):
        """The top-level windows with that title (xdotool does not find the box's)."""
        x11, d = self.x11, self.d
        root, parent, count = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_uint()
        children = ctypes.POINTER(ctypes.c_ulong)()
        if not x11.XQueryTree(d, x11.XDefaultRootWindow(d), ctypes.byref(root), ctypes.byref(parent),
                              ctypes.byref(children), ctypes.byref(count)):
            return []
        found = []
        for i in range(count.value):
            title = TextProperty()
            if x11.XGetWMName(d, children[i], ctypes.byref(title)) and title.value:
                if ctypes.string_at(title.value, title.nitems).decode(errors="replace") == name:
                    found.append(children[i])
                x11.XFree(title.value)
        if children:
            x11.XFree(children)
        return found

    def attributes(self, window):
        """The window's XWindowAttributes (its place in its parent: the root, without a window manager),
        or None once it is gone."""
        attributes = WindowAttributes()
        if not self.x11.XGetWindowAttributes(self.d, window, ctypes.byref(attributes)):
            return None
        return attributes

    def send_close(self, window):
        """WM_DELETE_WINDOW to a window, as a window manager sends it for its close box."""

        class ClientMessage(ctypes.Structure):  # XClientMessageEvent, padded to an XEvent's 192 bytes
            _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                        ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                        ("message_type", ctypes.c_ulong), ("format", ctypes.c_int), ("data", ctypes.c_long * 5),
                        ("pad", ctypes.c_char * 96)]

        event = ClientMessage(type=33, window=window, format=32)  # ClientMessage
        event.message_type = self.x11.XInternAtom(self.d, b"WM_PROTOCOLS", 0)
        event.data[0] = self.x11.XInternAtom(self.d, b"WM_DELETE_WINDOW", 0)
        self.x11.XSendEvent(self.d, window, 0, 0, ctypes.byref(event))
        self.x11.XFlush(self.d)


def start_up_ended(display, window, cfg):
    """Whether the game put the pointer on its start point (the end of its start-up)."""
    geometry = dict(v.split("=", 1) for v in xdotool(display, "getwindowgeometry", "--shell", window).split())
    where = dict(v.split("=", 1) for v in xdotool(display, "getmouselocation", "--shell").split())
    return (int(where["X"]), int(where["Y"])) == (int(geometry["X"]) + int(cfg["start_x"]),
                                                  int(geometry["Y"]) + int(cfg["start_y"]))


def box_on_the_screen(x, box, started):
    """Once the box is mapped: it lies wholly on the screen."""
    while True:
        placed = x.attributes(box)
        if placed is None:
            raise Failed("the box went before it was mapped")
        if placed.map_state == IS_VIEWABLE:
            break
        if time.monotonic() - started > START_SECONDS:
            raise Failed(f"the box was not mapped within {START_SECONDS} s")
        time.sleep(0.05)
    screen = x.attributes(x.x11.XDefaultRootWindow(x.d))
    if (placed.x < 0 or placed.y < 0 or placed.x + placed.width > screen.width
            or placed.y + placed.height > screen.height):
        raise Failed(f"the box ({placed.width} x {placed.height} at {placed.x}, {placed.y}) runs off the "
                     f"{screen.width} x {screen.height} screen")


def as_from_a_terminal():
    for s in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(s, signal.SIG_DFL)


def run_case(what, game, game_dir, env, x, display, keys, wait_for_box, ask, status_wanted):
    cfg_path = os.path.join(game, "maze.cfg")
    lines = [line for line in open(os.path.join(game_dir, "maze.cfg")) if not line.startswith(DROPPED + " = ")]
    lines = [f"{line.split(' = ')[0]} = {keys[line.split(' = ')[0]]}\n" if line.split(" = ")[0] in keys else line
             for line in lines]
    present = {line.split(" = ")[0] for line in lines}
    lines += [f"{key} = {value}\n" for key, value in keys.items() if key not in present]
    with open(cfg_path, "w") as f:
        f.writelines(lines)
    cfg = read_cfg(cfg_path)
    log = open(os.path.join(game, "run.log"), "w+")
    proc = subprocess.Popen([os.path.join(game, "maze")], cwd=game, env=dict(env, DISPLAY=display), stdout=log,
                            stderr=log, preexec_fn=as_from_a_terminal)
    try:
        started = time.monotonic()
        target = None
        while target is None:
            if proc.poll() is not None:
                raise Failed(f"the game ended during start-up with status {proc.returncode}")
            if time.monotonic() - started > START_SECONDS:
                raise Failed(f"no {'box' if wait_for_box else 'started window'} within {START_SECONDS} s")
            found = x.windows_named(BOX_CAPTION if wait_for_box else cfg["WND_NAME"])
            if found and (wait_for_box or start_up_ended(display, found[0], cfg)):
                target = found[0]
            else:
                time.sleep(0.05)
        if wait_for_box:
            box_on_the_screen(x, target, started)
        asked = time.monotonic()
        ask(proc, x, target)
        try:
            status = proc.wait(timeout=END_SECONDS)
        except subprocess.TimeoutExpired:
            raise Failed(f"the game did not end within {END_SECONDS} s of the request")
        seconds = time.monotonic() - asked
        if status != status_wanted:
            raise Failed(f"the game ended with status {status}, not {status_wanted}")
        if DROPPED not in read_cfg(cfg_path):
            raise Failed("maze.cfg was not written back")
        if x.windows_named(BOX_CAPTION):
            raise Failed("a box is left on the screen")
        print(f"{what}: ended {seconds:.2f} s after the request, status {status}, maze.cfg written")
    except (Failed, subprocess.TimeoutExpired) as e:
        if proc.poll() is None:
            proc.kill()
            proc.wait()
        log.seek(0)
        output = log.read()
        raise Failed(f"{what}: {e}" + (f"\n--- the game's output\n{output}" if output.strip() else ""))
    finally:
        log.close()


def main():
    maze, game_dir = sys.argv[1:3]

    def sends(s):
        return lambda proc, x, window: proc.send_signal(s)

    slow = {"FPS_LIMIT": "100000"}
    cases = [
        ("FPS_LIMIT 100000, the window closed", slow, False, lambda proc, x, window: x.send_close(window), 0),
        ("FPS_LIMIT 100000, SIGTERM", slow, False, sends(signal.SIGTERM), 0),
        ("FPS_LIMIT 100000, SIGINT", slow, False, sends(signal.SIGINT), 0),
        ("FPS_LIMIT 100000, SIGHUP", slow, False, sends(signal.SIGHUP), 0),
        ("SCR_LX 640 refused, SIGTERM at its box", {"SCR_LX": "640"}, True, sends(signal.SIGTERM), 1),
        ("SCR_LX 640 refused, the window half off the screen, SIGINT at its box",
         {"SCR_LX": "640", "WINDOW_STORE_POSITION": "1", "WINDOW_X": "700", "WINDOW_Y": "500"}, True,
         sends(signal.SIGINT), 1),
    ]

    def test(run):
        game, env = game_copy(maze, game_dir, run.tmp, with_cfg=False)
        x = Connection(run.display)
        try:
            for what, keys, box, ask, status in cases:
                run_case(what, game, game_dir, env, x, run.display, keys, box, ask, status)
        finally:
            x.close()

    return run_on_xvfb("talvo-xvfb-quit-", test)


if __name__ == "__main__":
    sys.exit(main())
