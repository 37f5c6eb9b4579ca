#!/usr/bin/env python3
"""Holds the includes of a tree of sources to the order of its rooms.

A room is a folder of the tree; the order, from the bottom up, is the
build's (lib/syncer/CMakeLists.txt hands SYNCER_ROOMS to this check). Every
.h and .cpp below the tree belongs to the deepest room whose folder holds it,
its tests/ folder included, and may include headers of its own room and of
the rooms before it, never of a room after it. Only sources in a tests/
folder may include the files of a tests/ folder. A source that lies in no
room is refused, so a new folder cannot escape the order; a tests/ folder
outside every room holds tests of several rooms and is not held to it.

An include names a file of the tree when it is found beside the including
file, or when it starts with the prefix under which the tree is included
("syncer/" for lib/syncer, whose parent is on the include path) and the rest
is found in the tree. Includes that name no file of the tree (other
modules', the platform's, the system's) are not the check's. Prints each
include that breaks the order with its file and line, and a summary; exits 1
when anything broke it.

usage: room_check.py TREE [--prefix PREFIX] ROOM...   (ROOM: from the bottom up)"""
import os
import re
import sys

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', re.M)
SOURCE_ENDINGS = (".h", ".cpp")
TESTS = "tests"


def room_of(path, rooms):
    """The deepest room whose folder holds path, or None."""
    best = None
    for room in rooms:
        if path.startswith(room + "/") and (best is None or len(room) > len(best)):
            best = room
    return best


def in_tests(path):
    return TESTS in path.split("/")[:-1]


def sources(tree):
    for folder, dirs, files in os.walk(tree):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_ENDINGS):
                yield os.path.relpath(os.path.join(folder, name), tree)


def resolve(tree, prefix, path, include):
    """The tree's file an include names, relative to the tree, or None."""
    beside = os.path.normpath(os.path.join(os.path.dirname(path), include))
    if os.path.isfile(os.path.join(tree, beside)):
        return beside
    if include.startswith(prefix):
        rest = os.path.normpath(include[len(prefix):])
        if not rest.startswith("..") and os.path.isfile(os.path.join(tree, rest)):
            return rest
    return None


def check(tree, prefix, rooms):
    problems = []
    for room in rooms:
        if not os.path.isdir(os.path.join(tree, room)):
            problems.append(f"{room}: a room without its folder")
    if len(set(rooms)) != len(rooms):
        problems.append("a room named twice in the order")
    rank = {room: i for i, room in enumerate(rooms)}
    uses = set()
    upward = 0
    for path in sources(tree):
        room = room_of(path, rooms)
        if room is None:
            if not in_tests(path):
                problems.append(f"{path}: a source in no room")
            continue
        with open(os.path.join(tree, path), encoding="utf-8") as f:
            text = f.read()
        for match in INCLUDE.finditer(text):
            include = match.group(1)
            resolved = resolve(tree, prefix, path, include)
            if resolved is None:
                continue
            line = text.count("\n", 0, match.start()) + 1
            where = f"{path}:{line}: #include \"{include}\""
            if in_tests(resolved) and not in_tests(path):
                problems.append(f"{where}: {room} may not use the tests' files")
                continue
            target = room_of(resolved, rooms)
            if target is None:
                if not in_tests(resolved):
                    problems.append(f"{where}: a header in no room")
            elif target != room:
                uses.add((room, target))
                if rank[target] > rank[room]:
                    upward += 1
                    problems.append(f"{where}: {room} may not use {target}, which lies above it")
    return problems, uses, upward


def main():
    arguments = sys.argv[1:]
    prefix = ""
    if len(arguments) >= 2 and arguments[1] == "--prefix":
        prefix = arguments[2] if len(arguments) > 2 else ""
        arguments = arguments[:1] + arguments[3:]
    if len(arguments) < 2:
        sys.exit("usage: room_check.py TREE [--prefix PREFIX] ROOM...")
    problems, uses, upward = check(arguments[0], prefix, arguments[1:])
    for problem in problems:
        print(problem)
    print(f"room check: {len(uses)} room-to-room uses, {upward} upward includes, "
          f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
