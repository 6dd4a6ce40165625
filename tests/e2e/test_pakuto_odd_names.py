#!/usr/bin/env python3
"""test_pakuto_odd_names - guards file names that a file manager hands over as they are: quotes, stars,
question marks, leading dashes, shell characters, a newline, bytes that are not UTF-8, Japanese. Dropped
on the installed tool with the delete box on, each such file must either be archived alone under its
exact name (in an archive named after it) and only then deleted, or be left exactly as it was; a file
that a wildcard reading of another name would match is never touched or archived; nothing but such
archives appears. Prints what became of each name.

usage: test_pakuto_odd_names.py --build-dir DIR --cmake CMAKE --tools DIR --artifacts DIR"""

import os
import re
import subprocess
import sys
import zipfile

sys.dont_write_bytecode = True  # keep the source folder free of __pycache__
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_support as support  # noqa: E402
from drop_case import DEFAULT_COMMAND, ToolDropCase, parse  # noqa: E402

# Dropped one by one, and again inside a dropped folder (per-file mode walks it).
ODD_NAMES = [b"plain.txt", "日本語の名前.txt".encode(), b"star*.txt", b"what?.txt", b"-rf.txt",
             b"--help", b'quote".txt', b"line\nbreak.txt", b"caf\xe9 latin1.txt", b" lead space.txt",
             b"it's & (x) [y] {z} $HOME;`id`.txt"]
# Never dropped, beside the dropped files: what "star*.txt" and "what?.txt" would match if they were
# read as wildcards.
BYSTANDERS = [b"star1.txt", b"whatX.txt"]
# Names that hold nothing unusual for the archiver's command: these must be archived.
MUST_ARCHIVE = [b"plain.txt", "日本語の名前.txt".encode()]


def entry_name_bytes(info):
    """The entry's name as stored: UTF-8 when the archive flags it so, otherwise code page 437."""
    return info.filename.encode("utf-8" if info.flag_bits & 0x800 else "cp437")


def archive_stem(name):
    stem, dot, _ = name.rpartition(b".")
    return stem if dot and stem else name


class OddNamesSurviveTheDrop(ToolDropCase):
    def test_each_name_is_archived_exactly_or_left_alone(self):
        work = os.fsencode(self.work)
        folder = os.path.join(work, b"odd dir")
        os.makedirs(os.path.join(folder, b"sub"))
        sources = {}
        for name in ODD_NAMES:
            sources[os.path.join(work, name)] = b"top: " + name
            sources[os.path.join(folder, b"sub" if b"*" in name else b"", name)] = b"in folder: " + name
        for name in BYSTANDERS:
            sources[os.path.join(work, name)] = b"bystander " + name
        for path, data in sources.items():
            with open(path, "wb") as f:
                f.write(data)
        bystanders = {p for p in sources if os.path.basename(p) in BYSTANDERS}

        self.start({"Delete": 1, "CompEachFileAtSubFolder": 1, "Extension": ".zip",
                    "CommandLine": DEFAULT_COMMAND})
        self.drop_on_list([os.path.join(work, name) for name in ODD_NAMES] + [folder])

        archived = {}  # source path -> archive file name
        for name in sorted(set(os.listdir(work)) - {os.path.basename(p) for p in sources} - {b"odd dir"}):
            archive = os.path.join(work, name)
            source = self.single_source_of(archive, sources, bystanders)
            self.assertNotIn(source, archived, f"{source!r} archived twice")
            stem = re.escape(archive_stem(os.path.basename(source)))
            self.assertRegex(name, stem + rb"( \(\d+\))?\.zip", "archive not named after its source")
            archived[source] = name

        outcomes = []
        for path, data in sorted(sources.items()):
            if path in archived:
                outcomes.append((path, f"archived as {archived[path]!r}, source deleted"))
                self.assertFalse(os.path.lexists(path), f"{path!r} was archived but not deleted")
            else:
                outcomes.append((path, "left as it was"))
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), data, f"{path!r} changed without being archived")
        print("\n" + "\n".join(f"  {os.path.relpath(p, work)!r}: {o}" for p, o in outcomes), file=sys.stderr)
        for name in MUST_ARCHIVE:
            self.assertIn(os.path.join(work, name), archived, f"{name!r} was not archived")
        self.keep_screenshot("pakuto-drop-odd-names")
        self.close_and_check()

    def single_source_of(self, archive, sources, bystanders):
        """The one dropped source the archive holds, under its exact name and with its content."""
        test = subprocess.run(["unzip", "-t", archive], capture_output=True, timeout=60)
        self.assertEqual(test.returncode, 0, test.stdout.decode(errors="replace"))
        with zipfile.ZipFile(os.fsdecode(archive)) as z:
            self.assertIsNone(z.testzip())
            entries = [i for i in z.infolist() if not i.is_dir()]
            self.assertEqual(len(entries), 1, f"{archive!r} must hold exactly one file")
            name, data = entry_name_bytes(entries[0]), z.read(entries[0])
        matches = [p for p, d in sources.items() if os.path.basename(p) == name and d == data]
        self.assertEqual(len(matches), 1, f"{archive!r} holds {name!r}, which matches no dropped file")
        self.assertNotIn(matches[0], bystanders, f"{archive!r} took a file that was never dropped")
        return matches[0]


if __name__ == "__main__":
    sys.exit(support.main(globals(), parse))
