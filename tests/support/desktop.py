"""desktop.py - a private Xvfb display and real drops on it, for the end-to-end tests: the processes
started here are ended by stop_all(); drag() moves the mouse with xdotool from the GTK drag source
(tests/e2e/drag_source.py), which offers the paths as text/uri-list, to a point of the target."""
import os
import select
import shutil
import subprocess
import time

DRAG_SOURCE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e", "drag_source.py")
procs = []


def spawn(args, **kwargs):
    proc = subprocess.Popen(args, **kwargs)
    procs.append(proc)
    return proc


def stop_all():
    for p in reversed(procs):
        p.kill()
        p.wait()


def start_xvfb():
    """The display name of a new Xvfb, which picks a free display number itself; None when it cannot."""
    server = shutil.which("Xvfb")
    if server is None:
        return None
    read_end, write_end = os.pipe()
    spawn([server, "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
          pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb", buffering=0) as pipe:
        while not number.endswith(b"\n") and select.select([pipe], [], [], 20)[0]:
            chunk = pipe.read(16)
            if not chunk:
                break
            number += chunk
    return ":" + number.strip().decode() if number.strip().isdigit() else None


def wait_for(predicate, what, timeout=60):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        result = predicate()
        if result:
            return result
        time.sleep(0.2)
    raise SystemExit(f"FAIL: timed out waiting for {what}")


def window_of(env, name):
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name], env=env,
                           capture_output=True, text=True).stdout.split()
    return found[0] if found else None


def centre(env, window):
    out = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=env,
                         capture_output=True, text=True, check=True).stdout
    g = dict(line.split("=") for line in out.split())
    return int(g["X"]) + int(g["WIDTH"]) // 2, int(g["Y"]) + int(g["HEIGHT"]) // 2


def drag(env, paths, tx, ty):
    """Drags `paths` (str or bytes) from a new drag source onto the screen point tx, ty and drops them."""
    spawn(["/usr/bin/python3", DRAG_SOURCE, "600", "450"] + [os.fsencode(p).hex() for p in paths], env=env)
    source = wait_for(lambda: window_of(env, "gtk-drag-source"), "the drag source window")
    time.sleep(0.5)
    sx, sy = centre(env, source)
    steps = [["mousemove", str(sx), str(sy)], ["mousedown", "1"]]
    for i in range(1, 11):
        steps.append(["mousemove", str(sx + (tx - sx) * i // 10), str(sy + (ty - sy) * i // 10)])
    steps += [["mousemove", str(tx + 1), str(ty + 1)], ["mouseup", "1"]]
    for step in steps:
        subprocess.run(["xdotool"] + step, env=env, check=True)
        time.sleep(0.15)
    wait_for(lambda: not window_of(env, "gtk-drag-source"), "the drag source to quit after the drop")
