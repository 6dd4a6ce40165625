#!/usr/bin/env python3
"""test_drag_source - guards our XDND drag source (xdnd-drag), the instrument every drop test relies
on, against passing a drop that did not complete: a target that never answers, a point where no
window takes XDND drops, a title no window has, a window gone and bad arguments must each end non-zero
with its reason, and start no work (a refused drop is checked by the drop tests). Also that naming the
window by a part of its title aims at its centre, and that a relative path is dropped as an absolute one.

usage: test_drag_source.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import os
import re
import signal
import sys

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402
from drop_case import DONE, ToolDropCase, parse, write_tree  # noqa: E402


class DragSource(ToolDropCase):
    def run_drag(self, *args, cwd=None):
        return support.run([os.path.join(support.OPTIONS.tools, "xdnd-drag"), *args], support.DISPLAY.env(),
                           timeout=60, cwd=cwd)

    def test_every_failed_drop_ends_non_zero_with_its_reason(self):
        write_tree(self.work, {"a.txt": b"a\n"})
        path = os.path.join(self.work, "a.txt")
        self.start()
        window = str(self.tool.window)
        root_info = support.run(["xwininfo", "-root"], self.tool.env).stdout
        root = re.search(rb"Window id: (0x[0-9a-f]+)", root_info)
        # (case, whether the tool is paused meanwhile, drag arguments, exit code, reason on stderr)
        cases = [("target never answers", True,
                  ["--window", window, "--at", "%d,%d" % self.tool.point(pakuto_tool.LIST_TWIPS),
                   "--timeout", "2"], 5, b"no XdndStatus"),
                 ("no XDND target at the point", False, ["--window", root[1].decode(), "--at", "1000,700"], 3,
                  b"no XDND-aware window"),
                 ("title no window has", False, ["--title", "No window has this title 7f3a"], 3,
                  b"no viewable window")]
        for case, pause, args, code, reason in cases:
            with self.subTest(case=case):
                os.kill(self.tool.proc.pid, signal.SIGSTOP if pause else signal.SIGCONT)
                result = self.run_drag(*args, path)
                os.kill(self.tool.proc.pid, signal.SIGCONT)
                self.assertEqual(result.returncode, code, result.stderr)
                self.assertIn(reason, result.stderr)
        self.assertEqual(self.tool.title(), pakuto_tool.VERSION_TEXT, "a failed drag started work")
        self.close_and_check()
        result = self.run_drag("--window", window, path)
        self.assertEqual(result.returncode, 6, result.stderr)
        self.assertIn(b"BadWindow", result.stderr)
        self.assertEqual(os.listdir(self.work), ["a.txt"])

    def test_bad_arguments_are_a_usage_error(self):
        path = os.path.join(self.work, "a.txt")
        for args in ([path], ["--window", "0x10"], ["--window", "0x10", "--title", "x", path],
                     ["--window", "zz", path], ["--window", "0x10", "--at", "3", path],
                     ["--window", "0x10", "--timeout", "-1", path], ["--window", "0x10", ""]):
            with self.subTest(args=args):
                result = self.run_drag(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(b"usage:", result.stderr)

    def test_window_named_by_title_takes_a_relative_path_at_its_centre(self):
        write_tree(self.work, {"rel.txt": b"relative\n"})
        self.start()
        result = self.run_drag("--title", "kuto Ver.", "rel.txt", cwd=self.work)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"dropped 1 path(s) on 0x%x" % self.tool.window, result.stdout)
        self.tool.wait_for_title(DONE)
        self.assert_archive(os.path.join(self.work, "rel.zip"), {"rel.txt": b"relative\n"})
        self.close_and_check()


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
