#!/usr/bin/env python3
"""Moves the files of platform/src, platform/tests, shell/folder and shell/tests
to the places table.tsv gives them, with git mv, and commits the moves alone.

usage: apply_moves.py REPO [--table FILE] [--no-commit]

Stops before moving anything when the work tree is not clean, or when a file
of those folders is not in the table (it lists them: give each a place in
the table and run again)."""
import argparse
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
MOVED_FOLDERS = ["platform/src", "platform/tests", "shell/folder", "shell/tests"]


def read_table(path):
    table = {}
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            parts = line.split("\t")
            if len(parts) != 2:
                sys.exit(f"{path}:{number}: expected 'old<TAB>new'")
            old, new = parts
            if old in table:
                sys.exit(f"{path}:{number}: {old} appears twice")
            table[old] = new
    targets = list(table.values())
    doubles = {t for t in targets if targets.count(t) > 1}
    if doubles:
        sys.exit("table: several files move to " + ", ".join(sorted(doubles)))
    return table


def git(repo, *args):
    return subprocess.run(["git", "-C", repo, *args], check=True, text=True,
                          stdout=subprocess.PIPE).stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("repo")
    parser.add_argument("--table", default=os.path.join(HERE, "table.tsv"))
    parser.add_argument("--no-commit", action="store_true")
    args = parser.parse_args()
    repo = os.path.abspath(args.repo)
    table = read_table(args.table)

    if git(repo, "status", "--porcelain", "--untracked-files=no").strip():
        sys.exit("the work tree has changes: commit or stash them first")
    files = git(repo, "ls-files", "--", *MOVED_FOLDERS).split()
    unknown = [f for f in files if f not in table]
    if unknown:
        print("files the table does not know (give each a line in table.tsv):", file=sys.stderr)
        for f in unknown:
            print("  " + f, file=sys.stderr)
        sys.exit(2)
    present = set(files)
    gone = sorted(old for old in table if old not in present)
    for old in gone:
        print(f"note: {old} is in the table but not in the tree (removed since?)")
    occupied = [new for old, new in table.items()
                if old in present and new != old and os.path.exists(os.path.join(repo, new))
                and new not in present]
    if occupied:
        sys.exit("targets that exist already: " + ", ".join(occupied))

    moved = 0
    for old, new in sorted(table.items()):
        if old not in present or old == new:
            continue
        os.makedirs(os.path.dirname(os.path.join(repo, new)), exist_ok=True)
        git(repo, "mv", old, new)
        moved += 1
    print(f"moved {moved} files")
    if not args.no_commit and moved:
        git(repo, "commit", "-q", "-m",
            "Layout: platform and shell extension files moved into area folders (moves only)\n\n"
            "Every file keeps its content; includes and build files follow in the next commit.")
        print(git(repo, "log", "--oneline", "-1").strip())


if __name__ == "__main__":
    main()
