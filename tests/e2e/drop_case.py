"""drop_case - the fixture of the tests that drop files on the installed tool: install it, start it
with given settings, drag paths onto its result list with our XDND drag source, wait for the caption,
keep screenshots, close it; plus helpers that lay out source trees and read archives back with
independent readers (Python's zipfile and unzip -t)."""

import argparse
import configparser
import os
import subprocess
import tempfile
import unittest
import zipfile

import e2e_support as support
import pakuto_tool

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
        found.update(os.path.normpath(os.path.join(rel, d)) + "/" for d in dirs)
        found.update(os.path.normpath(os.path.join(rel, f)) for f in files)
    return found


def parse(argv):
    """The options every drop test script takes."""
    parser = argparse.ArgumentParser()
    for option in ("--build-dir", "--cmake", "--tools", "--artifacts"):
        parser.add_argument(option, required=True)
    return parser.parse_args(argv)


class ToolDropCase(unittest.TestCase):
    """Installs the tool once per test class; each test gets its own work folder, a fresh settings
    file beside the installed program (or none) and its own run of the tool."""

    @classmethod
    def setUpClass(cls):
        cls.tmp = support.temp_dir()
        cls.exe = pakuto_tool.install(support.OPTIONS.build_dir, support.OPTIONS.cmake,
                                      os.path.join(cls.tmp.name, "prefix"))
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
        self.tool = pakuto_tool.Running(self.exe, pakuto_tool.tool_env(support.DISPLAY, self.case),
                                        os.path.join(self.case, "pakuto.log"))
        self.tool.wait_for_window()
        self.assertEqual(self.tool.title(), pakuto_tool.VERSION_TEXT)

    def drag(self, paths, at, timeout=90, **popen):
        """Runs our drag source onto the window at `at` (pixels in the window); with `popen`
        arguments it is started in the background and its Popen returned."""
        args = [os.path.join(support.OPTIONS.tools, "xdnd-drag"), "--window", str(self.tool.window),
                "--at", "%d,%d" % at, "--timeout", str(timeout), *paths]
        if popen:
            return support.spawn(args, env=self.tool.env, **popen)
        return subprocess.run(args, env=self.tool.env, capture_output=True, timeout=timeout + 30)

    def drop_on_list(self, paths, wait_done=True):
        result = self.drag(paths, self.tool.point(pakuto_tool.LIST_TWIPS))
        self.assertEqual(result.returncode, 0,
                         result.stderr.decode(errors="replace") + self.tool.log_tail())
        # The dispatch starts right after the drop is reported finished; a caption that stays idle
        # means the drop reached the list but started nothing.
        support.wait_until(lambda: self.tool.title() != pakuto_tool.VERSION_TEXT, 10,
                           "the caption to leave the idle text after the drop", proc=self.tool.proc,
                           interval=0.01)
        if wait_done:
            self.tool.wait_for_title(DONE)

    def keep_screenshot(self, name):
        """The whole display, and the window alone (the picture a README can show)."""
        folder = support.OPTIONS.artifacts
        os.makedirs(folder, exist_ok=True)
        size = support.screenshot(self.tool.env, os.path.join(folder, name + ".png"))
        self.assertEqual(size, (1024, 768))
        size = support.screenshot(self.tool.env, os.path.join(folder, name + "-window.png"),
                                  self.tool.window)
        self.assertEqual(size, support.window_geometry(self.tool.env, self.tool.window)[2:])

    def close_and_check(self):
        """Closes the window as a window manager does; the tool must end with 0, leave no window and
        have saved its settings, which are returned ({key: value} of [Main])."""
        self.tool.request_close(support.OPTIONS.tools)
        self.assertEqual(self.tool.wait_exit(), 0, self.tool.log_tail())
        self.assertFalse(support.find_windows(self.tool.env, pakuto_tool.MAIN_TITLE_PATTERN))
        self.assertTrue(os.path.isfile(self.ini), "closing the window must save the settings")
        ini = configparser.RawConfigParser()
        ini.optionxform = str
        ini.read(self.ini, encoding="utf-8")
        return dict(ini["Main"])

    def assert_archive(self, archive, expected):
        """The archive holds exactly the files `expected` ({name: bytes}, names compared as the bytes
        the archive stores) and passes unzip -t."""
        self.assertTrue(os.path.isfile(archive), f"{archive} was not made")
        test = subprocess.run(["unzip", "-t", archive], capture_output=True, timeout=60)
        self.assertEqual(test.returncode, 0, test.stdout.decode(errors="replace"))
        with zipfile.ZipFile(archive) as z:
            self.assertIsNone(z.testzip())
            # Stored names are UTF-8 when the entry is flagged so, otherwise code page 437.
            found = {i.filename.encode("utf-8" if i.flag_bits & 0x800 else "cp437"): z.read(i)
                     for i in z.infolist() if not i.is_dir()}
        self.assertEqual(found, {os.fsencode(name): data for name, data in expected.items()}, archive)
