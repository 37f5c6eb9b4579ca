#!/usr/bin/env python3
"""The include check of the platform's areas and programs, on small trees
made here and on copies of the real tree with deliberately wrong includes."""
import os
import shutil
import subprocess
import sys
import tempfile
import textwrap
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
CHECK = os.path.join(HERE, "area_check.py")


def run_check(platform):
    done = subprocess.run([sys.executable, CHECK, platform], text=True,
                          stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return done.returncode, done.stdout


class SmallTree(unittest.TestCase):
    """Two areas: low (public win/low.h, shared low/low_shared.h, private
    low/low_private.h) and high, which uses low."""

    def setUp(self):
        self.root = tempfile.mkdtemp()
        self.write("CMakeLists.txt", "set(PLATFORM_AREAS low high)\n")
        self.write("low/CMakeLists.txt", """\
            # The lower area.
            platform_area(low
              HEADERS low.h
              SHARED low_shared.h)
            """)
        self.write("high/CMakeLists.txt", "platform_area(high USES low HEADERS high.h)\n")
        self.write("include/win/low.h", "#pragma once\n")
        self.write("include/win/high.h", '#pragma once\n#include "win/low.h"\n')
        self.write("low/low_shared.h", "#pragma once\n")
        self.write("low/low_private.h", "#pragma once\n")
        self.write("low/low.cpp", '#include "win/low.h"\n#include "low_private.h"\n#include <vector>\n')
        self.write("high/high.cpp", '#include "win/high.h"\n#include "low/low_shared.h"\n')
        self.write("high/tests/high_test.cpp", '#include "win/high.h"\n#include "win/low.h"\n')

    def tearDown(self):
        shutil.rmtree(self.root)

    def write(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(textwrap.dedent(text))

    def assert_fails_with(self, *expected):
        code, output = run_check(self.root)
        self.assertEqual(code, 1, output)
        for text in expected:
            self.assertIn(text, output)
        return output

    def test_a_tree_that_keeps_the_order_passes(self):
        code, output = run_check(self.root)
        self.assertEqual(code, 0, output)
        self.assertIn("0 upward includes, 0 cycles, 0 problems", output)

    def test_a_lower_area_including_a_higher_header_is_named_with_file_and_line(self):
        self.write("low/low.cpp", '#include "win/low.h"\n\n#include "win/high.h"\n')
        output = self.assert_fails_with(
            'low/low.cpp:3: #include "win/high.h": low may not use high, which lies above it',
            "1 upward includes", "areas that include each other: high low")
        self.assertIn("1 cycles", output)

    def test_an_upward_include_in_a_test_or_a_public_header_counts_too(self):
        self.write("low/tests/low_test.cpp", '#include "high/high_private.h"\n')
        self.write("high/high_private.h", "#pragma once\n")
        self.write("include/win/low.h", '#pragma once\n#include "win/high.h"\n')
        self.assert_fails_with('low/tests/low_test.cpp:1: #include "high/high_private.h": low may not use high',
                               'include/win/low.h:2: #include "win/high.h": low may not use high')

    def test_a_header_private_to_another_area_is_refused(self):
        self.write("high/high.cpp", '#include "low/low_private.h"\n')
        self.assert_fails_with('high/high.cpp:1: #include "low/low_private.h": a header private to low')

    def test_an_area_must_name_the_areas_it_uses(self):
        self.write("high/CMakeLists.txt", "platform_area(high HEADERS high.h)\n")
        self.assert_fails_with('high/high.cpp:2: #include "low/low_shared.h": high does not name low in USES')

    def test_sources_outside_the_area_folders_are_refused(self):
        self.write("loose.cpp", "int loose;\n")
        self.write("src/old.cpp", "int old;\n")
        self.assert_fails_with("loose.cpp: a source outside the area folders",
                               "src/old.cpp: a source outside the area folders")

    def test_the_table_itself_is_held_to_the_order(self):
        self.write("low/CMakeLists.txt", "platform_area(low USES high HEADERS low.h SHARED low_shared.h)\n")
        self.write("include/win/stray.h", "#pragma once\n")
        self.assert_fails_with("low/CMakeLists.txt: uses high, which is not below it",
                               "include/win/stray.h: a public header that no area claims")

    def add_program(self, uses="low"):
        self.write("CMakeLists.txt", "set(PLATFORM_AREAS low high)\nset(PLATFORM_PROGRAMS host)\n")
        self.write("host/CMakeLists.txt", f"platform_program(host TARGETS host_lib USES {uses})\n")
        self.write("host/host.h", "#pragma once\n")
        self.write("host/host.cpp", '#include "host.h"\n#include "win/low.h"\n#include "low/low_shared.h"\n')

    def test_a_program_sits_above_every_area_and_uses_what_it_names(self):
        self.add_program()
        code, output = run_check(self.root)
        self.assertEqual(code, 0, output)
        self.write("host/host.cpp", '#include "win/high.h"\n#include "low/low_private.h"\n')
        self.write("high/high.cpp", '#include "win/high.h"\n#include "host/host.h"\n')
        self.assert_fails_with('host/host.cpp:1: #include "win/high.h": host does not name high in USES',
                               'host/host.cpp:2: #include "low/low_private.h": a header private to low',
                               'high/high.cpp:2: #include "host/host.h": high may not use host, '
                               "which lies above it")

    def test_a_program_without_its_table_or_naming_no_area_is_refused(self):
        self.add_program(uses="low middle")
        self.assert_fails_with("host/CMakeLists.txt: uses middle, which is no area")
        os.remove(os.path.join(self.root, "host", "CMakeLists.txt"))
        self.assert_fails_with("host/CMakeLists.txt: missing for program host")

    def test_an_area_without_its_table_is_refused(self):
        os.remove(os.path.join(self.root, "high", "CMakeLists.txt"))
        self.assert_fails_with("high/CMakeLists.txt: missing for area high")


class TestHeaders(unittest.TestCase):
    """The small tree with a test header, win/low_test.h, that low claims and
    implements in low/test_api/; high's tests use it."""

    write = SmallTree.write
    assert_fails_with = SmallTree.assert_fails_with
    tearDown = SmallTree.tearDown

    def setUp(self):
        SmallTree.setUp(self)
        self.write("low/CMakeLists.txt",
                   "platform_area(low HEADERS low.h TEST_HEADERS low_test.h SHARED low_shared.h)\n")
        self.write("test_api/include/win/low_test.h", '#pragma once\n#include "win/low.h"\n')
        self.write("low/test_api/low_test.cpp", '#include "win/low_test.h"\n#include "low/low_private.h"\n')
        self.write("high/tests/high_test.cpp", '#include "win/high.h"\n#include "win/low_test.h"\n')

    def test_tests_and_the_test_api_may_include_a_test_header(self):
        code, output = run_check(self.root)
        self.assertEqual(code, 0, output)

    def test_the_platforms_own_code_and_public_headers_may_not(self):
        self.write("low/low.cpp", '#include "win/low.h"\n#include "win/low_test.h"\n')
        self.write("high/high.cpp", '#include "win/low_test.h"\n')
        self.write("include/win/high.h", '#pragma once\n#include "win/low_test.h"\n')
        self.assert_fails_with(
            'low/low.cpp:2: #include "win/low_test.h": a test header, for the tests and test_api/ alone',
            'high/high.cpp:1: #include "win/low_test.h": a test header',
            'include/win/high.h:2: #include "win/low_test.h": a test header')

    def test_a_test_header_is_claimed_as_one(self):
        self.write("low/CMakeLists.txt", "platform_area(low HEADERS low.h low_test.h SHARED low_shared.h)\n")
        self.write("test_api/include/win/stray_test.h", "#pragma once\n")
        self.write("test_api/helper.cpp", "int helper;\n")
        self.assert_fails_with(
            "test_api/include/win/low_test.h: a test header that no area claims (TEST_HEADERS)",
            "test_api/include/win/stray_test.h: a test header that no area claims (TEST_HEADERS)",
            "test_api/helper.cpp: a source outside the area folders")

    def test_a_lower_area_may_not_use_a_higher_areas_test_header(self):
        self.write("high/CMakeLists.txt", "platform_area(high USES low HEADERS high.h TEST_HEADERS high_test.h)\n")
        self.write("test_api/include/win/high_test.h", "#pragma once\n")
        self.write("low/tests/low_test.cpp", '#include "win/high_test.h"\n')
        self.assert_fails_with(
            'low/tests/low_test.cpp:1: #include "win/high_test.h": low may not use high, which lies above it')


class RealTree(unittest.TestCase):
    def test_the_platform_passes_and_fails_on_a_wrong_include(self):
        code, output = run_check(HERE)
        self.assertEqual(code, 0, output)
        with tempfile.TemporaryDirectory() as root:
            copy = os.path.join(root, "platform")
            shutil.copytree(HERE, copy, ignore=shutil.ignore_patterns("*.png", "*.jpg", "__pycache__"))
            with open(os.path.join(copy, "kernel", "base.cpp"), "a", encoding="utf-8") as f:
                f.write('#include "win/shell_notify_icon.h"\n')
            code, output = run_check(copy)
            self.assertEqual(code, 1, output)
            self.assertIn('kernel/base.cpp:', output)
            self.assertIn('#include "win/shell_notify_icon.h": kernel may not use shell, which lies above it',
                          output)

    def test_the_shell_host_is_held_to_the_areas_it_names(self):
        with tempfile.TemporaryDirectory() as root:
            copy = os.path.join(root, "platform")
            shutil.copytree(HERE, copy, ignore=shutil.ignore_patterns("*.png", "*.jpg", "__pycache__"))
            with open(os.path.join(copy, "explorer", "shell_host.cpp"), "a", encoding="utf-8") as f:
                f.write('#include "drawing/gdi_canvas.h"\n')
            with open(os.path.join(copy, "shell", "shell_thread.cpp"), "a", encoding="utf-8") as f:
                f.write('#include "explorer/shell_host.h"\n')
            code, output = run_check(copy)
            self.assertEqual(code, 1, output)
            self.assertIn('#include "drawing/gdi_canvas.h": explorer does not name drawing in USES',
                          output)
            self.assertIn('#include "explorer/shell_host.h": shell may not use explorer, '
                          "which lies above it", output)

    def test_the_platforms_own_code_fails_on_a_test_header(self):
        with tempfile.TemporaryDirectory() as root:
            copy = os.path.join(root, "platform")
            shutil.copytree(HERE, copy, ignore=shutil.ignore_patterns("*.png", "*.jpg", "__pycache__"))
            with open(os.path.join(copy, "windowing", "user.cpp"), "a", encoding="utf-8") as f:
                f.write('#include "win/win_test.h"\n')
            code, output = run_check(copy)
            self.assertEqual(code, 1, output)
            self.assertIn('#include "win/win_test.h": a test header, for the tests and test_api/ alone',
                          output)


if __name__ == "__main__":
    unittest.main()
