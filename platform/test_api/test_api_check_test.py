#!/usr/bin/env python3
"""The check that holds the deliverables off the test API, on small projects
made here and on the build's own list of the deliverables' sources (given
as the first argument) with a test header slipped in.

usage: test_api_check_test.py [LIST_FILE]"""
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "test_api_check.py")
REAL_LIST = sys.argv.pop(1) if __name__ == "__main__" and len(sys.argv) > 1 else None


def run_check(list_file):
    done = subprocess.run([sys.executable, CHECK, list_file], text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout


class SmallProject(unittest.TestCase):
    """A program, app, of main.cpp and its header; a public header and a
    test header of the platform; a test beside the program that may use the
    test API."""

    def setUp(self):
        self.root = os.path.realpath(tempfile.mkdtemp())
        self.write("platform/include/win/base.h", "#pragma once\n")
        self.write("platform/test_api/include/win/win_test.h", '#pragma once\n#include "win/base.h"\n')
        self.write("app/app.h", '#pragma once\n#include "win/base.h"\n#include <vector>\n')
        self.write("app/main.cpp", '#include "app.h"\n#include "missing.h"\nint main() {}\n')
        self.write("app/tests/app_test.cpp", '#include "win/win_test.h"\nvoid t() { win_test::pump(); }\n')
        self.sources = ["app/main.cpp"]
        self.lines = []

    def tearDown(self):
        shutil.rmtree(self.root)

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(textwrap.dedent(text))

    def list_file(self):
        lines = [f"project {self.root}", f"test_include {self.root}/platform/test_api/include",
                 "target app", f"include {self.root}/app", f"include {self.root}/platform/include"]
        lines += [f"source {self.root}/{s}" for s in self.sources] + self.lines
        path = os.path.join(self.root, "deliverable_sources.txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        return path

    def assert_fails_with(self, *expected):
        code, output = run_check(self.list_file())
        self.assertEqual(code, 1, output)
        for text in expected:
            self.assertIn(text, output)
        return output

    def test_a_program_off_the_test_api_passes_whatever_its_tests_use(self):
        code, output = run_check(self.list_file())
        self.assertEqual(code, 0, output)
        self.assertIn("1 deliverable sources, 2 files read, 0 problems", output)

    def test_a_test_header_is_refused_by_its_name_or_by_a_path_into_its_folder(self):
        self.write("app/main.cpp", '#include "app.h"\n#include <win/win_test.h>\n'
                   '#include "../platform/test_api/include/win/win_test.h"\n')
        self.assert_fails_with('app/main.cpp:2: #include <win/win_test.h>: a test header, in app',
                               'app/main.cpp:3: #include "../platform/test_api/include/win/win_test.h"')

    def test_a_header_the_program_reaches_is_held_too_and_the_road_named(self):
        self.write("app/app.h", '#pragma once\n#include "util/more.h"\n')
        self.write("app/util/more.h", '#pragma once\n\n#include "win/win_test.h"\n')
        self.assert_fails_with('app/util/more.h:3: #include "win/win_test.h": a test header, in app '
                               '(reached from app/app.h <- app/main.cpp)')

    def test_naming_the_test_namespace_is_refused(self):
        self.write("app/app.h", "#pragma once\ninline void wait() { win_test :: pump(); }\n")
        self.assert_fails_with("app/app.h:2: names the test API (win_test::), in app")

    def test_a_list_without_sources_or_with_a_missing_deliverable_fails(self):
        self.sources = []
        self.lines = ["missing Other_Program"]
        self.assert_fails_with("no source of any deliverable",
                               "Other_Program: a deliverable the build does not define")


@unittest.skipUnless(REAL_LIST, "needs the build's list of deliverable sources")
class RealList(unittest.TestCase):
    def test_the_deliverables_pass_and_fail_with_a_test_header_slipped_in(self):
        with open(REAL_LIST, encoding="utf-8") as f:
            text = f.read()
        for folder in ("session", "tray", "tray/ui", "shell/ui", "lib/utils", "lib/serializer",
                       "lib/crypt", "lib/vfs", "lib/syncer/core", "lib/syncer/tables",
                       "lib/syncer/tasks", "lib/syncer/scan", "lib/syncer/manager"):
            self.assertRegex(text, rf"\nsource [^\n]*/{folder}/[^/\n]+\.cpp\n",
                             f"the deliverables are built from {folder}/")
        code, output = run_check(REAL_LIST)
        self.assertEqual(code, 0, output)
        with tempfile.TemporaryDirectory() as root:
            slipped = os.path.join(root, "slipped.cpp")
            with open(slipped, "w", encoding="utf-8") as f:
                f.write('#include "win/shell.h"\n#include "win/test_journal.h"\n')
            altered = os.path.join(root, "deliverable_sources.txt")
            with open(altered, "w", encoding="utf-8") as f:
                f.write(text + f"source {slipped}\n")
            code, output = run_check(altered)
            self.assertEqual(code, 1, output)
            self.assertIn(f'{slipped}:2: #include "win/test_journal.h": a test header', output)


if __name__ == "__main__":
    unittest.main()
