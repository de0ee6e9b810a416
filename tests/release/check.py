#!/usr/bin/python3
"""Checks of what `make release` ships, run by ctest from the source folder.

    check.py hardening MODULE      ASLR, DEP and NO_SEH, no SEH and no x87 in the code
    check.py stripped MODULE       no debug information, a debuglink to MODULE.debug
    check.py zip VERSION DIST OUT  the zip's files and checksum; unpacks it into OUT

Each prints what it found and exits 1 on the first fault.
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import zipfile
import zlib

OBJDUMP = os.environ.get("OBJDUMP", "i686-w64-mingw32-objdump")


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


class Image:
    """The headers of a 32-bit PE file, read from its bytes."""

    def __init__(self, path):
        self.path = path
        with open(path, "rb") as f:
            self.data = d = f.read()
        if d[:2] != b"MZ":
            fail(f"{path}: not a PE file")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            fail(f"{path}: not a PE file")
        (self.machine, sections, self.timestamp, self.symbol_table, self.symbols,
         optional_size, self.characteristics) = struct.unpack_from("<HHIIIHH", d, pe + 4)
        optional = pe + 24
        if struct.unpack_from("<H", d, optional)[0] != 0x10B:
            fail(f"{path}: not PE32")
        self.dll_characteristics = struct.unpack_from("<H", d, optional + 70)[0]
        count = struct.unpack_from("<I", d, optional + 92)[0]
        self.directories = [struct.unpack_from("<II", d, optional + 96 + 8 * i)
                            for i in range(count)]
        strings = self.symbol_table + 18 * self.symbols
        self.sections = {}
        for i in range(sections):
            at = optional + optional_size + 40 * i
            name = d[at:at + 8].rstrip(b"\0").decode()
            if name.startswith("/"):  # a long name, in the string table
                start = strings + int(name[1:])
                name = d[start:d.index(b"\0", start)].decode()
            size, offset = struct.unpack_from("<II", d, at + 16)
            self.sections[name] = d[offset:offset + size]


# IMAGE_DLLCHARACTERISTICS_*
DYNAMIC_BASE, NX_COMPAT, NO_SEH = 0x40, 0x100, 0x400
LOAD_CONFIG = 10  # the data directory that would hold a SafeSEH table


def hardening(module):
    image = Image(module)
    flags = image.dll_characteristics
    print(f"{module}: DllCharacteristics 0x{flags:04X}")
    for bit, name, what in [(DYNAMIC_BASE, "DYNAMIC_BASE", "ASLR"), (NX_COMPAT, "NX_COMPAT", "DEP"),
                            (NO_SEH, "NO_SEH", "no SEH handler")]:
        if not flags & bit:
            fail(f"{module}: {name} ({what}) is not set")
        print(f"  {name} ({what})")
    if image.directories[LOAD_CONFIG] != (0, 0):
        fail(f"{module}: has a load configuration directory, where a SafeSEH table would be")
    print("  no load configuration directory: no SafeSEH table")
    if not image.directories[5][1]:
        fail(f"{module}: no base relocations, so ASLR could not move it")
    print("  base relocations present")

    # An x86 SEH handler is registered by linking a frame into the chain at
    # %fs:0 (push %fs:0 ... mov %esp,%fs:0). No instruction may address %fs:0,
    # nor %fs through a register, which could reach it.
    code = subprocess.run([OBJDUMP, "-d", "--no-show-raw-insn", module], check=True,
                          capture_output=True, text=True).stdout
    instructions = [line for line in code.splitlines() if re.match(r"^\s*[0-9a-f]+:\t", line)]
    if len(instructions) < 1000:
        fail(f"{module}: only {len(instructions)} instructions disassembled")
    fs = [line.strip() for line in instructions if "%fs:" in line]
    for line in fs:
        if re.search(r"%fs:(0x0)?(\(|,|$)", line):
            fail(f"{module}: touches the SEH chain: {line}")
    print(f"  {len(instructions)} instructions, none addressing %fs:0; uses of %fs: "
          + ("; ".join(fs) or "none"))

    # The host's x87 unit is its own: no instruction of the module computes in
    # it, saves or loads it, or resets it (as a C runtime's thread start-up
    # would, on every thread the host starts).
    x87 = [line.strip() for line in instructions
           if re.match(r"^\s*[0-9a-f]+:\t(f[a-z0-9]+|wait)\b", line)]
    if x87:
        fail(f"{module}: has x87 instructions: " + "; ".join(x87[:5]))
    print("  no x87 instruction")


def stripped(module):
    image = Image(module)
    debug = [name for name in image.sections if name.startswith(".debug")]
    if debug:
        fail(f"{module}: still has {', '.join(debug)}")
    if image.symbols:
        fail(f"{module}: still has {image.symbols} symbols")
    if image.timestamp:
        fail(f"{module}: has a link timestamp, 0x{image.timestamp:08X}")
    link = image.sections.get(".gnu_debuglink")
    if link is None:
        fail(f"{module}: no .gnu_debuglink")
    name = link[:link.index(b"\0")].decode()
    crc = struct.unpack_from("<I", link, (len(name) + 4) // 4 * 4)[0]
    print(f"{module}: {len(image.data)} bytes, no debug sections, no symbols; "
          f"debuglink {name} crc 0x{crc:08X}")
    if name != os.path.basename(module) + ".debug":
        fail(f"{module}: the debuglink names {name}")
    debug_path = os.path.join(os.path.dirname(module), name)
    debug_image = Image(debug_path)
    with open(debug_path, "rb") as f:
        actual = zlib.crc32(f.read())
    if actual != crc:
        fail(f"{debug_path}: crc 0x{actual:08X}, not the debuglink's")
    for section in (".debug_info", ".debug_line"):
        if not debug_image.sections.get(section):
            fail(f"{debug_path}: no {section}")
    if debug_image.sections.get(".text"):
        fail(f"{debug_path}: carries code, not only debug information")
    print(f"{debug_path}: {len(debug_image.data)} bytes, "
          f"{len([s for s in debug_image.sections if s.startswith('.debug')])} debug sections")


ENTRIES = ["orbitrix.mcp", "LICENSE", "README.txt", "README-ja.txt"]
BOM = b"\xef\xbb\xbf"


def windows_text(name, data):
    if not data.startswith(BOM):
        fail(f"{name}: no byte-order mark")
    try:
        text = data[3:].decode("utf-8")
    except UnicodeDecodeError as e:
        fail(f"{name}: not UTF-8: {e}")
    if re.search(r"\r(?!\n)|(?<!\r)\n", text) or not text.endswith("\r\n"):
        fail(f"{name}: not CRLF line ends throughout")
    return text


def release_zip(version, dist, out):
    name = f"orbitrix-{version}-win32.zip"
    path = os.path.join(dist, name)
    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    print(f"{path}: sha256 {digest}")

    with open(os.path.join(dist, "SHA256SUMS"), "rb") as f:
        sums = f.read()
    if sums != f"{digest}  {name}\n".encode():
        fail(f"{dist}/SHA256SUMS: {sums!r}, not the zip's one line")
    subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"], cwd=dist, check=True)

    with zipfile.ZipFile(path) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        if names != ENTRIES:
            fail(f"{name}: holds {names}, not {ENTRIES}")
        for i in infos:
            if i.date_time != (2026, 1, 1, 0, 0, 0) or i.external_attr != 0o100644 << 16:
                fail(f"{name}: {i.filename} has time {i.date_time}, attributes {i.external_attr:o}")
        if z.testzip() is not None:
            fail(f"{name}: a damaged entry")
        files = {n: z.read(n) for n in names}
    print(f"{name}: {', '.join(f'{n} ({len(files[n])} bytes)' for n in names)}")

    with open(os.path.join(dist, "orbitrix.mcp"), "rb") as f:
        if files["orbitrix.mcp"] != f.read():
            fail(f"{name}: its orbitrix.mcp is not {dist}/orbitrix.mcp")
    for entry, source in [("LICENSE", "LICENSE"), ("README.txt", "release/README.txt"),
                          ("README-ja.txt", "release/README-ja.txt")]:
        text = windows_text(entry, files[entry])
        with open(source, encoding="utf-8") as f:
            expected = f.read().replace("@VERSION@", version).replace("\n", "\r\n")
        if text != expected:
            fail(f"{name}: {entry} is not {source}")
    if "MIT License" not in files["LICENSE"].decode("utf-8-sig") or \
            "Copyright (c) 2026 the Orbitrix developers" not in files["LICENSE"].decode("utf-8-sig"):
        fail(f"{name}: LICENSE is not the MIT licence of the Orbitrix developers")
    for guide in ("README.txt", "README-ja.txt"):
        if f"Orbitrix {version}\r\n" not in files[guide].decode("utf-8-sig"):
            fail(f"{name}: {guide} does not name version {version}")
    print("  texts: UTF-8 with a byte-order mark and CRLF, as in git but for the line ends")

    # Unpacked for the tests that load the module and read the guides under Wine.
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    for n in names:
        with open(os.path.join(out, n), "wb") as f:
            f.write(files[n])
    print(f"  unpacked into {out}")


def main():
    args = sys.argv[1:]
    if args[:1] == ["hardening"] and len(args) == 2:
        hardening(args[1])
    elif args[:1] == ["stripped"] and len(args) == 2:
        stripped(args[1])
    elif args[:1] == ["zip"] and len(args) == 4:
        release_zip(*args[1:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
