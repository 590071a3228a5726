#!/usr/bin/env python3
"""Every name of the .def is declared once in the public header, under a comment that documents it.

A declaration counts as documented when the nearest line above its group of declarations closes a
comment; groups such as UhfOpenPort and UhfReaderConnect share one comment.
Usage: check_header_docs.py HEADER DEF
"""
import re
import sys


def def_names(path):
    names = []
    in_exports = False
    for line in open(path, encoding="utf-8"):
        line = line.split(";")[0].strip()
        if line.upper() == "EXPORTS":
            in_exports = True
        elif in_exports and line:
            names.append(line.split()[0].split("=")[0])
    return names


def declarations(lines):
    """Maps each exported name to the index of the line that starts its declaration."""
    found = {}
    pattern = re.compile(r"^QUARN_API\b.*?\b(\w+)\s*\(")
    for index, line in enumerate(lines):
        match = pattern.match(line)
        if match:
            found.setdefault(match.group(1), []).append(index)
    return found


def documented(lines, index):
    """Walks up past the other declarations of the group (and their continuation lines) to a comment."""
    index -= 1
    while index >= 0:
        text = lines[index].strip()
        if text.endswith("*/"):
            return True
        if text == "" or text.startswith("#"):
            return False
        index -= 1
    return False


def main():
    header_path, def_path = sys.argv[1], sys.argv[2]
    lines = open(header_path, encoding="utf-8").read().splitlines()
    found = declarations(lines)
    problems = []
    for name in def_names(def_path):
        places = found.get(name, [])
        if len(places) != 1:
            problems.append(f"{name}: declared {len(places)} times in the header")
        elif not documented(lines, places[0]):
            problems.append(f"{name}: no comment documents it")
    for problem in problems:
        print(problem)
    print(f"header documentation: {len(def_names(def_path))} exports, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
