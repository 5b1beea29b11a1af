#!/usr/bin/env python3
"""The exports are listed in four places that must agree: include/kensaku.h (the source: names,
ordinals, arguments), src/capi/kensaku.def (names, ordinals and the argument bytes of each
stdcall name), src/capi/kensaku.map (the names libkensaku.so exports) and the Python module's
table python/kensaku/raw.py (names and arguments). The reentrant interface is declared in
include/kensaku_search.h, listed in kensaku.map and bound by the Python module's prototypes in
python/kensaku/_native.py (names, arguments, and which return nothing). Prints every difference
and exits 1 if any.

    check-export-lists.py SOURCE_DIR
"""

import re
import sys
from pathlib import Path


def header_exports(text):
    declaration = r"/\* (\d+) \*/ KENSAKU_EXPORT\s+(.+?)\s*KENSAKU_API\s+(\w+)\(([^)]*)\);"
    exports = {}
    for ordinal, _result, name, args in re.findall(declaration, text, re.S):
        count = 0 if args.strip() == "void" else len(args.split(","))
        exports[name] = (int(ordinal), count)
    return exports


def def_exports(text):
    return {name: (int(ordinal), int(size) // 4)
            for name, size, ordinal in re.findall(r"^\s*(\w+)@(\d+)\s+@(\d+)", text, re.M)}


def map_exports(text):
    listed = text.split("global:")[1].split("local:")[0]
    return set(re.findall(r"\w+", re.sub(r"/\*.*?\*/", "", listed, flags=re.S)))


def arguments(text):
    """How many arguments a list holds, commas inside parentheses aside."""
    depth, count = 0, 0 if not text.strip() or text.strip() == "void" else 1
    for c in text:
        depth += c == "("
        depth -= c == ")"
        count += c == "," and depth == 0
    return count


def search_exports(text):
    declaration = r"KENSAKU_SEARCH_API\s+([^;]*?)\b(kensaku_\w+)\(([^)]*)\);"
    return {name: (arguments(args), result.strip() == "void")
            for result, name, args in re.findall(declaration, text, re.S)}


def python_prototypes(text):
    table = text.split("_PROTOTYPES = {")[1].split("\n}")[0]
    prototype = r'"(kensaku_\w+)": \((.*?), \[(.*?)\]\),?(?:\n|$)'
    bound = {name: (arguments(args), result.strip() == "None")
             for name, result, args in re.findall(prototype, table, re.S)}
    # Functions the module has no use for are named as such.
    unbound = re.search(r"_UNBOUND = \(([^)]*)\)", text)
    for name in re.findall(r'"(kensaku_\w+)"', unbound.group(1) if unbound else ""):
        bound.setdefault(name, None)
    return bound


def python_exports(text):
    table = text.split("SIGNATURES = {")[1].split("\n}")[0]
    return {name: len(re.findall(r"_\w+", args))
            for name, args in re.findall(r'"(\w+)": \(\w+, \[([^\]]*)\]\)', table)}


def main(source):
    read = lambda path: (source / path).read_text(encoding="utf-8")
    header = header_exports(read("include/kensaku.h"))
    problems = []
    if len(header) != 43 or sorted(o for o, _ in header.values()) != list(range(1, 44)):
        problems.append(f"kensaku.h: {len(header)} exports, not ordinals 1-43 once each")

    def compare(where, names, details=None):
        for name in sorted(set(header) - set(names)):
            problems.append(f"{where}: {name} is missing")
        for name in sorted(set(names) - set(header)):
            problems.append(f"{where}: {name} is not in kensaku.h")
        for name in sorted(set(names) & set(header)):
            if details is not None and details(name) is not None:
                problems.append(f"{where}: {name}: {details(name)}")

    definitions = def_exports(read("src/capi/kensaku.def"))

    def def_detail(name):
        ordinal, count = header[name]
        got_ordinal, got_count = definitions[name]
        if got_ordinal != ordinal:
            return f"ordinal {got_ordinal}, kensaku.h says {ordinal}"
        if got_count != count:
            return f"{4 * got_count} argument bytes, kensaku.h has {count} arguments"
        return None

    compare("kensaku.def", definitions, def_detail)
    mapped = map_exports(read("src/capi/kensaku.map"))
    compare("kensaku.map", {name for name in mapped if not name.startswith("kensaku_")})
    declared = search_exports(read("include/kensaku_search.h"))
    for name in sorted(declared.keys() ^ {name for name in mapped if name.startswith("kensaku_")}):
        problems.append(f"kensaku.map and kensaku_search.h differ on {name}")
    table = python_exports(read("python/kensaku/raw.py"))
    compare("raw.py", table, lambda name: None if table[name] == header[name][1] else
            f"{table[name]} arguments, kensaku.h has {header[name][1]}")
    prototypes = python_prototypes(read("python/kensaku/_native.py"))
    for name in sorted(declared.keys() ^ prototypes.keys()):
        problems.append(f"_native.py and kensaku_search.h differ on {name}")
    for name in sorted(declared.keys() & prototypes.keys()):
        if prototypes[name] is None:
            continue
        (count, void), (got_count, got_void) = declared[name], prototypes[name]
        if got_count != count:
            problems.append(f"_native.py: {name}: {got_count} arguments, "
                            f"kensaku_search.h has {count}")
        if got_void != void:
            problems.append(f"_native.py: {name}: the result type differs from kensaku_search.h")
    for problem in problems:
        print(problem)
    if not problems:
        print(f"{len(header)} exports agree in kensaku.h, kensaku.def, kensaku.map and raw.py")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1] if len(sys.argv) > 1 else ".")))
