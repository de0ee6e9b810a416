#!/usr/bin/env python3
"""Where one kind of mouse event spends its guest instructions.

    bench/where.py BUILD_DIR [KIND ...]     (kinds as orbitrix_count --list names them;
                                             all of them when none is given)

For the plug-in and for its floor, the instructions of one event by the
function they belong to, an inlined function under its own name: like
bench/run.sh, qemu-i386 counts a run of N events less a run of none, here
address by address, and addr2line names each address from the program's
debug information, innermost inlined function first.
"""
import collections
import os
import re
import subprocess
import sys
import tempfile

EVENTS = 1000


def executions(program, kind, side, events):
    """How often each instruction address ran in one run of orbitrix_count."""
    counts = collections.Counter()
    with tempfile.TemporaryDirectory() as work:
        log = os.path.join(work, "log")
        os.mkfifo(log)
        run = subprocess.Popen(["qemu-i386", "-one-insn-per-tb", "-d", "exec,nochain", "-D", log,
                                program, kind, side, events], stdout=subprocess.DEVNULL)
        with open(log) as lines:
            for line in lines:
                if line.startswith("Trace "):
                    counts[int(line.split()[3][1:].split("/")[1], 16)] += 1
        if run.wait() != 0:
            sys.exit(f"where.py: orbitrix_count {kind} {side} {events} failed")
    return counts


def short(name):
    """A demangled name without its template arguments or parameters."""
    name = re.sub(r"\(anonymous namespace\)::", "", name)
    while True:
        shorter = re.sub(r"<[^<>]*>", "", name)
        if shorter == name:
            break
        name = shorter
    name = re.sub(r"\(.*\)( const)?$", "", name)
    return name.split()[-1] if name.split() else name


def names(program, addresses):
    """The innermost function of each address, by addr2line -f -i."""
    out = subprocess.run(["addr2line", "-f", "-i", "-C", "-a", "-e", program],
                         input="".join(f"0x{a:x}\n" for a in addresses), capture_output=True,
                         text=True, check=True).stdout.splitlines()
    # Each address, then for each function it lies in, innermost first, a
    # name line and a place line. A compiler intrinsic is named by the
    # function it was written in.
    named, address, lines = {}, None, []
    for line in out + ["0x0"]:
        if re.fullmatch(r"0x[0-9a-f]+", line):
            if address is not None:
                names_ = [short(n) for n in lines[0::2]]
                named[address] = next((n for n in names_ if not n.startswith("_mm_")), names_[0])
            address, lines = int(line, 16), []
        else:
            lines.append(line)
    return named


def kind_of(name):
    """Who an instruction works for: the host, the system, the bench, the floor or the module."""
    if name.startswith("bench::") and name.endswith("Service"):
        return "host services"
    if name.startswith("orbitrix::sys::"):
        return "system seam"
    if (name.startswith("bench::") and name.endswith("Floor")) or name == "WriteState":
        return "the floor's own"
    if name.startswith("bench::") or name in ("Repeat", "main"):
        return "the bench calling it"
    return "the module's own"


def table(program, kind, side):
    many = executions(program, kind, side, str(EVENTS))
    none = executions(program, kind, side, "0" * len(str(EVENTS)))
    delta = {a: n - none.get(a, 0) for a, n in many.items() if n > none.get(a, 0)}
    per = collections.Counter()
    for address, name in names(program, sorted(delta)).items():
        per[name] += delta[address]
    # Reading "1000" rather than "0000" costs a few instructions in all, not
    # an event's: rows below a twentieth of one an event are left out.
    return {name: n / EVENTS for name, n in per.items() if n / EVENTS >= 0.05}


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    program = os.path.join(sys.argv[1], "orbitrix_count")
    kinds = sys.argv[2:] or [line.split("\t")[0] for line in subprocess.run(
        [program, "--list"], capture_output=True, text=True, check=True).stdout.splitlines()]
    for kind in kinds:
        for side in ("plug-in", "floor"):
            rows = table(program, kind, side)
            print(f"{kind}, {side}: guest instructions per event")
            for name, n in sorted(rows.items(), key=lambda r: (-r[1], r[0])):
                print(f"{n:10.1f}  {name}")
            kinds = collections.Counter()
            for name, n in rows.items():
                kinds[kind_of(name)] += n
            print(f"{sum(rows.values()):10.1f}  in all: " +
                  ", ".join(f"{k} {n:.0f}" for k, n in sorted(kinds.items(), key=lambda r: -r[1])) +
                  "\n")


if __name__ == "__main__":
    main()
