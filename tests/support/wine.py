"""wine.py - Windows programs under Wine for the tests: a fresh prefix per run with one wineserver -p
for it, code page 932 (ja_JP.UTF-8), every Wine call under a time limit (a hang fails with its name),
and the archives the programs make read back on the Linux side by unzip -t, bsdtar -tf and zipfile."""
import contextlib
import os
import shutil
import subprocess
import zipfile

WINE = shutil.which("wine64") or "/usr/lib/wine/wine64"
WINESERVER = shutil.which("wineserver") or "/usr/lib/wine/wineserver"
QUIET = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
# Windows close at once without a window manager; the windows' font name maps to an installed font;
# Wine's own Marlett (fonts-wine) draws the caption buttons.
SETTINGS = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"MS UI Gothic"="Noto Sans CJK JP"

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\Fonts]
"Marlett (TrueType)"="Z:\\usr\\share\\wine\\fonts\\marlett.ttf"
"""


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def wine(env, args, seconds, what, quiet=False, **kwargs):
    """A Windows program's exit code under Wine; None after a hang."""
    code = subprocess.run(["timeout", "-k", "10", str(seconds), WINE, *args], env=env,
                          **(QUIET if quiet else {}), **kwargs)
    if code.returncode in (124, 137):
        print(f"wine: HANG: {what} did not finish within {seconds} s under Wine", flush=True)
        return None
    return code.returncode


@contextlib.contextmanager
def prefix(work, **variables):
    """The environment of a new Wine prefix in `work`, made and set up; its server ends on leaving."""
    env = dict(os.environ, WINEPREFIX=os.path.join(work, "prefix"), WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8", **variables)
    os.makedirs(env["WINEPREFIX"])  # the server is keyed by the prefix folder, so it exists first
    try:
        # One server for the run, gone 120 s after its last client should the run itself be killed.
        subprocess.run(["timeout", "30", WINESERVER, "-p120"], env=env, check=True)
        if wine(env, ["wineboot", "-i"], 240, "wineboot -i", quiet=True) != 0:
            raise SystemExit("FAIL: the Wine prefix could not be made")
        with open(os.path.join(work, "settings.reg"), "w") as f:
            f.write(SETTINGS)
        wine(env, ["regedit", "/S", windows_path(os.path.join(work, "settings.reg"))], 60, "regedit", quiet=True)
        yield env
    finally:
        subprocess.run(["timeout", "30", WINESERVER, "-k"], env=env)


def entries(archive):
    """Each entry's name -> (UTF-8 flag, method, sizes, CRC); None unless all three readers pass."""
    try:
        with zipfile.ZipFile(archive) as z:
            if z.testzip() is not None:
                return None
            found = {i.filename: (i.flag_bits & 0x800, i.compress_type, i.compress_size, i.CRC, i.file_size)
                     for i in z.infolist()}
    except (zipfile.BadZipFile, OSError):
        return None
    readers = (["unzip", "-tqq", archive], ["bsdtar", "-tf", archive])
    return found if all(subprocess.run(r, **QUIET).returncode == 0 for r in readers) else None
