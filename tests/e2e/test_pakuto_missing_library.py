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

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402
from drop_case import ToolDropCase, parse  # noqa: E402


class StartWithoutLibrary(ToolDropCase):
    def test_error_box_then_exit_without_main_window_or_settings(self):
        alone = os.path.join(self.case, "alone", "bin", "pakuto")
        os.makedirs(os.path.dirname(alone))
        shutil.copy2(self.exe, alone)
        env = pakuto_tool.tool_env(support.DISPLAY, os.path.join(self.case, "alone"))
        self.tool = pakuto_tool.Running(alone, env, os.path.join(self.case, "pakuto.log"))
        box = self.tool.wait_for_window("^Pakuto-$")
        self.assertEqual(self.tool.title(), "Pakuto-")
        self.assertEqual(support.find_windows(env, pakuto_tool.MAIN_TITLE_PATTERN), [],
                         "the main window must not be shown without the library")
        os.makedirs(support.OPTIONS.artifacts, exist_ok=True)
        support.screenshot(env, os.path.join(support.OPTIONS.artifacts, "pakuto-library-missing.png"))

        # No window manager runs here: give the box the focus, then press Return (XTest).
        for args in (["windowfocus", "--sync", str(box)], ["key", "Return"]):
            result = support.run(["xdotool", *args], env)
            self.assertEqual(result.returncode, 0, result.stderr)
        self.assertNotEqual(self.tool.wait_exit(timeout=20), 0, "a start that failed must not report success")
        self.assertEqual(support.find_windows(env, "^Pakuto"), [])
        self.assertEqual(sorted(os.listdir(os.path.dirname(alone))), ["pakuto"],
                         "nothing may be written beside it")
        self.assertFalse(os.path.exists(os.path.join(env["XDG_CONFIG_HOME"], "pakuto")))


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
