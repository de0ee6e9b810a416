#!/usr/bin/env python3
"""Every include of the project's own headers runs down the house.

Each room may include itself and the rooms listed for it, nothing else: the
plug-in (host/, tool/) knows nothing of the simulated host, and inside sim/ a
lower room never reaches a higher one. tests/, bench/ and web/ stand on top
and may include anything. Prints every include that runs another way and
exits 1 if there is one.

    tests/layers.py [SOURCE_ROOT]
"""
import pathlib
import re
import sys

# room: the rooms it may include, lowest first.
ROOMS = {
    "host": [],
    "tool": ["host"],
    "sim/text": [],
    # The rules take the tool's types (tool/angles.h), never its code.
    "sim/rules": ["tool"],
    "sim/host": ["host", "sim/text"],
    "sim/session": ["host", "sim/text", "sim/rules", "sim/host"],
    "sim/report": ["host", "sim/text", "sim/rules", "sim/host", "sim/session"],
    "sim/validate": ["host", "sim/text", "sim/rules", "sim/host", "sim/session"],
    # orbitrix-host, the simulated host in a window.
    "sim/window": ["host", "sim/text", "sim/rules", "sim/host", "sim/session", "sim/report"],
    # orbitrix-sim and orbitrix-play themselves.
    "sim": ["host", "sim/text", "sim/rules", "sim/host", "sim/session", "sim/report",
            "sim/validate"],
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def room(path):
    """The room a path (relative to the root) lies in: its longest listed prefix."""
    parts = pathlib.PurePosixPath(path).parts[:-1]
    for n in range(len(parts), 0, -1):
        name = "/".join(parts[:n])
        if name in ROOMS:
            return name
    return None


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    wrong = []
    for top in ("host", "tool", "sim"):
        for source in sorted((root / top).rglob("*")):
            if source.suffix not in (".h", ".cpp"):
                continue
            here = room(source.relative_to(root).as_posix())
            for included in INCLUDE.findall(source.read_text(encoding="utf-8")):
                there = room(included)
                if there is None or there == here or there in ROOMS[here]:
                    continue
                wrong.append(f"{source.relative_to(root)}: includes {included}, "
                             f"but {here}/ may include only {', '.join(ROOMS[here]) or 'itself'}")
    for line in wrong:
        print(line)
    if not wrong:
        print(f"every include runs down ({len(ROOMS)} rooms)")
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
