#!/usr/bin/env python3
"""Holds the tree's C++ sources to the project's .clang-format.

Runs clang-format over every .h and .cpp the repository tracks (every one
below the tree, build folders aside, when the tree is no git checkout) and
names each file whose text differs from the format, with the command that
mends it; exits 1 when any differs.

usage: format_check.py CLANG_FORMAT TREE"""
import concurrent.futures
import os
import subprocess
import sys

SOURCE_ENDINGS = (".h", ".cpp")
BATCH = 40


def tracked_sources(tree):
    try:
        listed = subprocess.run(["git", "-C", tree, "ls-files", "-z", "--", "*.h", "*.cpp"],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
        return [name for name in listed.stdout.decode().split("\0") if name]
    except (OSError, subprocess.CalledProcessError):
        pass
    found = []
    for folder, dirs, files in os.walk(tree):
        dirs[:] = sorted(d for d in dirs if not d.startswith(("build", ".")))
        found += [os.path.relpath(os.path.join(folder, name), tree)
                  for name in sorted(files) if name.endswith(SOURCE_ENDINGS)]
    return found


def differing(clang_format, tree, names):
    """The files of names whose text the format would change."""
    done = subprocess.run([clang_format, "--dry-run", "-Werror", *names], cwd=tree,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if done.returncode == 0:
        return []
    files = set()
    for line in done.stderr.splitlines():
        name = line.split(":", 1)[0]
        if name in names:
            files.add(name)
    if not files:
        raise RuntimeError(done.stderr.strip() or "clang-format failed")
    return sorted(files)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    clang_format, tree = sys.argv[1], os.path.abspath(sys.argv[2])
    names = [n for n in tracked_sources(tree) if os.path.isfile(os.path.join(tree, n))]
    batches = [names[i:i + BATCH] for i in range(0, len(names), BATCH)]
    with concurrent.futures.ThreadPoolExecutor(max_workers=os.cpu_count() or 4) as pool:
        results = list(pool.map(lambda batch: differing(clang_format, tree, batch), batches))
    wrong = sorted(name for found in results for name in found)
    for name in wrong:
        print(f"{name}: differs from .clang-format (mend: clang-format -i {name})")
    print(f"format check: {len(names)} files, {len(wrong)} differ")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
