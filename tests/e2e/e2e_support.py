"""e2e_support - shared pieces of the end-to-end tests: a private Xvfb display, child processes that
cannot outlive the test, and small X queries through xdotool and xprop. Python standard library only."""

import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

# CTest's code for "skipped" (SKIP_RETURN_CODE): used only when no display server can be started.
SKIP = 77

_children = []
_temp_dirs = []

# Set by main(): the parsed options of the running script and its display, for shared fixtures.
OPTIONS = None
DISPLAY = None
_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1


class NoDisplay(Exception):
    """No X display server could be started here."""


def _die_with_parent(parent):
    # Runs in the child before exec: the kernel kills it if the test process dies first, so neither
    # Xvfb nor the tool can outlive a test that was itself killed (a CTest timeout, for example).
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL)
    if os.getppid() != parent:
        os._exit(1)


def spawn(args, **kwargs):
    """Popen that is ended by stop_all() and killed with the test process."""
    parent = os.getpid()
    proc = subprocess.Popen(args, preexec_fn=lambda: _die_with_parent(parent), **kwargs)
    _children.append(proc)
    return proc


def stop(proc, grace=3.0):
    """Ends one child: SIGTERM, then SIGKILL after `grace` seconds. Returns its exit code."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
    return proc.returncode


def stop_all():
    for proc in reversed(_children):
        stop(proc)
    _children.clear()


def _on_signal(signum, _frame):
    # An exception raised here would be caught by unittest as one test's error and the run would go
    # on; a test run that is told to stop must stop, its children with it.
    stop_all()
    for path in _temp_dirs:
        shutil.rmtree(path, ignore_errors=True)
    os._exit(128 + signum)


def install_cleanup():
    """Makes SIGTERM/SIGINT/SIGHUP stop every spawned child and end the test run at once."""
    for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, _on_signal)


def temp_dir(prefix="pakuto-e2e-"):
    """A tempfile.TemporaryDirectory that is also removed when the run is stopped by a signal."""
    directory = tempfile.TemporaryDirectory(prefix=prefix)
    _temp_dirs.append(directory.name)
    return directory


class Xvfb:
    """A private virtual display; the server itself picks a free display number (-displayfd)."""

    def __init__(self, width=1024, height=768):
        self.size = f"{width}x{height}x24"
        self.proc = None
        self.name = None

    def start(self):
        server = shutil.which("Xvfb")
        if server is None:
            raise NoDisplay("Xvfb is not installed")
        read_end, write_end = os.pipe()
        try:
            self.proc = spawn([server, "-displayfd", str(write_end), "-screen", "0", self.size,
                               "-nolisten", "tcp", "-noreset"],
                              pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE)
        finally:
            os.close(write_end)
        number = b""
        deadline = time.monotonic() + 20
        with os.fdopen(read_end, "rb", buffering=0) as pipe:
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([pipe], [], [], 0.2)
                if ready:
                    chunk = pipe.read(16)
                    if not chunk:
                        break
                    number += chunk
        if not number.strip().isdigit():
            code = stop(self.proc)
            error = self.proc.stderr.read().decode(errors="replace")[-800:]
            raise NoDisplay(f"Xvfb did not start (exit {code}): {error}")
        self.name = ":" + number.strip().decode()
        return self

    def env(self, **extra):
        """The environment for a client of this display (a copy of ours, DISPLAY replaced)."""
        env = dict(os.environ)
        env.pop("WAYLAND_DISPLAY", None)
        env["DISPLAY"] = self.name
        env.update(extra)
        return env


def run(args, env, timeout=20, **kwargs):
    return subprocess.run(args, env=env, capture_output=True, timeout=timeout, **kwargs)


def find_windows(env, name_regex):
    """Ids of viewable windows whose name matches the regular expression (xdotool's matching)."""
    result = run(["xdotool", "search", "--onlyvisible", "--name", name_regex], env)
    return [int(line) for line in result.stdout.split()]


def window_title(env, window):
    """The title a window manager shows: _NET_WM_NAME, read with xprop and decoded from UTF-8."""
    result = run(["xprop", "-id", str(window), "-notype", "_NET_WM_NAME"], dict(env, LC_ALL="C.UTF-8"))
    match = re.match(rb'_NET_WM_NAME = "(.*)"\s*$', result.stdout, re.S)
    if result.returncode != 0 or match is None:
        return None
    # xprop writes '"' and '\' with a backslash and may write other bytes as \ooo octal.
    raw = re.sub(rb"\\([0-7]{3}|.)",
                 lambda m: bytes([int(m[1], 8)]) if len(m[1]) == 3 else m[1], match[1])
    return raw.decode("utf-8", errors="replace")


def window_geometry(env, window):
    """(x, y, width, height) of a window, from xdotool."""
    result = run(["xdotool", "getwindowgeometry", "--shell", str(window)], env)
    values = dict(line.split("=", 1) for line in result.stdout.decode().split() if "=" in line)
    return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def wait_until(predicate, timeout, what, proc=None, interval=0.1):
    """Polls `predicate` until it returns something true; fails with `what` on timeout, or at once
    when `proc` (the program being watched) has ended."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if proc is not None and proc.poll() is not None:
            raise AssertionError(f"{what}: the program ended first (exit code {proc.returncode})")
        if time.monotonic() > deadline:
            raise AssertionError(f"{what}: not within {timeout} s")
        time.sleep(interval)


def screenshot(env, path, window="root"):
    """Saves the whole display (or one window, by id) as PNG with ImageMagick's import; returns
    (width, height) read back from the file's header, so a missing or empty picture is noticed."""
    result = run(["import", "-window", str(window), str(path)], env, timeout=60)
    if result.returncode != 0:
        raise AssertionError(f"screenshot failed: {result.stderr.decode(errors='replace')}")
    with open(path, "rb") as f:
        header = f.read(24)
    if header[:8] != b"\x89PNG\r\n\x1a\n":
        raise AssertionError(f"{path} is not a PNG file")
    return int.from_bytes(header[16:20], "big"), int.from_bytes(header[20:24], "big")


def main(test_module_globals, parse_extra):
    """Common entry of the test scripts: parses options with `parse_extra(argv)`, starts the display
    (exit SKIP when none can be started), runs the module's unittest cases, stops every child."""
    import unittest

    install_cleanup()
    global OPTIONS, DISPLAY
    OPTIONS = test_module_globals["OPTIONS"] = parse_extra(sys.argv[1:])
    display = Xvfb()
    try:
        display.start()
    except NoDisplay as error:
        print(f"SKIP: no display server can be started here: {error}")
        stop_all()
        return SKIP
    DISPLAY = test_module_globals["DISPLAY"] = display
    try:
        program = unittest.main(module=test_module_globals["__name__"], argv=[sys.argv[0], "-v"],
                                exit=False)
    finally:
        stop_all()
    result = program.result
    if not result.wasSuccessful() or result.testsRun == 0:
        return 1
    if result.skipped:
        # CTest shows a skipped test as such; a partly skipped run must not pass as complete.
        for case, reason in result.skipped:
            print(f"SKIP {case.id()}: {reason}")
        return SKIP
    return 0
