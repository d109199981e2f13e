#!/usr/bin/env python3
"""tools/readmecheck on small trees made here: which files count, how a
table's names are read, and what fails the check."""
import importlib.machinery
import importlib.util
import io
import os
import shutil
import sys
import tempfile
import unittest
from contextlib import redirect_stdout

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "..", "..", "tools", "readmecheck")
loader = importlib.machinery.SourceFileLoader("readmecheck", CHECK)
spec = importlib.util.spec_from_loader("readmecheck", loader)
readmecheck = importlib.util.module_from_spec(spec)
loader.exec_module(readmecheck)

README = """# Tree

## Tools

| script | what it does |
|---|---|
| `tools/run [SCRIPT [ARG...]]` | runs |

## Architecture

`engine/a/` — a folder:

| file | concern |
|---|---|
| `one.h/.cpp`, `one_ops.inc` | the first (`onefunction`, `onelibrary`) |
| `sub/deep.h` | below it \\| with a pipe |

`tests/` — scripts:

| file | concern |
|---|---|
| `tests/helper` | a CTest helper |

## Later

| file | concern |
|---|---|
| `one.h` | not in engine/a any more: this heading ended that folder |
"""

FILES = [
    "tools/run",
    "engine/a/one.h",
    "engine/a/one.cpp",
    "engine/a/one_ops.inc",
    "engine/a/sub/deep.h",
    "tests/helper",
    # Not source files: data, expected logs, build files, resources.
    "engine/CMakeLists.txt",
    "engine/a/notes.txt",
    "tests/scripts/theme.tst",
    "tests/scripts/theme.expected",
    "tests/regexp/data/gen.py",
    "host/res/icons.rc",
    "tests/scripts/runner",
]


class ReadmeCheck(unittest.TestCase):
    def tree(self, readme, files):
        root = tempfile.mkdtemp(prefix="readmecheck")
        self.addCleanup(shutil.rmtree, root)
        with open(os.path.join(root, "README.md"), "w", encoding="utf-8") as f:
            f.write(readme)
        for rel in files:
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write("#!/bin/sh\n" if "." not in os.path.basename(rel) else "")
        return root

    def run_check(self, root):
        out = io.StringIO()
        argv = sys.argv
        sys.argv = ["readmecheck", root]
        try:
            with redirect_stdout(out):
                status = readmecheck.main()
        finally:
            sys.argv = argv
        return status, out.getvalue()

    def test_a_listed_tree_passes_and_data_does_not_count(self):
        root = self.tree(README.replace("| `one.h` | not in", "| `engine/a/one.h` | again"), FILES)
        status, out = self.run_check(root)
        self.assertEqual(status, 0, out)

    def test_unnamed_sources_and_names_of_nothing_fail_each_printed(self):
        extra = ["tools/helper.py", "engine/a/two.inc", "host/main.rc", "runner/run.cpp", "tools/newtool"]
        root = self.tree(README.replace("| `tests/helper` |", "| `tests/helper`, `gone.cpp` |"), FILES + extra)
        status, out = self.run_check(root)
        self.assertEqual(status, 1)
        for rel in extra:
            self.assertIn(f"not in README's tables: {rel}\n", out)
        self.assertIn("`gone.cpp` is no file or folder of the tree", out)
        # A heading ends the folder: the later `one.h` is read from the top.
        self.assertIn("`one.h` is no file or folder of the tree", out)
        for rel in ["engine/a/one.cpp", "engine/a/sub/deep.h", "tools/run", "tests/helper"]:
            self.assertNotIn(rel, out)
        for rel in ["CMakeLists", "notes.txt", "theme.", "gen.py", "icons.rc", "scripts/runner"]:
            self.assertNotIn(rel, out)

    def test_names_of_a_cell(self):
        self.assertEqual(readmecheck.expand("a.h/.cpp"), ["a.h", "a.cpp"])
        self.assertEqual(readmecheck.expand("core/x.h/.cpp/.inc"), ["core/x.h", "core/x.cpp", "core/x.inc"])
        self.assertEqual(readmecheck.expand("tools/run [SCRIPT]"), ["tools/run"])


if __name__ == "__main__":
    unittest.main()
