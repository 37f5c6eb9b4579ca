#!/usr/bin/env python3
"""Holds the deliverables off the test API.

The deliverables are the programs and the shared object a person installs,
and the library built into them. Their sources come from the build itself:
cmake/deliverables.cmake writes, for every target of the project they are
built from, its sources and include folders into a list file (lines
"project DIR", "test_include DIR", "target NAME", "include DIR",
"source FILE", and "missing NAME" for a deliverable the build lacks).

Every source in the list, and every header of the project it reaches through
its includes (the platform's own headers aside: the area check holds them),
may not
  - include a test header: a header of the test include folder, by its
    name there ("win/win_test.h") or by a path into that folder;
  - name the test API's namespace (win_test::), which some public headers
    still declare hooks in.
Prints each break with its file and line, and how the header was reached;
then a summary. Exits 1 when anything broke it, or when the list names no
source at all.

usage: test_api_check.py LIST_FILE"""
import os
import re
import sys

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*([<"])([^">]+)[">]', re.M)
TEST_NAMESPACE = re.compile(r"\bwin_test\s*::")
SOURCE_ENDINGS = (".h", ".hpp", ".c", ".cc", ".cpp")


def read_list(path):
    """The project folder, the test include folder, the deliverables that
    are missing, and each target's include folders and sources, in order."""
    project = test_include = None
    missing, targets = [], []
    with open(path, encoding="utf-8") as f:
        for line in f:
            kind, _, value = line.rstrip("\n").partition(" ")
            if not value:
                continue
            if kind == "project":
                project = os.path.realpath(value)
            elif kind == "test_include":
                test_include = os.path.realpath(value)
            elif kind == "missing":
                missing.append(value)
            elif kind == "target":
                targets.append({"name": value, "includes": [], "sources": []})
            elif kind in ("include", "source") and targets:
                entries = targets[-1][kind + "s"]
                if value not in entries:
                    entries.append(value)
    return project, test_include, missing, targets


def test_headers(test_include):
    names = set()
    for folder, _, files in os.walk(test_include):
        for name in files:
            names.add(os.path.relpath(os.path.join(folder, name), test_include))
    return names


def inside(path, folder):
    return os.path.commonpath([path, folder]) == folder


class Checker:
    def __init__(self, project, test_include):
        self.project = project
        self.test_include = test_include
        self.platform = os.path.join(project, "platform")
        self.test_names = test_headers(test_include)
        self.visited = set()
        self.problems = []

    def shown(self, path):
        return os.path.relpath(path, self.project) if inside(path, self.project) else path

    def resolve(self, include, quoted, folder, includes):
        """The file an include names, or None when it is none of ours to
        read (a system header, or a header not found)."""
        bases = ([folder] if quoted else []) + includes
        for base in bases:
            candidate = os.path.realpath(os.path.join(base, include))
            if os.path.isfile(candidate):
                return candidate
        return None

    def is_test_header(self, include, resolved):
        if os.path.normpath(include) in self.test_names:
            return True
        return resolved is not None and inside(resolved, self.test_include)

    def visit(self, path, includes, target, chain):
        if path in self.visited:
            return
        self.visited.add(path)
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
        except OSError as error:
            self.problems.append(f"{self.shown(path)}: cannot be read ({error.strerror})")
            return
        through = "" if not chain else " (reached from " + " <- ".join(
            self.shown(p) for p in reversed(chain)) + ")"
        for match in TEST_NAMESPACE.finditer(text):
            line = text.count("\n", 0, match.start()) + 1
            self.problems.append(f"{self.shown(path)}:{line}: names the test API (win_test::), "
                                 f"in {target}{through}")
        for match in INCLUDE.finditer(text):
            quoted, include = match.group(1) == '"', match.group(2)
            line = text.count("\n", 0, match.start()) + 1
            resolved = self.resolve(include, quoted, os.path.dirname(path), includes)
            if self.is_test_header(include, resolved):
                spelled = f'"{include}"' if quoted else f"<{include}>"
                self.problems.append(f"{self.shown(path)}:{line}: #include {spelled}: a test header, "
                                     f"in {target}{through}")
                continue
            if (resolved and inside(resolved, self.project) and
                    not inside(resolved, self.platform) and resolved.endswith(SOURCE_ENDINGS)):
                self.visit(resolved, includes, target, chain + [path])


def check(list_file):
    project, test_include, missing, targets = read_list(list_file)
    if not project or not test_include:
        return [f"{list_file}: no project or test include folder"], 0, 0
    checker = Checker(project, test_include)
    for name in missing:
        checker.problems.append(f"{name}: a deliverable the build does not define")
    sources = 0
    for target in targets:
        for source in target["sources"]:
            if not source.endswith(SOURCE_ENDINGS):
                continue
            sources += 1
            checker.visit(os.path.realpath(source), target["includes"], target["name"], [])
    if sources == 0:
        checker.problems.append(f"{list_file}: no source of any deliverable")
    return checker.problems, sources, len(checker.visited)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: test_api_check.py LIST_FILE")
    problems, sources, files = check(sys.argv[1])
    for problem in problems:
        print(problem)
    print(f"test API check: {sources} deliverable sources, {files} files read, "
          f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
