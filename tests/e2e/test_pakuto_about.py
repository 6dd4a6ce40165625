#!/usr/bin/env python3
"""test_pakuto_about - guards the About box as a user reaches it with real input (XTest mouse and
keys, no window manager): a click on "About" opens "Pakuto-について" while the main window stays;
Return leaves it open; Esc closes it; the main window then still works (a drop is taken) and closes
normally. Keeps a screenshot of the box in the build folder.

usage: test_pakuto_about.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import os
import sys
import time

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402
from drop_case import ToolDropCase, parse, write_tree  # noqa: E402

ABOUT_PATTERN = "^Pakuto-について$"
ABOUT_BUTTON_TWIPS = (3690, 15, 645, 255)


class AboutBox(ToolDropCase):
    def about_windows(self):
        return support.find_windows(self.tool.env, ABOUT_PATTERN)

    def press(self, window, key):
        """Gives `window` the input focus and presses `key` through XTest."""
        for args in (["windowfocus", "--sync", str(window)], ["key", key]):
            result = support.run(["xdotool", *args], self.tool.env)
            self.assertEqual(result.returncode, 0, result.stderr)

    def test_opens_on_click_stays_on_return_closes_on_escape(self):
        self.start()
        x, y = self.tool.point(ABOUT_BUTTON_TWIPS)
        click = support.run(["xdotool", "mousemove", "--window", str(self.tool.window), str(x), str(y),
                             "click", "1"], self.tool.env)
        self.assertEqual(click.returncode, 0, click.stderr)
        box = support.wait_until(self.about_windows, 20, "the About box", proc=self.tool.proc)[0]
        self.assertEqual(support.window_title(self.tool.env, box), "Pakuto-について")
        self.assertEqual(self.tool.title(), pakuto_tool.VERSION_TEXT, "the main window must stay")
        os.makedirs(support.OPTIONS.artifacts, exist_ok=True)
        support.screenshot(self.tool.env, os.path.join(support.OPTIONS.artifacts, "pakuto-about.png"), box)

        self.press(box, "Return")
        time.sleep(1.0)  # long enough for a key press to take effect: the box must still be there
        self.assertEqual(self.about_windows(), [box], "Return must not close the About box")

        self.press(box, "Escape")
        support.wait_until(lambda: not self.about_windows(), 20, "Esc to close the About box",
                           proc=self.tool.proc)

        write_tree(self.work, {"after.txt": b"after the About box\n"})
        self.drop_on_list([os.path.join(self.work, "after.txt")])
        self.assert_archive(os.path.join(self.work, "after.zip"), {"after.txt": b"after the About box\n"})
        self.close_and_check()


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
