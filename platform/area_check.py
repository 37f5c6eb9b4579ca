#!/usr/bin/env python3
"""Holds the includes of every source of the platform library to its table of
areas.

The table is the build itself: platform/CMakeLists.txt lists the areas from
the bottom up (set(PLATFORM_AREAS ...)), and each platform/<area>/CMakeLists.txt
names in platform_area(<area> USES ... HEADERS ... TEST_HEADERS ... SHARED ...)
the areas it uses, the public headers of include/win/ and the test headers
of test_api/include/win/ it implements, and its private headers that the
areas above it may include. Every .h and .cpp below platform/<area>/ (its
tests too) belongs to that area, and may include:
  - its own area's headers;
  - a public, test or SHARED header of an area it names in USES.
An area may name only areas below it in USES, so the areas cannot form a
cycle. The programs of the platform (set(PLATFORM_PROGRAMS ...), such as the
shell host in explorer/) sit above every area: each
platform/<program>/CMakeLists.txt names in platform_program(<program>
TARGETS ... USES ...) the areas it uses, and its sources are held to the
same rules; no area may include a program's headers. The test headers are
for the tests and the test API alone: only the sources in an area's tests/
and test_api/ folders, and the test headers themselves, may include them;
the platform's own code and its public headers never do; the programs,
drivers of tests and of the demo, may. Prints each
include that breaks this with its file and line, and a summary; exits 1
when anything broke it.

usage: area_check.py PLATFORM_DIR [--uses]
(--uses also prints which areas each area's includes reach.)"""
import os
import re
import sys

INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+)"', re.M)
NOT_AREAS = {"include"}
TEST_INCLUDE = "test_api/include"
TEST_FOLDERS = ("tests", "test_api")
SOURCE_ENDINGS = (".h", ".cpp")


def cmake_words(text, command):
    """The argument words of each call of command (comments dropped)."""
    text = re.sub(r"#[^\n]*", "", text)
    return [m.group(1).split() for m in re.finditer(command + r"\s*\(([^)]*)\)", text)]


def read_sections(call, name, keywords, problems):
    """The words of a platform_area/platform_program call by keyword."""
    sections = {keyword: [] for keyword in keywords}
    current = None
    for word in call[1:]:
        if word in sections:
            current = word
        elif current is None:
            problems.append(f"{name}/CMakeLists.txt: {word} before {'/'.join(keywords)}")
        else:
            sections[current].append(word)
    return sections


def read_areas(platform):
    problems = []
    with open(os.path.join(platform, "CMakeLists.txt"), encoding="utf-8") as f:
        top = f.read()
    orders = [words for words in cmake_words(top, r"\bset") if words and words[0] == "PLATFORM_AREAS"]
    if len(orders) != 1:
        return None, ["CMakeLists.txt: no single set(PLATFORM_AREAS ...)"]
    order = orders[0][1:]
    areas = {}
    for rank, name in enumerate(order):
        path = os.path.join(platform, name, "CMakeLists.txt")
        if not os.path.isfile(path):
            problems.append(f"{name}/CMakeLists.txt: missing for area {name}")
            continue
        with open(path, encoding="utf-8") as f:
            calls = cmake_words(f.read(), r"\bplatform_area")
        if len(calls) != 1 or calls[0][:1] != [name]:
            problems.append(f"{name}/CMakeLists.txt: expected one platform_area({name} ...)")
            continue
        sections = read_sections(calls[0], name,
                                 ("USES", "HEADERS", "TEST_HEADERS", "SHARED", "LIBRARIES"),
                                 problems)
        for used in sections["USES"]:
            if used not in order:
                problems.append(f"{name}/CMakeLists.txt: uses {used}, which is no area")
            elif order.index(used) >= rank:
                problems.append(f"{name}/CMakeLists.txt: uses {used}, which is not below it")
        areas[name] = {"rank": rank, "uses": set(sections["USES"]),
                       "headers": {"win/" + h for h in sections["HEADERS"]},
                       "test_headers": {"win/" + h for h in sections["TEST_HEADERS"]},
                       "shared": {name + "/" + h for h in sections["SHARED"]}}
    programs = [words for words in cmake_words(top, r"\bset")
                if words and words[0] == "PLATFORM_PROGRAMS"]
    for name in (programs[0][1:] if programs else []):
        path = os.path.join(platform, name, "CMakeLists.txt")
        if not os.path.isfile(path):
            problems.append(f"{name}/CMakeLists.txt: missing for program {name}")
            continue
        with open(path, encoding="utf-8") as f:
            calls = cmake_words(f.read(), r"\bplatform_program")
        if len(calls) != 1 or calls[0][:1] != [name]:
            problems.append(f"{name}/CMakeLists.txt: expected one platform_program({name} ...)")
            continue
        sections = read_sections(calls[0], name, ("TARGETS", "USES"), problems)
        for used in sections["USES"]:
            if used not in order:
                problems.append(f"{name}/CMakeLists.txt: uses {used}, which is no area")
        areas[name] = {"rank": len(order), "uses": set(sections["USES"]),
                       "headers": set(), "test_headers": set(), "shared": set(),
                       "program": True}
    return areas, problems


def sources(platform):
    for folder, dirs, files in os.walk(platform):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(SOURCE_ENDINGS):
                yield os.path.relpath(os.path.join(folder, name), platform)


def check(platform):
    areas, problems = read_areas(platform)
    if areas is None:
        return problems, {}
    owner_of_public = {}
    test_headers = set()
    for name, area in areas.items():
        for header in area["headers"] | area["test_headers"]:
            if header in owner_of_public:
                problems.append(f"{header}: claimed by {owner_of_public[header]} and {name}")
            owner_of_public[header] = name
        test_headers |= area["test_headers"]
    public_dir = os.path.join(platform, "include")
    test_dir = os.path.join(platform, TEST_INCLUDE)
    for path in sources(platform):
        if path.startswith("include/") and path.endswith(".h"):
            header = os.path.relpath(path, "include")
            if header not in owner_of_public or header in test_headers:
                problems.append(f"{path}: a public header that no area claims (HEADERS)")
        elif path.startswith(TEST_INCLUDE + "/") and path.endswith(".h"):
            if os.path.relpath(path, TEST_INCLUDE) not in test_headers:
                problems.append(f"{path}: a test header that no area claims (TEST_HEADERS)")
    edges = {}
    for path in sources(platform):
        top = path.split("/")[0]
        may_use_tests = False
        if top == "include" or path.startswith(TEST_INCLUDE + "/"):
            # A public or test header is part of the area that claims it.
            header = os.path.relpath(path, "include" if top == "include" else TEST_INCLUDE)
            may_use_tests = header in test_headers
            top = owner_of_public.get(header)
            if top is None:
                continue
        elif top in NOT_AREAS:
            continue
        elif "/" not in path or top not in areas:
            problems.append(f"{path}: a source outside the area folders")
            continue
        else:
            may_use_tests = (path.split("/")[1] in TEST_FOLDERS or
                             areas[top].get("program", False))
        area = areas[top]
        with open(os.path.join(platform, path), encoding="utf-8") as f:
            text = f.read()
        for match in INCLUDE.finditer(text):
            include = match.group(1)
            line = text.count("\n", 0, match.start()) + 1
            where = f"{path}:{line}: #include \"{include}\""
            if include in owner_of_public:
                target, private = owner_of_public[include], False
                if include in test_headers and not may_use_tests:
                    problems.append(f"{where}: a test header, for the tests and test_api/ alone")
            elif include.startswith("win/") and (os.path.isfile(os.path.join(public_dir, include)) or
                                                 os.path.isfile(os.path.join(test_dir, include))):
                problems.append(f"{where}: a public header that no area claims")
                continue
            else:
                beside = os.path.normpath(os.path.join(os.path.dirname(path), include))
                if os.path.isfile(os.path.join(platform, beside)):
                    resolved = beside
                elif os.path.isfile(os.path.join(platform, include)):
                    resolved = os.path.normpath(include)
                else:
                    continue  # not a header of the platform
                target = resolved.split("/")[0]
                if target in NOT_AREAS or target not in areas:
                    problems.append(f"{where}: a header outside the area folders")
                    continue
                private = resolved not in areas[target]["shared"]
            if target == top:
                continue
            edges.setdefault((top, target), []).append(where)
            if areas[target]["rank"] > area["rank"]:
                problems.append(f"{where}: {top} may not use {target}, which lies above it")
            elif target not in area["uses"]:
                problems.append(f"{where}: {top} does not name {target} in USES")
            elif private:
                problems.append(f"{where}: a header private to {target}")
    return problems, edges


def cycles(edges):
    """The groups of areas that reach each other through includes (Tarjan)."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, set()).add(b)
        graph.setdefault(b, set())
    index, low, stack, on_stack, groups = {}, {}, [], set(), []

    def visit(node):
        index[node] = low[node] = len(index)
        stack.append(node)
        on_stack.add(node)
        for nxt in graph[node]:
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            group = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                group.append(top)
                if top == node:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for node in sorted(graph):
        if node not in index:
            visit(node)
    return groups


def main():
    arguments = sys.argv[1:]
    show_uses = "--uses" in arguments
    arguments = [a for a in arguments if a != "--uses"]
    if len(arguments) != 1:
        sys.exit("usage: area_check.py PLATFORM_DIR [--uses]")
    problems, edges = check(arguments[0])
    if show_uses:
        reached = {}
        for a, b in edges:
            reached.setdefault(a, []).append(b)
        for area in sorted(reached):
            print(f"{area} uses: {' '.join(sorted(reached[area]))}")
    loops = cycles(edges)
    for group in loops:
        problems.append("areas that include each other: " + " ".join(group))
    for problem in problems:
        print(problem)
    upward = sum(1 for p in problems if "lies above it" in p)
    print(f"area check: {len(edges)} area-to-area uses, {upward} upward includes, "
          f"{len(loops)} cycles, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
