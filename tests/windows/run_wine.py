#!/usr/bin/env python3
"""run_wine.py - the Windows tests under Wine, with the archives they make read back on Linux.
   usage: run_wine.py <bin folder of the x86_64 build> [Linux sevenzip32]
One Wine prefix per run (wineboot -i) with one wineserver kept alive for the run (wineserver -p), code
page 932 (ja_JP.UTF-8), every Wine call under a time limit, so a hang fails with its name. Then:
  - each test_*.exe in the bin folder (GoogleTest) runs; it leaves the archives it made in the folder
    named by PAKUTO_WINE_ARCHIVES, and each of them must pass unzip -t, bsdtar -tf and Python's zipfile;
  - sevenzip32.exe archives a folder with a Japanese file name (the command in code page 932) and,
    given the Linux driver, the same folder; each entry's name, UTF-8 flag, compressed size and CRC
    must equal the Linux library's.
Ends with 'N passed, N failed'; exits 1 when anything failed."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import zipfile

WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
PREFIX = "a -tzip -hide -mx=9 -mfb=64 -mpass=4"
JAPANESE = "日本語の名前.txt"
results = []


def check(ok, what):
    results.append(ok)
    print(("[PASS] " if ok else "[FAIL] ") + what, flush=True)
    return ok


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def wine(env, args, seconds, what, quiet=False):
    """Runs a Windows program under Wine; returns its exit code, or None after a hang."""
    run = subprocess.run(["timeout", "-k", "10", str(seconds), WINE, *args], env=env,
                         **({"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL} if quiet else {}))
    if run.returncode in (124, 137):
        print(f"run_wine: HANG: {what} did not finish within {seconds} s under Wine", flush=True)
        return None
    return run.returncode


def readers_pass(archive):
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
    try:
        with zipfile.ZipFile(archive) as z:
            crc_ok = z.testzip() is None
    except (zipfile.BadZipFile, OSError):
        crc_ok = False
    return (crc_ok and subprocess.run(["unzip", "-tqq", archive], **quiet).returncode == 0
            and subprocess.run(["bsdtar", "-tf", archive], **quiet).returncode == 0)


def entries(archive):
    with zipfile.ZipFile(archive) as z:
        return {i.filename: (i.flag_bits & 0x800, i.compress_type, i.compress_size, i.CRC, i.file_size)
                for i in z.infolist()}


def make_sources(folder):
    rng = random.Random(15)
    words = [bytes(rng.choices(b"abcdefghijklmnopqrstuvwxyz", k=rng.randint(2, 9))) for _ in range(400)]
    files = {"empty.txt": b"", JAPANESE: "日本語の本文\n".encode() * 50, "sub/noise.bin": rng.randbytes(200_000),
             "sub/deep/words.txt": b" ".join(rng.choices(words, k=600_000))}
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, name)), exist_ok=True)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    return set(files)


def driver_checks(env, bin_dir, linux_driver, work):
    src = os.path.join(work, "src")
    names = make_sources(src)
    driver = os.path.join(bin_dir, "sevenzip32.exe")
    single = os.path.join(work, "japanese.zip")
    command = f'{PREFIX} "{windows_path(single)}" "{windows_path(src)}\\" "{JAPANESE}"'
    if check(wine(env, [driver, command], 120, "sevenzip32.exe") == 0 and readers_pass(single),
             "driver: a Japanese file name passed in code page 932 makes a readable archive"):
        flag, *_ = entries(single).get(JAPANESE, (0,))
        check(flag == 0x800, f"driver: the entry is named {JAPANESE} with the UTF-8 flag")
    if not linux_driver:
        return
    ours, theirs = os.path.join(work, "windows.zip"), os.path.join(work, "linux.zip")
    folder = f'{PREFIX} "{windows_path(ours)}" "{windows_path(src)}\\\\" "*.*" "-ir!*.*"'
    made = wine(env, [driver, folder], 300, "sevenzip32.exe (folder)") == 0
    made = subprocess.run([linux_driver, f'{PREFIX} "{theirs}" "{src}//" "*.*" "-ir!*.*"'],
                          stdout=subprocess.DEVNULL).returncode == 0 and made
    same = made and readers_pass(ours) and entries(ours) == entries(theirs) and names <= entries(ours).keys()
    check(same, "driver: a folder archived on Windows has the Linux library's names, sizes and CRCs")


def main(bin_dir, linux_driver=None):
    work = tempfile.mkdtemp(prefix="pakuto-wine-")
    env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8",
               PAKUTO_WINE_ARCHIVES=windows_path(os.path.join(work, "archives")))
    os.makedirs(os.path.join(work, "archives"))
    os.makedirs(env["WINEPREFIX"])  # the server is keyed by the prefix folder, so it exists first
    try:
        subprocess.run(["timeout", "30", WINESERVER, "-p"], env=env, check=True)
        if not check(wine(env, ["wineboot", "-i"], 240, "wineboot -i", quiet=True) == 0, "Wine prefix made"):
            return 1
        wine(env, ["reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f"], 60,
             "reg add", quiet=True)
        programs = sorted(p for p in os.listdir(bin_dir) if p.startswith("test_") and p.endswith(".exe"))
        check(bool(programs), f"Windows test programs found in {bin_dir}")
        for program in programs:
            code = wine(env, [os.path.join(bin_dir, program)], 900, program)
            check(code == 0, f"{program} under Wine (exit code {code})")
        archives = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(work, "archives")) for f in fs]
        if programs:
            check(bool(archives), "the test programs left their archives for the Linux readers")
        bad = [os.path.basename(a) for a in sorted(archives) if not readers_pass(a)]
        check(not bad, f"{len(archives)} archives of the test programs pass unzip -t, bsdtar -tf and zipfile"
              + (f"; not: {' '.join(bad)}" if bad else ""))
        driver_checks(env, bin_dir, linux_driver, work)
    finally:
        subprocess.run(["timeout", "30", WINESERVER, "-k"], env=env)
        if os.environ.get("PAKUTO_KEEP_WINE") != "1":
            shutil.rmtree(work, ignore_errors=True)
    print(f"run_wine: {results.count(True)} passed, {results.count(False)} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]) if 2 <= len(sys.argv) <= 3 else __doc__)
