#!/usr/bin/env python3
"""Side by side: Parlorix and the peer games installed from Debian, in one interleaved run under
one Xvfb, measured the same way for every program.

  bench/compare-peers.py [--game build/app/parlorix] [--runs 3] [--seconds 10]

For each run of each program: milliseconds from exec to its first mapped window, to the first
painted frame (the window's pixels no longer all one colour), resident memory (VmRSS) and
utime + stime over `--seconds` untouched on its first screen. Prints a table of medians; the
programs that are not installed are listed as missing. Needs Xvfb and xdotool.
"""
import argparse
import ctypes
import ctypes.util
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

PEERS = ["five-or-more", "swell-foop", "klines", "klickety", "kdiamond"]


class XImage(ctypes.Structure):
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.POINTER(ctypes.c_uint8)),
                ("byte_order", ctypes.c_int), ("bitmap_unit", ctypes.c_int),
                ("bitmap_bit_order", ctypes.c_int), ("bitmap_pad", ctypes.c_int),
                ("depth", ctypes.c_int), ("bytes_per_line", ctypes.c_int),
                ("bits_per_pixel", ctypes.c_int)]


class XWindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int), ("depth", ctypes.c_int),
                ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong), ("class_", ctypes.c_int),
                ("bit_gravity", ctypes.c_int), ("win_gravity", ctypes.c_int),
                ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int),
                ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
                ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
                ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
                ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p)]


class X:
    """The few Xlib calls needed to look at a window's pixels."""

    def __init__(self, display):
        self.lib = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
        self.lib.XOpenDisplay.restype = ctypes.c_void_p
        self.lib.XGetImage.restype = ctypes.POINTER(XImage)
        self.lib.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                                  ctypes.POINTER(XWindowAttributes)]
        self.lib.XDestroyImage = self.lib.XDestroyImage if hasattr(self.lib, "XDestroyImage") else None
        self.lib.XSetErrorHandler.argtypes = [ctypes.c_void_p]
        self._handler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
        self.lib.XSetErrorHandler(ctypes.cast(self._handler, ctypes.c_void_p))
        self.dpy = self.lib.XOpenDisplay(display.encode())
        if not self.dpy:
            raise RuntimeError("cannot open display " + display)

    def mapped_size(self, window):
        attrs = XWindowAttributes()
        if not self.lib.XGetWindowAttributes(self.dpy, window, ctypes.byref(attrs)):
            return None
        return (attrs.width, attrs.height) if attrs.map_state == 2 else None

    def painted(self, window):
        """True once the window shows more than one colour."""
        size = self.mapped_size(window)
        if not size or size[0] < 8 or size[1] < 8:
            return False
        w, h = size
        img = self.lib.XGetImage(self.dpy, window, 0, 0, w, h, 0xFFFFFFFF, 2)
        if not img:
            return False
        im = img.contents
        try:
            if im.bits_per_pixel != 32:
                return True
            data = ctypes.string_at(im.data, im.bytes_per_line * im.height)
            first = data[0:3]
            step = max(4, (len(data) // 20000) // 4 * 4)
            for i in range(0, len(data) - 4, step):
                if data[i:i + 3] != first:
                    return True
            return False
        finally:
            # XDestroyImage is a macro; the image's own destroy function frees it.
            self.lib.XFree(im.data)
            self.lib.XFree(img)


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def tree_cpu_seconds(pid):
    """The process and its children (a launcher may leave the game to a child)."""
    total = 0.0
    for p in [pid] + children(pid):
        try:
            total += cpu_seconds(p)
        except OSError:
            pass
    return total


def children(pid):
    out = []
    try:
        for entry in os.listdir(f"/proc/{pid}/task"):
            with open(f"/proc/{pid}/task/{entry}/children") as f:
                for c in f.read().split():
                    out.append(int(c))
                    out.extend(children(int(c)))
    except OSError:
        pass
    return out


def rss_mib(pid):
    total = 0
    for p in [pid] + children(pid):
        try:
            with open(f"/proc/{p}/status") as f:
                for line in f:
                    if line.startswith("VmRSS:"):
                        total += int(line.split()[1])
        except OSError:
            pass
    return total / 1024.0


def windows_of(display, pids):
    found = []
    for pid in pids:
        r = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)],
                           env=dict(os.environ, DISPLAY=display), capture_output=True, text=True)
        found += [int(w) for w in r.stdout.split()]
    return found


def measure(command, display, seconds, x, work):
    env = dict(os.environ, DISPLAY=display, SDL_AUDIODRIVER="dummy", XDG_CONFIG_HOME=f"{work}/config",
               XDG_DATA_HOME=f"{work}/share", XDG_CACHE_HOME=f"{work}/cache", XDG_RUNTIME_DIR=f"{work}/run",
               HOME=work, QT_QPA_PLATFORM="xcb", GDK_BACKEND="x11", NO_AT_BRIDGE="1")
    for d in ("config", "share", "cache", "run"):
        os.makedirs(f"{work}/{d}", exist_ok=True)
    os.chmod(f"{work}/run", 0o700)
    start = time.monotonic()
    proc = subprocess.Popen(["dbus-run-session", "--"] + command if shutil.which("dbus-run-session")
                            else command, cwd=work, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    mapped = painted = None
    window = None
    try:
        while time.monotonic() - start < 30 and proc.poll() is None:
            if window is None:
                wins = windows_of(display, children(proc.pid))
                for w in wins:
                    if x.mapped_size(w):
                        window, mapped = w, (time.monotonic() - start) * 1000
                        break
            if window is not None and x.painted(window):
                painted = (time.monotonic() - start) * 1000
                break
            time.sleep(0.005)
        if painted is None:
            return None
        time.sleep(2)  # let the first screen settle before the untouched stretch
        pids = children(proc.pid)
        cpu0 = sum(cpu_seconds(p) for p in pids if os.path.exists(f"/proc/{p}"))
        t0 = time.monotonic()
        time.sleep(seconds)
        cpu1 = sum(cpu_seconds(p) for p in pids if os.path.exists(f"/proc/{p}"))
        elapsed = time.monotonic() - t0
        rss = rss_mib(proc.pid)
        return {"mapped_ms": mapped, "painted_ms": painted, "rss_mib": rss,
                "cpu_percent": 100.0 * (cpu1 - cpu0) / elapsed}
    finally:
        left = children(proc.pid)
        try:
            os.killpg(proc.pid, signal.SIGTERM)
            proc.wait(timeout=10)
        except (OSError, subprocess.TimeoutExpired):
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()
        # The programs save their settings on the way out: their folder goes once they are gone.
        deadline = time.monotonic() + 10
        while any(os.path.exists(f"/proc/{p}") for p in left) and time.monotonic() < deadline:
            time.sleep(0.01)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser()
    ap.add_argument("--game", default=os.path.join(here, "..", "build", "app", "parlorix"))
    ap.add_argument("--data", help="folder with game.dat (default: the game's build tree)")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--seconds", type=float, default=10)
    args = ap.parse_args()
    game = os.path.abspath(args.game)
    data = os.path.abspath(args.data or os.path.join(os.path.dirname(game), ".."))

    programs = {"parlorix": [game]}
    missing = []
    for peer in PEERS:
        path = shutil.which(peer) or (f"/usr/games/{peer}" if os.path.exists(f"/usr/games/{peer}") else None)
        if path:
            programs[peer] = [path]
        else:
            missing.append(peer)

    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    display = ":" + xvfb.stdout.readline().decode().strip()
    results = {name: [] for name in programs}
    try:
        x = X(display)
        for run in range(args.runs):
            for name, command in programs.items():  # interleaved: one of each, then again
                with tempfile.TemporaryDirectory(prefix="parlorix-peers-", ignore_cleanup_errors=True) as work:
                    if name == "parlorix":
                        # The game finds its content beside its executable: a copy beside the
                        # archive runs as an installed game does.
                        for f in ("game.dat", "Game.ini"):
                            if os.path.exists(os.path.join(data, f)):
                                os.symlink(os.path.join(data, f), os.path.join(work, f))
                        if os.path.exists(os.path.join(data, "game.dat")):
                            shutil.copy(game, os.path.join(work, "parlorix"))
                            command = [os.path.join(work, "parlorix")]
                    r = measure(command, display, args.seconds, x, work)
                    if r:
                        results[name].append(r)
                    print(f"run {run + 1} {name}: {r}", file=sys.stderr)
    finally:
        xvfb.terminate()
        xvfb.wait()

    print(f"Medians of {args.runs} interleaved runs, Xvfb 1024 x 768 x 24, {args.seconds:g} s untouched:")
    print("| program | window mapped (ms) | first painted frame (ms) | resident memory (MiB) | idle CPU (% of one core) |")
    print("|---|---|---|---|---|")
    for name, rs in results.items():
        if not rs:
            print(f"| {name} | did not come up | | | |")
            continue

        def med(k):
            return statistics.median(r[k] for r in rs)

        print(f"| {name} | {med('mapped_ms'):.0f} | {med('painted_ms'):.0f} | {med('rss_mib'):.0f} | "
              f"{med('cpu_percent'):.1f} |")
    for peer in missing:
        print(f"| {peer} | not installed | | | |")


if __name__ == "__main__":
    main()
