#!/usr/bin/env python3
"""test_pakuto_busy - guards the installed tool while it works through a drop of many files: a second
drop arriving then is turned away through the protocol (the drag source hears that nothing was
taken) and starts nothing, and is accepted once the work is done; a close request arriving then ends
the work before its next item, the process exits normally and saves its settings, and every archive
on disk is whole, with nothing half-made left behind and every source untouched.

To have the second drop or the close arrive while items are still pending, whatever the machine's
speed, the tool is paused (SIGSTOP) during the work, the request is sent, and the tool resumes.

usage: test_pakuto_busy.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import os
import random
import select
import signal
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402
from drop_case import DONE, ToolDropCase, listing, parse  # noqa: E402

BUSY = pakuto_tool.VERSION_TEXT + " [処理中]"
# Items still pending when the request arrives: the tool looks at requests before each item, and
# two spare items leave room for the moment its event reader takes to pick the request up.
SPARE_ITEMS = 2


def text_body(size, seed):
    """Compressible text that costs the archiver real work at its strongest setting."""
    rng = random.Random(seed)
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(3000)]
    body = " ".join(rng.choice(words) for _ in range(size // 6))
    return body.encode()[:size]


class WorkInProgress(ToolDropCase):
    def make_files(self, count, size=1 << 20):
        body = text_body(size, 7)
        files = {}
        for i in range(count):
            name = f"item{i:03}.txt"
            files[name] = f"item {i}\n".encode() + body
            with open(os.path.join(self.work, name), "wb") as f:
                f.write(files[name])
        return files

    def pause_during_work(self, files):
        """Drops `files`, then pauses the tool while at least SPARE_ITEMS + 1 items are pending.
        Returns True when paused so; False when the work outran us (the tool is then let finish)."""
        names = sorted(files)
        self.drop_started([os.path.join(self.work, n) for n in names])
        os.kill(self.tool.proc.pid, signal.SIGSTOP)
        done = sum(os.path.exists(os.path.join(self.work, n[:-4] + ".zip")) for n in names)
        if self.tool.title() == BUSY and done + 1 + SPARE_ITEMS < len(names):
            return True
        os.kill(self.tool.proc.pid, signal.SIGCONT)
        self.tool.wait_for_title(DONE)
        return False

    def drop_started(self, paths):
        result = self.drag(paths, self.tool.point(pakuto_tool.LIST_TWIPS))
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        support.wait_until(lambda: self.tool.title() != pakuto_tool.VERSION_TEXT, 10,
                           "the caption to leave the idle text after the drop", proc=self.tool.proc,
                           interval=0.01)

    def paused_run(self, count=16):
        """Starts the tool and pauses it during the work; grows the work until the pause lands."""
        self.start()
        for attempt in range(4):
            files = self.make_files(count << attempt)
            if self.pause_during_work(files):
                return files
            for name in files:  # the run was too quick: clear it away and try a longer one
                for leftover in (name, name[:-4] + ".zip"):
                    os.remove(os.path.join(self.work, leftover))
        self.fail("could not pause the tool while its work was in progress")

    def assert_whole_archives(self, files):
        """Every archive holds its source exactly; nothing but sources and archives is present;
        returns how many archives there are."""
        made = 0
        for name in sorted(listing(self.work) - set(files)):
            self.assertRegex(name, r"^item\d{3}\.zip$", "a file that is neither source nor archive")
            source = name[:-4] + ".txt"
            self.assert_archive(os.path.join(self.work, name), {source: files[source]})
            made += 1
        for name, data in files.items():
            with open(os.path.join(self.work, name), "rb") as f:
                self.assertEqual(f.read(), data, f"source {name} changed")
        return made

    def test_second_drop_during_the_work_is_refused_then_accepted_after(self):
        files = self.paused_run()
        late = os.path.join(self.work, "late.txt")
        with open(late, "wb") as f:
            f.write(b"dropped while busy\n")
        x, y = self.tool.point(pakuto_tool.LIST_TWIPS)
        second = support.spawn([os.path.join(support.OPTIONS.tools, "xdnd-drag"), "--verbose",
                                "--window", str(self.tool.window), "--at", f"{x},{y}", "--timeout", "90",
                                late], env=self.tool.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertIn(b"sent enter", self.read_line(second.stderr, 20), "the second drag did not start")
        os.kill(self.tool.proc.pid, signal.SIGCONT)
        _, err = second.communicate(timeout=120)
        # Turned away at the hover ("refused") or at the drop ("the drop failed"): either way the
        # file manager is told that nothing was taken.
        self.assertEqual(second.returncode, 4, err.decode(errors="replace"))
        self.assertRegex(err, rb"refused|drop failed")
        self.tool.wait_for_title(DONE)
        self.assertFalse(os.path.exists(os.path.join(self.work, "late.zip")), "a refused drop did work")
        os.remove(late)
        self.assertEqual(self.assert_whole_archives(files), len(files), "the first drop was not finished")

        with open(late, "wb") as f:
            f.write(b"dropped when idle\n")
        self.drop_started([late])
        self.tool.wait_for_title(DONE)
        self.assert_archive(os.path.join(self.work, "late.zip"), {"late.txt": b"dropped when idle\n"})
        self.close_and_check()

    def test_close_during_the_work_ends_it_before_the_next_item_and_saves(self):
        files = self.paused_run()
        closer = subprocess.run([os.path.join(support.OPTIONS.tools, "wm-close"), str(self.tool.window)],
                                env=self.tool.env, capture_output=True, timeout=20)
        self.assertEqual(closer.returncode, 0, closer.stderr)
        os.kill(self.tool.proc.pid, signal.SIGCONT)
        self.assertEqual(self.tool.wait_exit(timeout=120), 0, self.tool.log_tail())
        self.assertTrue(os.path.isfile(self.ini), "the settings were not saved")
        made = self.assert_whole_archives(files)
        self.assertLess(made, len(files), "the close did not end the work before its last items")

    @staticmethod
    def read_line(stream, timeout):
        ready, _, _ = select.select([stream], [], [], timeout)
        return stream.readline() if ready else b""


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
