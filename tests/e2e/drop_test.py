"""drop_test.py BUILD_DIR CMAKE - the installed tool under a private Xvfb display: the build is installed
into a temporary prefix, the installed pakuto started, and two files with odd names (a '*' beside a
bystander, a name whose bytes are not UTF-8) dragged onto its window from a GTK drag source moved by
xdotool. Exits 77 only when no display server can start."""
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
procs = []


def spawn(args, **kwargs):
    proc = subprocess.Popen(args, **kwargs)
    procs.append(proc)
    return proc


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


def main():
    build, cmake = sys.argv[1], sys.argv[2]
    work = tempfile.mkdtemp(prefix="pakuto-e2e-")
    prefix, files = os.path.join(work, "prefix"), os.path.join(work, "files")
    subprocess.run([cmake, "--install", build, "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)
    os.makedirs(files)
    star, odd = os.path.join(files, "*"), os.fsdecode(os.path.join(files.encode(), b"bad\xff"))
    for path in (star, odd, os.path.join(files, "a")):
        with open(path, "wb") as f:
            f.write(b"data of " + os.fsencode(os.path.basename(path)))
    with open(os.path.join(prefix, "bin", "pakuto.ini"), "w") as f:
        f.write("[Main]\nDelete=0\nCompEachFileAtSubFolder=0\nCommandLine=a -tzip -hide -mx=1\n")

    display = start_xvfb()
    if display is None:
        print("SKIP: no display server could be started")
        return 77
    env = dict(os.environ, DISPLAY=display, HOME=work)
    env.pop("QT_QPA_PLATFORM", None)
    env.pop("WAYLAND_DISPLAY", None)
    tool = spawn([os.path.join(prefix, "bin", "pakuto")], env=env)
    target = wait_for(lambda: window_of(env, "^Pakuto"), "the pakuto window")
    spawn(["/usr/bin/python3", os.path.join(HERE, "drag_source.py"), "600", "450",
           os.fsencode(star).hex(), os.fsencode(odd).hex()], env=env)
    source = wait_for(lambda: window_of(env, "gtk-drag-source"), "the drag source window")
    time.sleep(0.5)
    (sx, sy), (tx, ty) = centre(env, source), centre(env, target)
    steps = [["mousemove", str(sx), str(sy)], ["mousedown", "1"]]
    for i in range(1, 11):
        steps.append(["mousemove", str(sx + (tx - sx) * i // 10), str(sy + (ty - sy) * i // 10)])
    steps += [["mousemove", str(tx + 1), str(ty + 1)], ["mouseup", "1"]]
    for step in steps:
        subprocess.run(["xdotool"] + step, env=env, check=True)
        time.sleep(0.15)

    expected = {os.path.join(files, "*.zip"): b"*", odd + ".zip": b"bad\xff"}
    wait_for(lambda: all(os.path.exists(a) for a in expected), "both archives")
    time.sleep(1)
    assert tool.poll() is None, "pakuto ended"
    for archive, name in expected.items():
        subprocess.run(["unzip", "-tqq", archive], check=True)
        with zipfile.ZipFile(archive) as z:
            assert z.testzip() is None, archive
            names = [i.orig_filename.encode("utf-8" if i.flag_bits & 0x800 else "cp437")
                     for i in z.infolist()]
            assert names == [name], f"{archive}: {names}"
    left = sorted(os.listdir(files.encode()))
    assert left == [b"*", b"*.zip", b"a", b"bad\xff", b"bad\xff.zip"], left
    shutil.rmtree(work)
    print("PASS: both dropped files archived under their exact names")
    return 0


try:
    sys.exit(main())
finally:
    for p in reversed(procs):
        p.kill()
        p.wait()
