#!/usr/bin/env python3
"""test_pakuto_drop - guards what a desktop user gets from the installed tool: real files and a folder
dragged from outside (our raw-Xlib drag source, XDND with text/uri-list) onto the result list become
correct archives beside them, read back by independent readers (Python's zipfile and unzip -t); names
a file manager hands over as they are (spaces, Japanese, '%', '#', '?', '*', a leading dash, a newline,
bytes that are not UTF-8) arrive exactly, and a file a wildcard reading of another name would match is
never touched; the caption the window manager sees ends "[完了]"; nothing else appears in the folder;
the source is deleted only when asked and only after its archive exists; a drop beside the list is
refused; and closing the window ends the tool and saves its settings. Keeps a screenshot of each run
in the build folder.

usage: test_pakuto_drop.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import os
import sys

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402
from drop_case import DEFAULT_COMMAND, ToolDropCase, listing, parse, write_tree  # noqa: E402

# Dropped one by one in per-file mode, each archived alone as "<stem>.zip"; a name holding '"' cannot
# be carried to the archiver and must be left as it was.
ODD_NAMES = {"my notes.txt": "my notes.zip", "日本語のメモ.txt": "日本語のメモ.zip",
             "100% #1 what?.txt": "100% #1 what?.zip", "star*.txt": "star*.zip", "-rf.txt": "-rf.zip",
             "line\nbreak.txt": "line\nbreak.zip", os.fsdecode(b"caf\xe9.txt"): os.fsdecode(b"caf\xe9.zip"),
             'quote".txt': None}


class DropOnTheInstalledTool(ToolDropCase):
    def test_per_file_mode_makes_one_archive_per_file_beside_the_sources(self):
        sources = {"a.txt": b"alpha\n" * 500, "docs/a.txt": b"second alpha\n",
                   "docs/sub/b.txt": b"beta " * 4000,
                   "star1.txt": b"never dropped: what star*.txt would match as a wildcard\n"}
        sources.update({name: b"content of " + os.fsencode(name) for name in ODD_NAMES})
        write_tree(self.work, sources)
        before = listing(self.work)
        self.start()  # no settings file: per-file mode, nothing deleted, ".zip"
        self.drop_on_list([os.path.join(self.work, name) for name in ["a.txt", *ODD_NAMES, "docs"]])
        self.keep_screenshot("pakuto-drop-per-file")

        # The folder's subfolders come first; its a.txt meets the a.zip of the first item: "a (2)".
        expected = {"a.zip": {"a.txt": sources["a.txt"]}, "b.zip": {"b.txt": sources["docs/sub/b.txt"]},
                    "a (2).zip": {"a.txt": sources["docs/a.txt"]}}
        expected.update({archive: {name: sources[name]} for name, archive in ODD_NAMES.items() if archive})
        for archive, content in expected.items():
            self.assert_archive(os.path.join(self.work, archive), content)
        self.assertEqual(listing(self.work), before | set(expected), "only the archives may appear")
        for rel, data in sources.items():
            with open(os.path.join(self.work, rel), "rb") as f:
                self.assertEqual(f.read(), data, f"source {rel!r} changed")

        saved = self.close_and_check()
        self.assertEqual(saved, {"Delete": "0", "CompEachFileAtSubFolder": "1", "Extension": ".zip",
                                 "CommandLine": DEFAULT_COMMAND})

    def test_whole_folder_mode_with_delete_archives_then_removes_the_sources(self):
        sources = {"c.txt": b"gamma\n" * 300, "docs/a.txt": b"alpha in docs\n",
                   "docs/sub/b.txt": b"beta\n" * 2000, "docs/sub/日本.txt": "中身\n".encode()}
        write_tree(self.work, sources)
        self.start({"Delete": 1, "CompEachFileAtSubFolder": 0, "Extension": ".zip",
                    "CommandLine": DEFAULT_COMMAND})
        self.drop_on_list([os.path.join(self.work, "docs"), os.path.join(self.work, "c.txt")])
        self.keep_screenshot("pakuto-drop-whole-folder")

        self.assert_archive(os.path.join(self.work, "docs.zip"),
                            {rel[len("docs/"):]: data for rel, data in sources.items()
                             if rel.startswith("docs/")})
        self.assert_archive(os.path.join(self.work, "c.zip"), {"c.txt": sources["c.txt"]})
        self.assertEqual(listing(self.work), {"docs.zip", "c.zip"},
                         "the sources go once archived; nothing else may remain")

        saved = self.close_and_check()
        self.assertEqual((saved["Delete"], saved["CompEachFileAtSubFolder"]), ("1", "0"))

    def test_drop_beside_the_list_is_refused_and_a_vanished_path_is_skipped(self):
        write_tree(self.work, {"kept.txt": b"kept\n"})
        before = listing(self.work)
        self.start()
        result = self.drag([os.path.join(self.work, "kept.txt")], self.tool.point(pakuto_tool.LABEL_TWIPS))
        self.assertEqual(result.returncode, 4, result.stderr.decode(errors="replace"))
        self.assertIn(b"refused", result.stderr)
        self.assertEqual(self.tool.title(), pakuto_tool.VERSION_TEXT, "a refused drop starts no work")

        # A file gone between the file manager's listing and the drop: no archive, the drop completes.
        self.drop_on_list([os.path.join(self.work, "gone.txt")])
        self.assertEqual(listing(self.work), before)
        self.close_and_check()


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
