#!/usr/bin/env python3
"""test_pakuto_missing_library - guards start-up without the archiver library: a copy of the installed
tool standing alone (no lib/ beside its bin/) must show its error box, a window titled "Pakuto-",
and never its main window; after Return dismisses the box the process must end, with a non-zero code,
and without creating a settings file, neither beside the copy nor under XDG_CONFIG_HOME. Keeps a
screenshot of the box in the build folder.

usage: test_pakuto_missing_library.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import os
import shutil
import sys
import unittest

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402
from drop_case import parse  # noqa: E402

OPTIONS = None
DISPLAY = None
ERROR_BOX_PATTERN = "^Pakuto-$"


class StartWithoutLibrary(unittest.TestCase):
    def test_error_box_then_exit_without_main_window_or_settings(self):
        with support.temp_dir() as tmp:
            installed, note = pakuto_tool.install(OPTIONS.build_dir, OPTIONS.cmake,
                                                  os.path.join(tmp, "prefix"))
            print(f"\n{note}: {installed}", file=sys.stderr)
            alone = os.path.join(tmp, "alone", "bin", "pakuto")
            os.makedirs(os.path.dirname(alone))
            shutil.copy2(installed, alone)
            env = pakuto_tool.tool_env(DISPLAY, os.path.join(tmp, "alone"))
            tool = pakuto_tool.Running(alone, env, os.path.join(tmp, "pakuto.log"))
            try:
                box = tool.wait_for_window(ERROR_BOX_PATTERN)
                self.assertEqual(tool.title(), "Pakuto-")
                self.assertEqual(support.find_windows(env, pakuto_tool.MAIN_TITLE_PATTERN), [],
                                 "the main window must not be shown without the library")
                os.makedirs(OPTIONS.artifacts, exist_ok=True)
                support.screenshot(env, os.path.join(OPTIONS.artifacts, "pakuto-library-missing.png"))

                # No window manager runs here: give the box the focus, then press Return (XTest).
                focus = support.run(["xdotool", "windowfocus", "--sync", str(box)], env)
                self.assertEqual(focus.returncode, 0, focus.stderr)
                key = support.run(["xdotool", "key", "Return"], env)
                self.assertEqual(key.returncode, 0, key.stderr)
                code = tool.wait_exit(timeout=20)
            finally:
                tool.stop()
            self.assertNotEqual(code, 0, "a start that failed must not report success")
            self.assertEqual(support.find_windows(env, "^Pakuto"), [])
            self.assertFalse(os.path.exists(os.path.join(os.path.dirname(alone), "pakuto.ini")))
            self.assertFalse(os.path.exists(os.path.join(env["XDG_CONFIG_HOME"], "pakuto")))
            self.assertEqual(sorted(os.listdir(os.path.dirname(alone))), ["pakuto"])


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
