"""drop_test.py BUILD_DIR CMAKE - the installed tool under a private Xvfb display: the build is installed
into a temporary prefix, the installed pakuto started, and two files with odd names (a '*' beside a
bystander, a name whose bytes are not UTF-8) dragged onto its window from a GTK drag source moved by
xdotool. Exits 77 only when no display server can start."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import centre, drag, spawn, start_xvfb, stop_all, wait_for, window_of  # noqa: E402


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
    drag(env, [star, odd], *centre(env, target))

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
    stop_all()
