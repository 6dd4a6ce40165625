#!/usr/bin/env python3
"""run_wine.py - the Windows tests under Wine, the archives they make read back on Linux.
   usage: run_wine.py <bin folder of the x86_64 build> [Linux sevenzip32]
A Wine prefix per run, one wineserver -p for it, code page 932 (ja_JP.UTF-8), every Wine call under a
time limit (a hang fails with its name). Each test_*.exe runs and leaves its archives in the folder
PAKUTO_WINE_ARCHIVES names: each must pass unzip -t, bsdtar -tf and zipfile. sevenzip32.exe archives a
Japanese name passed in code page 932 and a folder whose entries (name, UTF-8 flag, sizes, CRC) must
equal the Linux driver's. Ends with 'N passed, N failed'."""
import os
import random
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from wine import QUIET, entries, prefix, windows_path, wine  # noqa: E402

PREFIX = "a -tzip -hide -mx=9 -mfb=64 -mpass=4"
JAPANESE = "日本語の名前.txt"
results = []


def check(ok, what):
    results.append(ok)
    print(("[PASS] " if ok else "[FAIL] ") + what, flush=True)


def driver_checks(env, bin_dir, linux_driver, work):
    rng, src = random.Random(15), os.path.join(work, "src")
    words = [bytes(rng.choices(b"abcdefghijklmnopqrstuvwxyz", k=rng.randint(2, 9))) for _ in range(400)]
    files = {"empty.txt": b"", JAPANESE: "日本語の本文\n".encode() * 50, "sub/noise.bin": rng.randbytes(200_000),
             "sub/deep/words.txt": b" ".join(rng.choices(words, k=600_000))}  # two pieces for two workers
    for name, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(src, name)), exist_ok=True)
        with open(os.path.join(src, name), "wb") as f:
            f.write(data)
    driver, single = os.path.join(bin_dir, "sevenzip32.exe"), os.path.join(work, "japanese.zip")
    wine(env, [driver, f'{PREFIX} "{windows_path(single)}" "{windows_path(src)}\\" "{JAPANESE}"'], 120, "sevenzip32")
    check((entries(single) or {}).get(JAPANESE, (0,))[0] == 0x800,
          f"driver: {JAPANESE} passed in code page 932 is stored under its name with the UTF-8 flag")
    if linux_driver:
        ours, theirs = os.path.join(work, "windows.zip"), os.path.join(work, "linux.zip")
        wine(env, [driver, f'{PREFIX} "{windows_path(ours)}" "{windows_path(src)}\\\\" "*.*" "-ir!*.*"'], 300,
             "sevenzip32 (folder)")
        subprocess.run([linux_driver, f'{PREFIX} "{theirs}" "{src}//" "*.*" "-ir!*.*"'], **QUIET)
        made = entries(ours) or {}
        check(made == entries(theirs) and files.keys() <= made.keys(),
              "driver: a folder archived on Windows has the Linux library's names, sizes and CRCs")


def main(bin_dir, linux_driver=None):
    bin_dir, work = os.path.abspath(bin_dir), tempfile.mkdtemp(prefix="pakuto-wine-")
    os.makedirs(os.path.join(work, "archives"))
    try:
        with prefix(work, PAKUTO_WINE_ARCHIVES=windows_path(os.path.join(work, "archives"))) as env:
            programs = sorted(p for p in os.listdir(bin_dir) if p.startswith("test_") and p.endswith(".exe"))
            for program in programs:
                code = wine(env, [os.path.join(bin_dir, program)], 900, program)
                check(code == 0, f"{program} under Wine (exit code {code})")
            archives = [os.path.join(d, f) for d, _, fs in os.walk(os.path.join(work, "archives")) for f in fs]
            bad = [os.path.basename(a) for a in sorted(archives) if entries(a) is None]
            check(bool(programs and archives and not bad), f"{len(programs)} test programs left {len(archives)} "
                  f"archives; unzip -t, bsdtar -tf and zipfile pass on all but {bad}")
            driver_checks(env, bin_dir, linux_driver, work)
    finally:
        if os.environ.get("PAKUTO_KEEP_WINE") != "1":
            shutil.rmtree(work, ignore_errors=True)
    print(f"run_wine: {results.count(True)} passed, {results.count(False)} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]) if 2 <= len(sys.argv) <= 3 else __doc__)
