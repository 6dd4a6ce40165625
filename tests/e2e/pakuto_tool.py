"""pakuto_tool - puts the real tool where a user would have it and runs it on the test display:
installed with `cmake --install` into a temporary prefix, started with Qt's xcb platform, a private
HOME and XDG folders, and its window found and measured through X."""

import os
import signal
import subprocess
import time

import e2e_support as support

MAIN_TITLE_PATTERN = "^Pakuto Ver"
VERSION_TEXT = "Pakuto Ver.1.0.1"

# The window's client area in twips; the result list, the only drop target; the "拡張子" label, a
# point of the window that takes no drops.
CLIENT_TWIPS = (4365, 2310)
LIST_TWIPS = (30, 600, 4305, 1680)
LABEL_TWIPS = (90, 90, 540, 180)


def install(build_dir, cmake, prefix):
    """Installs the build into `prefix` and returns the path of bin/pakuto; fails unless the install
    rules place both the tool and the archiver library where the tool's start-up looks for it."""
    result = subprocess.run([cmake, "--install", build_dir, "--prefix", prefix],
                            capture_output=True, timeout=300)
    if result.returncode != 0:
        raise AssertionError("cmake --install failed:\n" + result.stderr.decode(errors="replace"))
    for rel in ("bin/pakuto", "lib/lib7-zip32.so"):
        if not os.path.isfile(os.path.join(prefix, rel)):
            raise AssertionError(f"cmake --install placed no {rel} (build the whole project first)")
    return os.path.join(prefix, "bin", "pakuto")


def tool_env(display, home):
    """The environment the tool runs in: the test display through xcb, a private home."""
    env = display.env(QT_QPA_PLATFORM="xcb", HOME=os.path.join(home, "home"),
                      XDG_CONFIG_HOME=os.path.join(home, "config"),
                      XDG_RUNTIME_DIR=os.path.join(home, "runtime"), LC_ALL="C.UTF-8", LANG="C.UTF-8")
    env.pop("LD_LIBRARY_PATH", None)
    for key in ("HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"):
        os.makedirs(env[key], mode=0o700, exist_ok=True)
    return env


class Running:
    """One run of the tool: its process, its log, and the window it shows."""

    def __init__(self, exe, env, log_path):
        self.env = env
        self.log_path = log_path
        self.log = open(log_path, "wb")
        self.proc = support.spawn([exe], env=env, stdout=self.log, stderr=subprocess.STDOUT,
                                  cwd=env["HOME"])
        self.window = None

    def log_tail(self):
        if not self.log.closed:
            self.log.flush()
        with open(self.log_path, "rb") as f:
            return f.read()[-2000:].decode(errors="replace")

    def wait_for_window(self, pattern=MAIN_TITLE_PATTERN, timeout=30):
        found = support.wait_until(lambda: support.find_windows(self.env, pattern), timeout,
                                   f"a window titled {pattern!r}", proc=self.proc)
        self.window = found[0]
        return self.window

    def title(self):
        return support.window_title(self.env, self.window)

    def wait_for_title(self, title, timeout=60):
        return support.wait_until(lambda: self.title() == title, timeout,
                                  f"caption {title!r} (now {self.title()!r})", proc=self.proc)

    def point(self, box_twips):
        """The centre of a control given in twips, in pixels relative to the window, scaled by the
        window's actual size so the tool's DPI does not matter."""
        _, _, width, height = support.window_geometry(self.env, self.window)
        left, top, w, h = box_twips
        return (round(width * (left + w / 2) / CLIENT_TWIPS[0]),
                round(height * (top + h / 2) / CLIENT_TWIPS[1]))

    def request_close(self, tools):
        """Asks the window to close as a window manager's close box does."""
        result = subprocess.run([os.path.join(tools, "wm-close"), str(self.window)], env=self.env,
                                capture_output=True, timeout=20)
        if result.returncode != 0:
            raise AssertionError("wm-close failed: " + result.stderr.decode(errors="replace"))

    def wait_exit(self, timeout=30):
        deadline = time.monotonic() + timeout
        while self.proc.poll() is None and time.monotonic() < deadline:
            time.sleep(0.1)
        if self.proc.poll() is None:
            support.stop(self.proc)
            raise AssertionError(f"the tool did not end within {timeout} s\n{self.log_tail()}")
        self.log.close()
        return self.proc.returncode

    def stop(self):
        if self.proc.poll() is None:
            os.kill(self.proc.pid, signal.SIGCONT)  # a paused tool could not act on SIGTERM
        support.stop(self.proc)
        if not self.log.closed:
            self.log.close()
