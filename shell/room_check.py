#!/usr/bin/env python3
"""Holds the includes of the shell extension's sources to the order of its
rooms.

The order is the build's: shell/CMakeLists.txt lists the rooms from the
bottom up (set(SHELL_ROOMS ...)) and hands them to this check. Every .h and
.cpp below shell/, but for the tests in shell/tests/, belongs to the room
whose folder holds it (the deepest one), and may include headers of its own
room and of the rooms before it, never of a room after it nor of the tests.
Includes that name no file of the extension (the library's, the platform's)
are not the check's. A source that lies in no room is refused, so a new
room cannot escape the order. Prints each include that breaks it with its
file and line, and a summary; exits 1 when anything broke it.

usage: room_check.py SHELL_DIR ROOM...   (ROOM: from the bottom up)"""
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


def sources(shell):
    for folder, dirs, files in os.walk(shell):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_ENDINGS):
                path = os.path.relpath(os.path.join(folder, name), shell)
                if path.split("/")[0] != TESTS:
                    yield path


def resolve(shell, path, include):
    """The extension's file an include names, relative to shell/, or None."""
    beside = os.path.normpath(os.path.join(os.path.dirname(path), include))
    if os.path.isfile(os.path.join(shell, beside)):
        return beside
    if os.path.isfile(os.path.join(shell, include)):
        return os.path.normpath(include)
    return None


def check(shell, rooms):
    problems = []
    for room in rooms:
        if not os.path.isdir(os.path.join(shell, room)):
            problems.append(f"{room}: a room without its folder")
    if len(set(rooms)) != len(rooms):
        problems.append("a room named twice in the order")
    rank = {room: i for i, room in enumerate(rooms)}
    uses = set()
    upward = 0
    for path in sources(shell):
        room = room_of(path, rooms)
        if room is None:
            problems.append(f"{path}: a source in no room")
            continue
        with open(os.path.join(shell, path), encoding="utf-8") as f:
            text = f.read()
        for match in INCLUDE.finditer(text):
            include = match.group(1)
            resolved = resolve(shell, path, include)
            if resolved is None:
                continue
            line = text.count("\n", 0, match.start()) + 1
            where = f"{path}:{line}: #include \"{include}\""
            if resolved.split("/")[0] == TESTS:
                problems.append(f"{where}: {room} may not use the tests' files")
                continue
            target = room_of(resolved, rooms)
            if target is None:
                problems.append(f"{where}: a header in no room")
            elif target != room:
                uses.add((room, target))
                if rank[target] > rank[room]:
                    upward += 1
                    problems.append(f"{where}: {room} may not use {target}, which lies above it")
    return problems, uses, upward


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: room_check.py SHELL_DIR ROOM...")
    problems, uses, upward = check(sys.argv[1], sys.argv[2:])
    for problem in problems:
        print(problem)
    print(f"room check: {len(uses)} room-to-room uses, {upward} upward includes, "
          f"{len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
