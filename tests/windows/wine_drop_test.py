#!/usr/bin/env python3
"""wine_drop_test.py BIN_DIR VERSION - Pakuto.exe under Wine on a private Xvfb display, dropped on for
real: files and folders dragged from a GTK drag source (moved by xdotool) onto its list, read and driven
by probe.exe in the same Wine prefix, code page 932. Pakuto.exe runs from a copy of its folder with
7-zip32.dll; archives are read back by unzip -t, bsdtar -tf and zipfile. Then the settings file written on
close and the error box when the library is missing. Exits 77 only when no display server can start."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import drag, spawn, start_xvfb, stop_all, window_of  # noqa: E402
from wine import WINE, entries, prefix, windows_path  # noqa: E402

BUSY, DONE = " [処理中]", " [完了]"
MISSING = "7-Zip32.dllが見つかりません"
TEXT, JP, HEBREW, EMOJI = "日本語の本文\n".encode(), "日本語の名前", "\u05d0.txt", "\U0001f600.txt"
# name; chkDelete, chkEachFile; the files made ({path: data}); the paths dropped, in order; the list's
# lines, top first (tag, how the line ends); the archives ({path: {entry: source path, None for a
# folder}}); the paths gone after the drop; whether the busy caption must be seen (a drop long enough
# for the probe to see it).
ROWS = [
    ("a file; caption busy, then done", 0, 1, {"big.bin": random.Random(16).randbytes(8 << 20)},
     ["big.bin"], [("[OK]", "big.zip")], {"big.zip": {"big.bin": "big.bin"}}, [], True),
    ("a folder whole", 0, 0, {"docs/a.txt": b"a", "docs/sub/b.txt": TEXT}, ["docs"], [("[OK]", "docs.zip")],
     {"docs.zip": {"a.txt": "docs/a.txt", "sub/": None, "sub/b.txt": "docs/sub/b.txt"}}, [], False),
    ("a folder file by file, subfolders first", 0, 1, {"docs/a.txt": b"top", "docs/sub/a.txt": TEXT},
     ["docs"], [("[OK]", "a (2).zip"), ("[OK]", "a.zip")],
     {"a.zip": {"a.txt": "docs/sub/a.txt"}, "a (2).zip": {"a.txt": "docs/a.txt"}}, [], False),
    ("the delete box: a file and a folder gone once archived", 1, 0, {"gone.txt": TEXT, "tree/x.txt": b"x"},
     ["gone.txt", "tree"], [("[OK]", "tree.zip"), ("[OK]", "gone.zip")],
     {"gone.zip": {"gone.txt": "gone.txt"}, "tree.zip": {"x.txt": "tree/x.txt"}}, ["gone.txt", "tree"], False),
    ("names code page 932 cannot carry: [NG], nothing deleted", 1, 1,
     {"café.txt": b"e", "cafe.txt": b"bystander", HEBREW: b"alef", EMOJI: b"smile"}, ["café.txt", HEBREW, EMOJI],
     [("[NG]", EMOJI), ("[NG]", HEBREW), ("[NG]", "café.txt")], {}, [], False),
    ("Japanese names under code page 932", 0, 1, {JP + ".txt": TEXT, "報告書.txt": TEXT * 40},
     [JP + ".txt", "報告書.txt"], [("[OK]", "報告書.zip"), ("[OK]", JP + ".zip")],
     {JP + ".zip": {JP + ".txt": JP + ".txt"}, "報告書.zip": {"報告書.txt": "報告書.txt"}}, [], False),
]
results = []
START = time.monotonic()


def check(problems, what):
    results.append(not problems)
    print(("[PASS] " if not problems else "[FAIL] ") + f"{what} ({time.monotonic() - START:.0f} s)"
          + "".join("\n    " + p for p in problems), flush=True)


def probe(env, bin_dir, *args, on_ready=None, again=True):
    """probe.exe's output as (tag, value) pairs; on_ready(pairs so far) runs when it prints "ready"."""
    run = spawn(["timeout", "-k", "10", "180", WINE, os.path.join(bin_dir, "probe.exe"), *args], env=env,
                stdout=subprocess.PIPE)
    out = []
    for raw in run.stdout:
        tag, _, value = raw.decode("utf-8", "replace").rstrip("\r\n").partition("\t")
        out.append((tag, value))
        if tag == "ready":
            on_ready(out)
    if run.wait() != 0 and not out and again:  # once in many runs Wine ended it at its start, silently
        return probe(env, bin_dir, *args, on_ready=on_ready, again=False)
    if run.returncode != 0:
        out.append(("probe", f"exit code {run.returncode}: " + " ".join(v for t, v in out if t == "probe")))
    return out


def ended(tool):
    """The exit code of a Pakuto.exe that should end now; None when it does not within a minute."""
    try:
        return tool.wait(60)
    except subprocess.TimeoutExpired:
        return None


def tree(folder):
    return {os.path.relpath(os.path.join(d, f), folder) for d, _, fs in os.walk(folder) for f in fs}


def drop_row(env, bin_dir, folder, version, row):
    _, delete, each, files, dropped, lines, archives, gone, busy = row
    for path, data in files.items():
        os.makedirs(os.path.dirname(os.path.join(folder, path)), exist_ok=True)
        with open(os.path.join(folder, path), "wb") as f:
            f.write(data)

    def drop(out):
        x, y = (int(v) for v in dict(out)["centre"].split())
        drag(env, [os.path.join(folder, p) for p in dropped], x, y)

    out = probe(env, bin_dir, "find", "check", "0", str(delete), "check", "1", str(each),
                "title", version, "dump", "ready", "wait", DONE, "dump", on_ready=drop)
    after = out[next((i for i, (t, _) in enumerate(out) if t == "ready"), len(out)):]
    problems = [f"probe: {v}" for t, v in out if t == "probe"]
    captions = [v for t, v in after if t == "caption"]
    if busy and version + BUSY not in captions:
        problems.append(f"the busy caption was not seen: {captions}")
    shown = [v for t, v in after if t == "line"]
    if len(shown) != len(lines) or not all(s.startswith(t) and s.endswith(e) for s, (t, e) in zip(shown, lines)):
        problems.append(f"list lines {shown}, expected {lines}")
    kept = {p for p in files if not any(p == g or p.startswith(g + "/") for g in gone)}
    if tree(folder) != kept | archives.keys() or any(os.path.exists(os.path.join(folder, g)) for g in gone):
        problems.append(f"files {sorted(tree(folder))}, expected {sorted(kept | archives.keys())}")
    for path in kept & tree(folder):
        with open(os.path.join(folder, path), "rb") as f:
            if f.read() != files[path]:
                problems.append(f"{path} changed")
    for archive, content in archives.items():
        found = entries(os.path.join(folder, archive)) if os.path.exists(os.path.join(folder, archive)) else None
        want = {e: (zlib.crc32(files.get(s, b"")), len(files.get(s, b""))) for e, s in content.items()}
        if {e: (v[3], v[4]) for e, v in (found or {}).items()} != want:
            problems.append(f"{archive}: entries {found}, expected names, CRCs and sizes {want}")
    return problems


def library_missing(env, bin_dir, work, planted):
    """Pakuto.exe alone in its folder, started in a folder that holds 7-zip32.dll when `planted`."""
    current = os.path.join(work, "planted" if planted else "alone")
    os.makedirs(os.path.join(current, "app"))
    shutil.copy(os.path.join(bin_dir, "Pakuto.exe"), os.path.join(current, "app"))
    if planted:
        shutil.copy(os.path.join(bin_dir, "7-zip32.dll"), current)
    tool = spawn(["timeout", "-k", "10", "120", WINE, windows_path(os.path.join(current, "app", "Pakuto.exe"))],
                 env=env, cwd=current)
    out = probe(env, bin_dir, "box", "Pakuto-")
    problems = [f"probe: {v}" for t, v in out if t == "probe"]
    if ("text", MISSING) not in out:
        problems.append(f"the error box read {out}")
    if ended(tool) is None or os.path.exists(os.path.join(current, "app", "Pakuto.ini")):
        problems.append(f"exit code {tool.returncode}; settings file written: "
                        f"{os.path.exists(os.path.join(current, 'app', 'Pakuto.ini'))}")
    return problems


def main(bin_dir, version):
    bin_dir, work = os.path.abspath(bin_dir), tempfile.mkdtemp(prefix="pakuto-wine-e2e-")
    version = "Pakuto Ver." + version
    display = start_xvfb()
    if display is None:
        print("SKIP: no display server could be started")
        return 77
    try:
        with prefix(work, DISPLAY=display) as env:
            app = os.path.join(work, "app")
            os.makedirs(app)
            for name in ("Pakuto.exe", "7-zip32.dll"):
                shutil.copy(os.path.join(bin_dir, name), app)
            tool = spawn(["timeout", "-k", "10", "600", WINE, windows_path(os.path.join(app, "Pakuto.exe"))],
                         env=env, cwd=work)
            first = probe(env, bin_dir, "find", "dump", "click", "box", "Pakuto-について")
            want = [("caption", version), ("check", "0\t0"), ("check", "1\t1"), ("edit", ".zip"), ("text", version)]
            check([] if all(p in first for p in want) else [f"read {first}"],
                  "first start: the defaults shown; the About box shows the version and closes on Esc")
            if ("caption", version) not in first:
                raise SystemExit("FAIL: no main window")
            for number, row in enumerate(ROWS):
                os.makedirs(os.path.join(work, "files", str(number)))
                check(drop_row(env, bin_dir, os.path.join(work, "files", str(number)), version, row), row[0])
            if os.environ.get("PAKUTO_WINE_SCREENSHOT"):
                subprocess.run(["import", "-window", window_of(env, "^" + version),
                                os.environ["PAKUTO_WINE_SCREENSHOT"]], env=env, check=True)
            out = probe(env, bin_dir, "find", "check", "0", "1", "check", "1", "0", "edit", ".圧縮", "close")
            code = ended(tool)
            ini = os.path.join(app, "Pakuto.ini")
            text = open(ini, "rb").read().decode("cp932").split("\r\n") if os.path.exists(ini) else []
            want = ["[Main]", "Delete=1", "CompEachFileAtSubFolder=0", "Extension=.圧縮",
                    "CommandLine=a -tzip -hide -mx=9 -mfb=64 -mpass=4", ""]
            check([] if text == want and code == 0 else [f"exit code {code}, {out}, Pakuto.ini: {text}"],
                  "the settings file written on close, in its order, in code page 932")
            # A library found at start that cannot be loaded: the drop gets its [NG] line, nothing goes.
            broken = os.path.join(work, "broken")
            os.makedirs(os.path.join(broken, "files"))
            shutil.copy(os.path.join(bin_dir, "Pakuto.exe"), broken)
            with open(os.path.join(broken, "7-zip32.dll"), "wb") as f:
                f.write(b"MZ not a library")
            tool = spawn(["timeout", "-k", "10", "300", WINE, windows_path(os.path.join(broken, "Pakuto.exe"))],
                         env=env, cwd=work)
            row = ("a library that cannot be loaded: [NG], nothing deleted", 1, 1, {"kept.txt": TEXT}, ["kept.txt"],
                   [("[NG]", "kept.txt")], {}, [], False)
            problems = drop_row(env, bin_dir, os.path.join(broken, "files"), version, row)
            probe(env, bin_dir, "find", "close")
            check(problems + ([] if ended(tool) == 0 else [f"exit code {tool.returncode}"]), row[0])
            check(library_missing(env, bin_dir, work, False), "the error box without a library")
            check(library_missing(env, bin_dir, work, True),
                  "the error box with a library only in the current folder")
    finally:
        stop_all()
        if os.environ.get("PAKUTO_KEEP_WINE") != "1":
            shutil.rmtree(work, ignore_errors=True)
    print(f"wine_drop_test: {results.count(True)} passed, {results.count(False)} failed")
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]) if len(sys.argv) == 3 else __doc__)
