#!/usr/bin/env python3
"""test_pakuto_drop - guards what a desktop user gets from the installed tool: real files and a folder
dragged from outside (our raw-Xlib drag source, XDND with text/uri-list) onto the result list become
correct archives beside them, read back by independent readers (Python's zipfile and unzip -t); the
caption the window manager sees ends "[完了]"; nothing else appears in the folder; the source is
deleted only when asked and only after its archive exists; a drop beside the list is refused; and
closing the window ends the tool and saves its settings. Keeps a screenshot of each run in the build
folder.

usage: test_pakuto_drop.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import argparse
import os
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
import pakuto_tool  # noqa: E402

OPTIONS = None
DISPLAY = None
DONE = pakuto_tool.VERSION_TEXT + " [完了]"
DEFAULT_COMMAND = "a -tzip -hide -mx=9 -mfb=64 -mpass=4"


def write_tree(root, files):
    """Creates `files` ({relative path: bytes}) under root, folders included."""
    for rel, data in files.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def listing(root):
    """Every file and folder under root, as relative paths ending in '/' for folders."""
    found = set()
    for folder, dirs, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        for d in dirs:
            found.add(os.path.normpath(os.path.join(rel, d)) + "/")
        for f in files:
            found.add(os.path.normpath(os.path.join(rel, f)))
    return found


def read_ini(path):
    """The [Main] keys of the settings file, in file order."""
    values = []
    with open(path, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if "=" in line and not line.startswith(("[", ";")):
                key, value = line.split("=", 1)
                values.append((key.strip(), value.strip()))
    return values


class DropOnTheInstalledTool(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = support.temp_dir()
        cls.exe, note = pakuto_tool.install(OPTIONS.build_dir, OPTIONS.cmake,
                                            os.path.join(cls.tmp.name, "prefix"))
        print(f"\n{note}: {cls.exe}", file=sys.stderr)
        cls.ini = os.path.join(os.path.dirname(cls.exe), "pakuto.ini")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def setUp(self):
        self.case = tempfile.mkdtemp(dir=self.tmp.name, prefix=self._testMethodName + "-")
        self.work = os.path.join(self.case, "work")
        os.makedirs(self.work)
        if os.path.exists(self.ini):
            os.remove(self.ini)
        self.tool = None

    def tearDown(self):
        if self.tool is not None:
            self.tool.stop()

    def start(self, settings=None):
        if settings is not None:
            with open(self.ini, "w", encoding="utf-8") as f:
                f.write("[Main]\n" + "".join(f"{k}={v}\n" for k, v in settings.items()))
        self.tool = pakuto_tool.Running(self.exe, pakuto_tool.tool_env(DISPLAY, self.case),
                                        os.path.join(self.case, "pakuto.log"))
        self.tool.wait_for_window()
        self.assertEqual(self.tool.title(), pakuto_tool.VERSION_TEXT)

    def drag(self, paths, at, timeout=90):
        x, y = at
        return subprocess.run([os.path.join(OPTIONS.tools, "xdnd-drag"), "--window", str(self.tool.window),
                               "--at", f"{x},{y}", "--timeout", str(timeout), *paths],
                              env=self.tool.env, capture_output=True, timeout=timeout + 30)

    def drop_on_list(self, paths):
        result = self.drag(paths, self.tool.point(pakuto_tool.LIST_TWIPS))
        self.assertEqual(result.returncode, 0,
                         result.stderr.decode(errors="replace") + self.tool.log_tail())
        # The dispatch starts right after the drop is reported finished; a caption that stays idle
        # means the drop reached the list but started nothing.
        support.wait_until(lambda: self.tool.title() != pakuto_tool.VERSION_TEXT, 10,
                           "the caption to leave the idle text after the drop", proc=self.tool.proc)
        self.tool.wait_for_title(DONE)

    def keep_screenshot(self, name):
        """The whole display, and the window alone (the picture a README can show)."""
        os.makedirs(OPTIONS.artifacts, exist_ok=True)
        size = support.screenshot(self.tool.env, os.path.join(OPTIONS.artifacts, name + ".png"))
        self.assertEqual(size, (1024, 768))
        size = support.screenshot(self.tool.env, os.path.join(OPTIONS.artifacts, name + "-window.png"),
                                  self.tool.window)
        self.assertEqual(size, support.window_geometry(self.tool.env, self.tool.window)[2:])

    def close_and_check(self):
        self.assertEqual(self.tool.close(OPTIONS.tools), 0, self.tool.log_tail())
        self.assertFalse(support.find_windows(DISPLAY.env(), pakuto_tool.MAIN_TITLE_PATTERN))
        self.assertTrue(os.path.isfile(self.ini), "closing the window must save the settings")
        return dict(read_ini(self.ini))

    def assert_archive(self, archive, expected):
        """The archive holds exactly the files `expected` ({name: bytes}) and passes unzip -t."""
        self.assertTrue(os.path.isfile(archive), f"{archive} was not made")
        test = subprocess.run(["unzip", "-t", archive], capture_output=True, timeout=60)
        self.assertEqual(test.returncode, 0, test.stdout.decode(errors="replace"))
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
            names = [n for n in z.namelist() if not n.endswith("/")]
            self.assertCountEqual(names, expected.keys())
            for name, data in expected.items():
                self.assertEqual(z.read(name), data, f"{name} in {archive}")

    def test_per_file_mode_makes_one_archive_per_file_beside_the_sources(self):
        sources = {"a.txt": b"alpha\n" * 500, "my notes.txt": b"notes with spaces\n",
                   "日本語のメモ.txt": "日本語の内容\n".encode(), "docs/a.txt": b"second alpha\n",
                   "docs/sub/b.txt": b"beta " * 4000}
        write_tree(self.work, sources)
        before = listing(self.work)
        self.start()  # no settings file: per-file mode, nothing deleted, ".zip"
        dropped = [os.path.join(self.work, p) for p in ("a.txt", "my notes.txt", "日本語のメモ.txt", "docs")]
        self.drop_on_list(dropped)
        self.keep_screenshot("pakuto-drop-per-file")

        # The folder's subfolders come first; its a.txt meets the a.zip of the first item: "a (2)".
        expected = {"a.zip": {"a.txt": sources["a.txt"]},
                    "my notes.zip": {"my notes.txt": sources["my notes.txt"]},
                    "日本語のメモ.zip": {"日本語のメモ.txt": sources["日本語のメモ.txt"]},
                    "b.zip": {"b.txt": sources["docs/sub/b.txt"]},
                    "a (2).zip": {"a.txt": sources["docs/a.txt"]}}
        for archive, content in expected.items():
            self.assert_archive(os.path.join(self.work, archive), content)
        self.assertEqual(listing(self.work), before | set(expected), "only the archives may appear")
        for rel, data in sources.items():
            with open(os.path.join(self.work, rel), "rb") as f:
                self.assertEqual(f.read(), data, f"source {rel} changed")

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


def parse(argv):
    parser = argparse.ArgumentParser()
    for option in ("--build-dir", "--cmake", "--tools", "--artifacts"):
        parser.add_argument(option, required=True)
    return parser.parse_args(argv)


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
