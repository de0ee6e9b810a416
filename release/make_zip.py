#!/usr/bin/python3
"""Writes the release: DIST/orbitrix-VERSION-win32.zip and DIST/SHA256SUMS.

    release/make_zip.py VERSION DIST      (from the source folder)

The zip holds, in this order, DIST/orbitrix.mcp (the stripped module), LICENSE
and the two guides, release/README.txt and release/README-ja.txt. The texts
are kept in git as UTF-8 with LF line ends and no byte-order mark; in the zip
they are text for Windows readers: a byte-order mark (so that Notepad on any
Windows reads the Japanese as UTF-8) and CRLF line ends, with @VERSION@ in the
guides replaced by VERSION.

The same inputs give the same bytes, whenever and wherever this runs: a fixed
order, a fixed time and fixed attributes on every entry, no comment, and
deflate at level 9 from the system's zlib (Debian's python3 and zlib1g).
SHA256SUMS is in sha256sum's format, for `sha256sum -c SHA256SUMS`.
"""
import hashlib
import os
import sys
import zipfile

# Every entry's time: the first day of the copyright year. Zip times are
# local times without a zone, so a fixed one reads the same everywhere.
ENTRY_TIME = (2026, 1, 1, 0, 0, 0)
# Unix attributes: a plain file, rw-r--r--. Windows reads none of them.
ENTRY_ATTRIBUTES = 0o100644 << 16
BOM = b"\xef\xbb\xbf"


def fail(message):
    sys.exit("make_zip.py: " + message)


def windows_text(path, version):
    with open(path, "rb") as f:
        data = f.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError as e:
        fail(f"{path}: not UTF-8 ({e})")
    if text.startswith("\ufeff") or "\r" in text or not text.endswith("\n"):
        fail(f"{path}: keep it with LF line ends, a final one, and no byte-order mark")
    text = text.replace("@VERSION@", version)
    return BOM + text.replace("\n", "\r\n").encode("utf-8")


def main():
    if len(sys.argv) != 3:
        fail("usage: release/make_zip.py VERSION DIST")
    version, dist = sys.argv[1], sys.argv[2]
    with open(os.path.join(dist, "orbitrix.mcp"), "rb") as f:
        module = f.read()
    entries = [
        ("orbitrix.mcp", module),
        ("LICENSE", windows_text("LICENSE", version)),
        ("README.txt", windows_text("release/README.txt", version)),
        ("README-ja.txt", windows_text("release/README-ja.txt", version)),
    ]

    name = f"orbitrix-{version}-win32.zip"
    path = os.path.join(dist, name)
    with zipfile.ZipFile(path + ".tmp", "w") as z:
        for entry, data in entries:
            info = zipfile.ZipInfo(entry, date_time=ENTRY_TIME)
            info.create_system = 3  # Unix, whatever machine writes it
            info.external_attr = ENTRY_ATTRIBUTES
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)
    os.replace(path + ".tmp", path)

    with open(path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(os.path.join(dist, "SHA256SUMS"), "w", newline="\n") as f:
        f.write(f"{digest}  {name}\n")


if __name__ == "__main__":
    main()
