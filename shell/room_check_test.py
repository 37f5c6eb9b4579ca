#!/usr/bin/env python3
"""The include check of the shell extension's rooms, on small trees made
here and on a copy of the real tree with a deliberately wrong include.

usage: room_check_test.py SHELL_DIR ROOM...   (the real tree and its order)"""
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "room_check.py")
REAL_TREE = None
REAL_ROOMS = []


def run_check(shell, rooms):
    done = subprocess.run([sys.executable, CHECK, shell, *rooms], text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout


class SmallTree(unittest.TestCase):
    """Three rooms from the bottom up: folder/low, folder/high and ui."""

    ROOMS = ["folder/low", "folder/high", "ui"]

    def setUp(self):
        self.root = tempfile.mkdtemp()
        self.write("folder/low/low.h", "#pragma once\n")
        self.write("folder/low/low.cpp", '#include "folder/low/low.h"\n#include "vfs/item.h"\n')
        self.write("folder/high/high.h", '#pragma once\n#include "folder/low/low.h"\n')
        self.write("folder/high/high.cpp", '#include "high.h"\n')
        self.write("ui/page.cpp", '#include "folder/high/high.h"\n#include "win/user.h"\n')
        self.write("tests/fake.h", "#pragma once\n")
        self.write("tests/high/high_test.cpp", '#include "ui/page.h"\n#include "fake.h"\n')

    def tearDown(self):
        shutil.rmtree(self.root)

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(textwrap.dedent(text))

    def assert_fails_with(self, *expected):
        code, output = run_check(self.root, self.ROOMS)
        self.assertEqual(code, 1, output)
        for text in expected:
            self.assertIn(text, output)
        return output

    def test_a_tree_that_keeps_the_order_passes_whatever_its_tests_include(self):
        code, output = run_check(self.root, self.ROOMS)
        self.assertEqual(code, 0, output)
        self.assertIn("2 room-to-room uses, 0 upward includes, 0 problems", output)

    def test_an_include_of_a_higher_room_is_named_with_file_and_line(self):
        self.write("ui/page.h", "#pragma once\n")
        self.write("folder/low/low.cpp", '#include "folder/low/low.h"\n\n#include "ui/page.h"\n')
        self.write("folder/high/high.h", '#pragma once\n#include "../../ui/page.h"\n')
        self.assert_fails_with(
            'folder/low/low.cpp:3: #include "ui/page.h": folder/low may not use ui, '
            "which lies above it",
            'folder/high/high.h:2: #include "../../ui/page.h": folder/high may not use ui',
            "2 upward includes")

    def test_a_room_left_out_of_the_order_and_the_tests_files_are_refused(self):
        self.write("folder/new_room/thing.cpp", '#include "folder/low/low.h"\n')
        self.write("loose.cpp", "int loose;\n")
        self.write("folder/high/high.cpp", '#include "tests/fake.h"\n')
        self.assert_fails_with("folder/new_room/thing.cpp: a source in no room",
                               "loose.cpp: a source in no room",
                               'folder/high/high.cpp:1: #include "tests/fake.h": folder/high may '
                               "not use the tests' files")

    def test_an_order_that_names_a_missing_folder_is_refused(self):
        self.ROOMS = ["folder/low", "folder/gone", "folder/high", "ui"]
        self.assert_fails_with("folder/gone: a room without its folder")


class RealTree(unittest.TestCase):
    def test_the_extension_passes_and_fails_on_an_include_of_ui_from_the_folder(self):
        code, output = run_check(REAL_TREE, REAL_ROOMS)
        self.assertEqual(code, 0, output)
        with tempfile.TemporaryDirectory() as root:
            copy = os.path.join(root, "shell")
            shutil.copytree(REAL_TREE, copy,
                            ignore=shutil.ignore_patterns("*.png", "*.rgs", "__pycache__"))
            with open(os.path.join(copy, "folder", "drop", "drop_target.cpp"), "a",
                      encoding="utf-8") as f:
                f.write('#include "ui/property_sheet.h"\n')
            code, output = run_check(copy, REAL_ROOMS)
            self.assertEqual(code, 1, output)
            self.assertIn('folder/drop/drop_target.cpp:', output)
            self.assertIn('#include "ui/property_sheet.h": folder/drop may not use ui, '
                          "which lies above it", output)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: room_check_test.py SHELL_DIR ROOM...")
    REAL_TREE, REAL_ROOMS = sys.argv[1], sys.argv[2:]
    unittest.main(argv=sys.argv[:1])
