#!/usr/bin/env python3
"""The include check of rooms, on small trees made here and on a copy of a
real tree with a deliberately wrong include.

usage: room_check_test.py TREE --prefix PREFIX ROOM...   (the real tree, as
the build checks it)"""
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "room_check.py")
REAL_TREE = []


def run_check(tree, *arguments):
    done = subprocess.run([sys.executable, CHECK, tree, *arguments], text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout


class SmallTree(unittest.TestCase):
    """Three rooms included under "eng/": low, mid and high, each with a
    tests/ folder, and a nested room mid/deep above high."""

    ROOMS = ("low", "mid", "high", "mid/deep")

    def setUp(self):
        self.root = tempfile.mkdtemp()
        self.write("low/low.h", "#pragma once\n#include <vector>\n")
        self.write("low/low.cpp", '#include "eng/low/low.h"\n#include "vfs/file.h"\n')
        self.write("low/tests/low_support.h", '#pragma once\n#include "eng/low/low.h"\n')
        self.write("low/tests/low_test.cpp", '#include "low_support.h"\n')
        self.write("mid/mid.h", '#pragma once\n#include "eng/low/low.h"\n')
        self.write("mid/mid.cpp", '#include "mid.h"\n')
        self.write("mid/tests/mid_test.cpp",
                   '#include "eng/low/tests/low_support.h"\n#include "eng/mid/mid.h"\n')
        self.write("high/high.cpp", '#include "eng/mid/mid.h"\n#include "eng/low/low.h"\n')
        self.write("mid/deep/deep.cpp", '#include "eng/high/high.h"\n')
        self.write("high/high.h", "#pragma once\n")

    def tearDown(self):
        shutil.rmtree(self.root)

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(textwrap.dedent(text))

    def check(self):
        return run_check(self.root, "--prefix", "eng/", *self.ROOMS)

    def assert_fails_with(self, *expected):
        code, output = self.check()
        self.assertEqual(code, 1, output)
        for text in expected:
            self.assertIn(text, output)
        return output

    def test_a_tree_that_keeps_the_order_passes(self):
        code, output = self.check()
        self.assertEqual(code, 0, output)
        self.assertIn("4 room-to-room uses, 0 upward includes, 0 problems", output)

    def test_an_upward_include_is_named_with_file_and_line(self):
        self.write("low/low.cpp", '#include "eng/low/low.h"\n\n#include "eng/mid/mid.h"\n')
        self.assert_fails_with(
            'low/low.cpp:3: #include "eng/mid/mid.h": low may not use mid, which lies above it',
            "1 upward includes")

    def test_headers_and_tests_are_held_to_the_order_too(self):
        self.write("low/low.h", '#pragma once\n#include "../high/high.h"\n')
        self.write("mid/tests/mid_test.cpp", '#include "eng/high/high.h"\n')
        self.assert_fails_with(
            'low/low.h:2: #include "../high/high.h": low may not use high',
            'mid/tests/mid_test.cpp:1: #include "eng/high/high.h": mid may not use high',
            "2 upward includes")

    def test_the_deepest_room_holds_a_file(self):
        self.write("high/high.cpp", '#include "eng/mid/deep/deep.h"\n')
        self.write("mid/deep/deep.h", "#pragma once\n")
        self.assert_fails_with('high/high.cpp:1: #include "eng/mid/deep/deep.h": '
                               "high may not use mid/deep, which lies above it")

    def test_only_tests_include_the_files_of_tests(self):
        self.write("mid/mid.cpp", '#include "eng/low/tests/low_support.h"\n')
        self.assert_fails_with('mid/mid.cpp:1: #include "eng/low/tests/low_support.h": '
                               "mid may not use the tests' files")

    def test_a_source_in_no_room_is_refused(self):
        self.write("loose.cpp", "int loose;\n")
        self.write("other/old.h", "#pragma once\n")
        self.write("low/low.cpp", '#include "eng/other/old.h"\n')
        self.assert_fails_with("loose.cpp: a source in no room", "other/old.h: a source in no room",
                               'low/low.cpp:1: #include "eng/other/old.h": a header in no room')

    def test_tests_outside_the_rooms_are_free(self):
        self.write("tests/across_test.cpp", '#include "eng/high/high.h"\n#include "eng/low/low.h"\n')
        code, output = self.check()
        self.assertEqual(code, 0, output)

    def test_includes_that_name_no_file_of_the_tree_are_not_the_checks(self):
        self.write("low/low.cpp", '#include "eng/mid/gone.h"\n#include "other/mid/mid.h"\n')
        code, output = self.check()
        self.assertEqual(code, 0, output)

    def test_without_a_prefix_includes_name_the_tree_from_its_top(self):
        code, output = run_check(self.root, *self.ROOMS)
        self.assertEqual(code, 0, output)
        self.write("low/low.cpp", '#include "mid/mid.h"\n')
        code, output = run_check(self.root, *self.ROOMS)
        self.assertEqual(code, 1, output)
        self.assertIn('low/low.cpp:1: #include "mid/mid.h": low may not use mid', output)

    def test_the_order_itself_is_checked(self):
        code, output = run_check(self.root, "--prefix", "eng/", "low", "mid", "low", "gone")
        self.assertEqual(code, 1, output)
        self.assertIn("gone: a room without its folder", output)
        self.assertIn("a room named twice in the order", output)


class RealTree(unittest.TestCase):
    def test_the_tree_passes_and_fails_on_an_upward_include(self):
        tree, arguments = REAL_TREE[0], REAL_TREE[1:]
        rooms = [a for a in arguments[2:]] if arguments[:1] == ["--prefix"] else arguments
        prefix = arguments[1] if arguments[:1] == ["--prefix"] else ""
        code, output = run_check(tree, *arguments)
        self.assertEqual(code, 0, output)
        lowest, highest = rooms[0], rooms[-1]
        with tempfile.TemporaryDirectory() as root:
            copy = os.path.join(root, "tree")
            shutil.copytree(tree, copy, ignore=shutil.ignore_patterns("*.xml", "__pycache__"))
            source = next(os.path.join(lowest, name)
                          for name in sorted(os.listdir(os.path.join(copy, lowest)))
                          if name.endswith(".cpp"))
            header = next(os.path.join(highest, name)
                          for name in sorted(os.listdir(os.path.join(copy, highest)))
                          if name.endswith(".h"))
            with open(os.path.join(copy, source), "a", encoding="utf-8") as f:
                f.write(f'#include "{prefix}{header}"\n')
            code, output = run_check(copy, *arguments)
            self.assertEqual(code, 1, output)
            self.assertIn(f'{source}:', output)
            self.assertIn(f'#include "{prefix}{header}": {lowest} may not use {highest}, '
                          "which lies above it", output)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    REAL_TREE.extend(sys.argv[1:])
    unittest.main(argv=sys.argv[:1])
