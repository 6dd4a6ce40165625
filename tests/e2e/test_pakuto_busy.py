#!/usr/bin/env python3
"""test_pakuto_busy - guards the installed tool while it works through a drop of many files, with real
X events arriving in the meantime: a second drop is turned away through the protocol (the drag source
hears that nothing was taken) and starts nothing, and is accepted once the work is done; a close
request ends the work before its next item, the process exits normally and saves its settings, and
every archive on disk is whole, with nothing half-made left behind and every source untouched.

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
from drop_case import DONE, ToolDropCase, listing, parse, write_tree  # noqa: E402

BUSY = pakuto_tool.VERSION_TEXT + " [処理中]"
# Items still pending when the request arrives: the tool looks at requests before each item, and
# two spare items leave room for the moment its event reader takes to pick the request up.
SPARE_ITEMS = 2


class WorkInProgress(ToolDropCase):
    def paused_run(self, count=16):
        """Starts the tool, drops `count` files of compressible text (which cost the archiver real
        work at its strongest setting) and pauses it while at least SPARE_ITEMS + 1 items are pending;
        a run too quick to be caught so is cleared away and tried again with more files."""
        rng = random.Random(7)
        words = ["".join(rng.choices("abcdefghijklmnopqrstuvwxyz", k=rng.randint(2, 9))) for _ in range(3000)]
        body = " ".join(rng.choices(words, k=(1 << 20) // 6)).encode()[:1 << 20]
        self.start()
        for attempt in range(4):
            files = {f"item{i:03}.txt": f"item {i}\n".encode() + body for i in range(count << attempt)}
            write_tree(self.work, files)
            self.drop_on_list([os.path.join(self.work, n) for n in sorted(files)], wait_done=False)
            os.kill(self.tool.proc.pid, signal.SIGSTOP)
            done = sum(os.path.exists(os.path.join(self.work, n[:-4] + ".zip")) for n in files)
            if self.tool.title() == BUSY and done + 1 + SPARE_ITEMS < len(files):
                return files
            os.kill(self.tool.proc.pid, signal.SIGCONT)
            self.tool.wait_for_title(DONE)
            for name in listing(self.work):
                os.remove(os.path.join(self.work, name))
        self.fail("could not pause the tool while its work was in progress")

    def assert_whole_archives(self, files):
        """Every archive holds its source exactly; nothing but sources and archives is present;
        returns how many archives there are."""
        made = sorted(listing(self.work) - set(files))
        for name in made:
            self.assertRegex(name, r"^item\d{3}\.zip$", "a file that is neither source nor archive")
            source = name[:-4] + ".txt"
            self.assert_archive(os.path.join(self.work, name), {source: files[source]})
        for name, data in files.items():
            with open(os.path.join(self.work, name), "rb") as f:
                self.assertEqual(f.read(), data, f"source {name} changed")
        return len(made)

    def test_second_drop_during_the_work_is_refused_then_accepted_after(self):
        files = self.paused_run()
        late = os.path.join(self.work, "late.txt")
        write_tree(self.work, {"late.txt": b"dropped while busy\n"})
        second = self.drag(["--verbose", late], self.tool.point(pakuto_tool.LIST_TWIPS),
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready, _, _ = select.select([second.stderr], [], [], 20)
        self.assertIn(b"sent enter", second.stderr.readline() if ready else b"",
                      "the second drag did not start")
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

        write_tree(self.work, {"late.txt": b"dropped when idle\n"})
        self.drop_on_list([late])
        self.assert_archive(os.path.join(self.work, "late.zip"), {"late.txt": b"dropped when idle\n"})
        self.close_and_check()

    def test_close_during_the_work_ends_it_before_the_next_item_and_saves(self):
        files = self.paused_run()
        self.tool.request_close(support.OPTIONS.tools)
        os.kill(self.tool.proc.pid, signal.SIGCONT)
        self.assertEqual(self.tool.wait_exit(timeout=120), 0, self.tool.log_tail())
        self.assertTrue(os.path.isfile(self.ini), "the settings were not saved")
        self.assertLess(self.assert_whole_archives(files), len(files),
                        "the close did not end the work before its last items")


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
