#!/usr/bin/env python3
"""test_drag_source - guards our XDND drag source (xdnd-drag) before it is trusted against the real
tool: every dropped path must reach the target byte for byte through the protocol a file manager
speaks (version 5, text/uri-list, the drop point in root coordinates), and every way a drop can fail
(refused, never finished, no XDND target, no such window, bad arguments) must end non-zero with a clear
message instead of passing silently. Also checks the window closer (wm-close).

usage: test_drag_source.py --tools DIR   (DIR holds xdnd-drag, xdnd-receiver and wm-close)"""

import argparse
import os
import re
import select
import subprocess
import sys
import unittest
import urllib.parse

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402

OPTIONS = None
DISPLAY = None

URI = re.compile(rb"file://[A-Za-z0-9\-._~/%]*")


def tool(name):
    return os.path.join(OPTIONS.tools, name)


class Receiver:
    """Our stand-in drop target, started on the test display and read line by line."""

    def __init__(self, title, out, *flags, timeout=20):
        self.proc = support.spawn([tool("xdnd-receiver"), "--title", title, "--out", out,
                                   "--timeout", str(timeout), *flags],
                                  env=DISPLAY.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        ready = self._line(10)
        fields = ready.split()
        if not fields or fields[0] != "ready":
            raise AssertionError(f"receiver did not start: {ready!r} {self.proc.stderr.read()!r}")
        self.window = int(fields[1], 16)
        self.x, self.y, self.width, self.height = map(int, fields[2:6])

    def _line(self, timeout):
        ready, _, _ = select.select([self.proc.stdout], [], [], timeout)
        return self.proc.stdout.readline().decode() if ready else ""

    def finish(self, timeout=20):
        """Waits for the receiver to end; returns (exit code, the lines it printed after 'ready')."""
        try:
            out, _ = self.proc.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            support.stop(self.proc)
            out, _ = self.proc.communicate()
        return self.proc.returncode, out.decode(errors="replace").splitlines()


def drag(*args, cwd=None, timeout=30):
    return subprocess.run([tool("xdnd-drag"), *args], env=DISPLAY.env(), capture_output=True,
                          cwd=cwd, timeout=timeout)


class DragSourceDelivers(unittest.TestCase):
    def setUp(self):
        self.tmp = support.temp_dir()
        self.root = os.fsencode(self.tmp.name)
        self.out = os.path.join(self.tmp.name, "received.bin")

    def tearDown(self):
        self.tmp.cleanup()

    def received_paths(self):
        with open(self.out, "rb") as f:
            data = f.read()
        self.assertTrue(data.endswith(b"\r\n"), "each URI line must end with CRLF")
        uris = data.split(b"\r\n")[:-1]
        for uri in uris:
            self.assertIsNotNone(URI.fullmatch(uri), f"not a percent-encoded file URI: {uri!r}")
        return [urllib.parse.unquote_to_bytes(uri[len(b"file://"):]) for uri in uris]

    def test_every_path_arrives_byte_for_byte_in_order(self):
        names = [b"plain.txt", b"with space.txt", "日本語のメモ.txt".encode(), b"100% #1?&=+;.txt",
                 b"line\nbreak.txt", b"caf\xe9 latin1.txt", b"-leading-dash", b'quote".txt',
                 b"star*.txt", b"folder with space"]
        paths = [os.path.join(self.root, name) for name in names]
        for path in paths[:-1]:
            with open(path, "wb") as f:
                f.write(b"x")
        os.mkdir(paths[-1])
        receiver = Receiver("Stand-in receiver one", self.out)
        result = drag("--window", hex(receiver.window), "--at", "10,20", *paths)
        code, lines = receiver.finish()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(code, 0, lines)
        self.assertIn(f"dropped {len(paths)} path(s)", result.stdout.decode())
        self.assertRegex(lines[0], r"^enter source=0x[0-9a-f]+ version=5 types=text/uri-list$")
        self.assertEqual(lines[1], f"position {receiver.x + 10} {receiver.y + 20} action=XdndActionCopy")
        self.assertRegex(lines[2], r"^drop bytes=\d+ type=text/uri-list$")
        self.assertEqual(self.received_paths(), paths)

    def test_relative_paths_are_made_absolute(self):
        with open(os.path.join(self.tmp.name, "rel.txt"), "w") as f:
            f.write("x")
        receiver = Receiver("Stand-in receiver two", self.out)
        result = drag("--window", str(receiver.window), "rel.txt", cwd=self.tmp.name)
        code, _ = receiver.finish()
        self.assertEqual((result.returncode, code), (0, 0), result.stderr)
        self.assertEqual(self.received_paths(), [os.path.join(os.fsencode(os.path.realpath(self.tmp.name)),
                                                              b"rel.txt")])

    def test_window_found_by_title_and_dropped_on_its_centre(self):
        path = os.path.join(self.root, b"by-title.txt")
        open(path, "wb").close()
        receiver = Receiver("Stand-in receiver [three]", self.out)
        result = drag("--title", "receiver [three]", path)
        code, lines = receiver.finish()
        self.assertEqual((result.returncode, code), (0, 0), result.stderr)
        centre = (receiver.x + receiver.width // 2, receiver.y + receiver.height // 2)
        self.assertEqual(lines[1], f"position {centre[0]} {centre[1]} action=XdndActionCopy")
        self.assertEqual(self.received_paths(), [path])


class DragSourceFailsLoudly(unittest.TestCase):
    def setUp(self):
        self.tmp = support.temp_dir()
        self.out = os.path.join(self.tmp.name, "received.bin")
        self.path = os.path.join(self.tmp.name, "a.txt")
        open(self.path, "w").close()

    def tearDown(self):
        self.tmp.cleanup()

    def test_refused_drop_is_an_error_and_the_target_is_left(self):
        receiver = Receiver("Refusing receiver", self.out, "--refuse")
        result = drag("--window", str(receiver.window), self.path)
        code, lines = receiver.finish()
        self.assertEqual(result.returncode, 4, result.stderr)
        self.assertIn(b"refused", result.stderr)
        self.assertEqual(code, 0)
        self.assertEqual(lines[-1], "leave")
        self.assertFalse(any(line.startswith("drop") for line in lines), lines)

    def test_missing_finish_is_a_timeout(self):
        receiver = Receiver("Silent receiver", self.out, "--no-finish", timeout=15)
        result = drag("--window", str(receiver.window), "--timeout", "3", self.path)
        support.stop(receiver.proc)
        self.assertEqual(result.returncode, 5, result.stderr)
        self.assertIn(b"XdndFinished", result.stderr)

    def test_window_without_xdnd_is_rejected_before_any_message(self):
        receiver = Receiver("Unaware receiver", self.out, "--not-aware", timeout=5)
        result = drag("--window", str(receiver.window), self.path)
        code, lines = receiver.finish()
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertIn(b"XDND-aware", result.stderr)
        self.assertEqual((code, lines), (5, []), "the receiver must have heard nothing")

    def test_unknown_title_is_an_error(self):
        result = drag("--title", "No window has this title 7f3a", self.path)
        self.assertEqual(result.returncode, 3)
        self.assertIn(b"no viewable window", result.stderr)

    def test_bad_arguments_are_a_usage_error(self):
        for args in ([self.path], ["--window", "0x10"], ["--window", "0x10", "--title", "x", self.path],
                     ["--window", "zz", self.path], ["--window", "0x10", "--at", "3", self.path],
                     ["--window", "0x10", "--timeout", "-1", self.path], ["--window", "0x10", ""]):
            with self.subTest(args=args):
                result = drag(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(b"usage:", result.stderr)

    def test_vanished_window_is_an_x_error_not_a_hang(self):
        receiver = Receiver("Short-lived receiver", self.out, timeout=5)
        window = receiver.window
        support.stop(receiver.proc)
        result = drag("--window", str(window), self.path, timeout=20)
        self.assertEqual(result.returncode, 6, result.stderr)
        self.assertIn(b"BadWindow", result.stderr)


class WindowCloser(unittest.TestCase):
    def test_close_request_reaches_the_window(self):
        with support.temp_dir() as tmp:
            receiver = Receiver("Closable receiver", os.path.join(tmp, "out"))
            result = subprocess.run([tool("wm-close"), hex(receiver.window)], env=DISPLAY.env(),
                                    capture_output=True, timeout=20)
            code, lines = receiver.finish()
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual((code, lines), (0, ["close"]))

    def test_no_window_id_is_a_usage_error(self):
        result = subprocess.run([tool("wm-close")], env=DISPLAY.env(), capture_output=True, timeout=20)
        self.assertEqual(result.returncode, 2)


def parse(argv):
    parser = argparse.ArgumentParser()
    parser.add_argument("--tools", required=True)
    return parser.parse_args(argv)


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
