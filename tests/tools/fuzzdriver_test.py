#!/usr/bin/env python3
"""The fuzz driver's minimising (tools/fuzzdriver.py `cutlines`), end to end:
fuzzengine's minimiser under Wine asks each candidate of a check written
here, over its standard output and input.

    fuzzdriver_test.py BINDIR     (WINE and WINEPREFIX from tools/wineenv)

The driver names the files of its work folder by drive E:, which only the
fuzz prefix has; here the work folder is reached through the test prefix's
drive Z: instead."""
import importlib.util
import os
import shutil
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
spec = importlib.util.spec_from_file_location("fuzzdriver", os.path.join(HERE, "..", "..", "tools", "fuzzdriver.py"))
fuzzdriver = importlib.util.module_from_spec(spec)
spec.loader.exec_module(fuzzdriver)
fuzzdriver.winpath = lambda work, path: "Z:" + os.path.abspath(path).replace("/", "\\")

BINDIR = None
TEXT = "a = 1\r\nif (a) {\r\n    b = 2\r\n    KEEP\r\n}\r\nc = 3\r\nd = 4"


class CutLines(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quorvel-fuzzdriver.")
        shutil.copy2(os.path.join(BINDIR, "fuzzengine.exe"), self.work)
        self.asked = []

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)

    def cut(self, text, keep, seconds=60):
        def still(candidate):
            self.asked.append(candidate)
            return keep(candidate)
        return fuzzdriver.cutlines(self.work, text, still, time.time() + seconds)

    def test_keeps_what_still_holds_and_unwraps_blocks(self):
        self.assertEqual(self.cut(TEXT, lambda t: "KEEP" in t), "    KEEP")
        # Every candidate is a cut of the text: none has a line it had not.
        lines = set(TEXT.split("\r\n"))
        for candidate in self.asked:
            self.assertTrue(set(candidate.split("\r\n")) <= lines, candidate)

    def test_lines_that_must_stay_together_both_stay(self):
        self.assertEqual(self.cut(TEXT, lambda t: "a = 1" in t and "d = 4" in t), "a = 1\r\nd = 4")

    def test_a_finding_that_no_cut_keeps_comes_back_whole(self):
        self.assertEqual(self.cut(TEXT, lambda t: t == TEXT), TEXT)
        self.assertTrue(self.asked, "candidates were asked")

    def test_text_beyond_ascii_makes_the_round_trip(self):
        text = 'x = "\u00e9\u2016"\r\ny = 2\r\nz = "\U0001f600"'
        self.assertEqual(self.cut(text, lambda t: "\u2016" in t and "\U0001f600" in t),
                         'x = "\u00e9\u2016"\r\nz = "\U0001f600"')

    def test_without_the_minimiser_the_text_comes_back_as_it_was(self):
        os.remove(os.path.join(self.work, "fuzzengine.exe"))
        self.assertEqual(self.cut(TEXT, lambda t: "KEEP" in t), TEXT)
        self.assertEqual(self.asked, [])


if __name__ == "__main__":
    BINDIR = sys.argv.pop(1)
    unittest.main()
