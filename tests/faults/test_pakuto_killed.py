#!/usr/bin/env python3
"""test_pakuto_killed - guards what the installed tool leaves when it is killed outright (SIGKILL) in
the middle of a large archive, dropped on it by our XDND drag source under Xvfb: the sources intact,
nothing under the archive's name, at most one temporary file whose hidden name marks it as the
archiver's. Then the tool started again beside that leftover must take it neither for an archive nor
for a source: per-file mode skips it, and whole-folder mode with the delete box leaves it out of the
archive and so never deletes it.

The tool is paused (SIGSTOP) the moment the temporary file appears, so the archive is certainly not
finished when it is killed.

usage: test_pakuto_killed.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import os
import random
import signal
import sys
import zipfile

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "e2e"))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402
from drop_case import DEFAULT_COMMAND, ToolDropCase, listing, parse, write_tree  # noqa: E402

TEMP_MARK = ".pakuto-tmp\u231b"


def large_text(size, seed=5):
    """Compressible text that keeps the archiver busy for seconds at its strongest setting."""
    rng = random.Random(seed)
    words = ["".join(rng.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9)))
             for _ in range(5000)]
    block = " ".join(rng.choice(words) for _ in range(700000)).encode()
    return (block * (size // len(block) + 1))[:size]


def archives(folder):
    return {name for name in os.listdir(folder) if name.endswith(".zip")}


def temporaries(folder):
    return sorted(name for name in os.listdir(folder) if TEMP_MARK in name)


class KilledTool(ToolDropCase):
    def settings(self, delete, each_file):
        return {"Delete": delete, "CompEachFileAtSubFolder": each_file, "Extension": ".zip",
                "CommandLine": DEFAULT_COMMAND}

    def contents(self, root):
        found = {}
        for rel in listing(root):
            if not rel.endswith("/"):
                with open(os.path.join(root, rel), "rb") as f:
                    found[rel] = f.read()
        return found

    def test_killed_mid_archive_then_later_runs_beside_the_leftover(self):
        tree = os.path.join(self.work, "tree")
        sources = {"tree/big.txt": large_text(48 << 20), "tree/sub/small.txt": b"small\n",
                   "loose.txt": b"loose\n"}
        write_tree(self.work, sources)
        self.start(self.settings(delete=1, each_file=0))
        result = self.drag([tree], self.tool.point(pakuto_tool.LIST_TWIPS))
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))
        support.wait_until(lambda: temporaries(self.work), 30, "the archive's temporary file",
                           proc=self.tool.proc, interval=0.001)
        os.kill(self.tool.proc.pid, signal.SIGSTOP)
        self.assertFalse(os.path.exists(os.path.join(self.work, "tree.zip")),
                         "the archive was already complete: nothing was tested")
        os.kill(self.tool.proc.pid, signal.SIGKILL)
        self.tool.proc.wait(30)
        self.tool.stop()

        now = {rel: data for rel, data in self.contents(self.work).items() if TEMP_MARK not in rel}
        self.assertTrue(now == sources, f"the killed run changed its sources: {sorted(now)}")
        self.assertFalse(os.path.exists(os.path.join(self.work, "tree.zip")))
        left = temporaries(self.work)
        self.assertLessEqual(len(left), 1)
        if not left:
            self.skipTest("the kill left no temporary file: nothing more to test")
        leftover = left[0]
        print(f"\nkilled mid-archive; left behind: {leftover}", file=sys.stderr)
        self.assertTrue(leftover.startswith(".tree.zip" + TEMP_MARK), leftover)
        with open(os.path.join(self.work, leftover), "rb") as f:
            leftover_bytes = f.read()
        # The large file has served its purpose; the later runs need not spend seconds on it.
        os.remove(os.path.join(tree, "big.txt"))
        del sources["tree/big.txt"]

        # Per-file mode on the folder holding the leftover: archives beside it, none from the leftover.
        self.start(self.settings(delete=0, each_file=1))
        self.drop_on_list([self.work])
        self.assertEqual(archives(self.case), {"small.zip", "loose.zip"})
        self.assert_archive(os.path.join(self.case, "small.zip"), {"small.txt": b"small\n"})
        self.close_and_check()

        # Whole-folder mode with the delete box: the archive leaves the leftover out, so it stays.
        self.start(self.settings(delete=1, each_file=0))
        self.drop_on_list([self.work])
        self.keep_screenshot("pakuto-after-kill")
        archive = os.path.join(self.case, "work.zip")
        self.assert_archive(archive, sources)
        with zipfile.ZipFile(archive) as z:
            self.assertFalse([n for n in z.namelist() if TEMP_MARK in n], "the leftover was archived")
        with open(os.path.join(self.work, leftover), "rb") as f:
            self.assertEqual(f.read(), leftover_bytes, "the leftover changed")
        self.assertEqual(listing(self.work), {leftover}, "only the leftover may stay")
        self.close_and_check()


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
