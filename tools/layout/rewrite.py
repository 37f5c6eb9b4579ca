#!/usr/bin/env python3
"""After apply_moves.py: rewrites every quoted include and every build-file
path that named a moved file so that it names the file at its new place,
and commits the result.

usage: rewrite.py REPO [--table FILE] [--no-commit]

Includes are resolved as the old layout resolved them (the includer's own
folder first, then the old include folders platform/src, shell, shell/tests
and platform/tests). A moved file is then spelled:
  - the extension's files by their path below shell/ ("folder/module/module.h"),
    as they always were;
  - otherwise by its bare name when it lies in the includer's folder;
  - inside the platform, by its path below platform/ ("kernel/wide_text.h"),
    so that the area it belongs to is visible at the include;
  - below shell/tests by its path there, elsewhere below shell/ by its path
    below shell/."""
import argparse
import os
import re
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from apply_moves import read_table, git  # noqa: E402

OLD_INCLUDE_ROOTS = ["platform/src", "shell", "shell/tests", "platform/tests"]
SOURCE_ENDINGS = (".cpp", ".h", ".hpp", ".cc", ".c", ".inl")
INCLUDE = re.compile(r'^(\s*#\s*include\s+")([^"]+)(")', re.M)
PLATFORM_NOT_AREAS = {"include", "explorer"}


def spelled(new_target, includer):
    if new_target.startswith("shell/folder/"):
        return new_target[len("shell/"):]
    if os.path.dirname(new_target) == os.path.dirname(includer):
        return os.path.basename(new_target)
    parts = new_target.split("/")
    if parts[0] == "platform" and len(parts) > 2 and parts[1] not in PLATFORM_NOT_AREAS:
        return "/".join(parts[1:])
    if new_target.startswith("shell/tests/"):
        return new_target[len("shell/tests/"):]
    if parts[0] == "shell":
        return "/".join(parts[1:])
    return None


def resolve_old(include, old_includer, old_files):
    candidates = [os.path.normpath(os.path.join(os.path.dirname(old_includer), include))]
    candidates += [os.path.normpath(os.path.join(root, include)) for root in OLD_INCLUDE_ROOTS]
    for c in candidates:
        if c in old_files:
            return c
    return None


def rewrite_includes(repo, table, tracked):
    back = {new: old for old, new in table.items()}
    old_files = (set(tracked) - set(back)) | set(table)
    changed = []
    for path in tracked:
        if not path.endswith(SOURCE_ENDINGS):
            continue
        full = os.path.join(repo, path)
        with open(full, encoding="utf-8") as f:
            text = f.read()
        old_includer = back.get(path, path)

        def replace(match):
            target = resolve_old(match.group(2), old_includer, old_files)
            if target is None or target not in table:
                return match.group(0)
            name = spelled(table[target], path)
            if name is None:
                sys.exit(f"{path}: no spelling for {table[target]}")
            return match.group(1) + name + match.group(3)

        new_text = INCLUDE.sub(replace, text)
        if new_text != text:
            with open(full, "w", encoding="utf-8") as f:
                f.write(new_text)
            changed.append(path)
            sort_include_blocks(full, text, new_text)
    return changed


def sort_include_blocks(full, old_text, new_text):
    """Lets clang-format put the changed includes back in order, touching
    only the changed lines (and so only their include blocks)."""
    old_lines, new_lines = old_text.split("\n"), new_text.split("\n")
    changed = [i + 1 for i, (a, b) in enumerate(zip(old_lines, new_lines)) if a != b]
    if not changed or not shutil.which("clang-format"):
        return
    ranges = [f"--lines={n}:{n}" for n in changed]
    subprocess.run(["clang-format", "-i", "--style=file", *ranges, full], check=True)


# Paths in build files: a word that ends in a file name, optionally after
# ${CMAKE_CURRENT_SOURCE_DIR}/ or ${PROJECT_SOURCE_DIR}/ or ${CMAKE_SOURCE_DIR}/.
CMAKE_PATH = re.compile(r'(\$\{(?:CMAKE_CURRENT_SOURCE_DIR|PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}/)?'
                        r'((?:[\w.-]+/)*[\w.*-]+\.(?:cpp|h|map|rgs|cmake))(?![\w/])')
WHOLE_TREE_FOLDERS = {"platform/src": "platform", "platform/tests": None}


def folder_moves(table):
    """Old folders whose files all went to one new folder (for globs)."""
    by_folder = {}
    for old, new in table.items():
        by_folder.setdefault(os.path.dirname(old), set()).add(os.path.dirname(new))
    return {old: news.pop() for old, news in by_folder.items() if len(news) == 1}


def rewrite_cmake(repo, table, tracked):
    back = {new: old for old, new in table.items()}
    folders = folder_moves(table)
    changed = []
    for path in tracked:
        name = os.path.basename(path)
        if name != "CMakeLists.txt" and not name.endswith(".cmake"):
            continue
        full = os.path.join(repo, path)
        with open(full, encoding="utf-8") as f:
            text = f.read()
        here_old = os.path.dirname(back.get(path, path))
        here_new = os.path.dirname(path)

        def replace(match):
            prefix, word = match.group(1) or "", match.group(2)
            if prefix and "CURRENT" not in prefix:
                old = os.path.normpath(word)
                base_new = ""
            else:
                old = os.path.normpath(os.path.join(here_old, word))
                base_new = here_new
            if old in table:
                new = table[old]
            elif "*" in word and os.path.dirname(old) in folders:
                new = os.path.join(folders[os.path.dirname(old)], os.path.basename(old))
            else:
                return match.group(0)
            return prefix + (os.path.relpath(new, base_new) if base_new else new)

        new_text = CMAKE_PATH.sub(replace, text)
        # Private platform headers are now named with their area, from platform/.
        new_text = re.sub(r'(\$\{(?:PROJECT_SOURCE_DIR|CMAKE_SOURCE_DIR)\}/platform)/src\b', r'\1', new_text)
        if path == "shell/tests/CMakeLists.txt" and "include_directories(${CMAKE_CURRENT_SOURCE_DIR})" not in new_text:
            new_text = ("# Tests in the sub-folders include the shared fakes of this folder by name.\n"
                        "include_directories(${CMAKE_CURRENT_SOURCE_DIR})\n\n" + new_text)
        if new_text != text:
            with open(full, "w", encoding="utf-8") as f:
                f.write(new_text)
            changed.append(path)
    return changed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("repo")
    parser.add_argument("--table", default=os.path.join(HERE, "table.tsv"))
    parser.add_argument("--no-commit", action="store_true")
    args = parser.parse_args()
    repo = os.path.abspath(args.repo)
    table = {old: new for old, new in read_table(args.table).items() if old != new}
    tracked = git(repo, "ls-files").split()
    missing = [new for new in table.values() if new not in tracked and os.path.exists(os.path.join(repo, new)) is False]
    present_old = [old for old in table if old in tracked]
    if present_old:
        sys.exit("run apply_moves.py first; still at the old place: " + ", ".join(present_old[:5]))
    table = {old: new for old, new in table.items() if new not in missing}
    sources = rewrite_includes(repo, table, tracked)
    builds = rewrite_cmake(repo, table, tracked)
    print(f"includes rewritten in {len(sources)} files, build files rewritten: {', '.join(builds)}")
    if not args.no_commit and (sources or builds):
        git(repo, "add", "-u")
        git(repo, "commit", "-q", "-m",
            "Layout: includes and build files name the moved files at their new places\n\n"
            "Private platform headers are included with their area folder from platform/;\n"
            "the extension's files with their sub-folder below shell/.")
        print(git(repo, "log", "--oneline", "-1").strip())


if __name__ == "__main__":
    main()
