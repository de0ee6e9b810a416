#!/usr/bin/env python3
"""The package step (scripts/apt-install.sh) against a mirror broken on purpose.

A local repository for this machine's release, with a security suite whose
i386 index does not match its Release file, as a mirror in mid-sync gives
it; and a package database of its own in which the amd64 half of a
Multi-Arch: same library is older than both suites offer. apt is pointed at
them through APT_CONFIG alone: the machine's own sources, indexes and
packages are not touched. The step must get past the broken index, resolve
the refused set with the base suite as the target release, install what was
asked, and fail, naming the package and a command, when one cannot be had
or is still missing after apt said it was done.

    tests/setup/package_step.py [SOURCE_ROOT]
"""
import hashlib
import os
import pathlib
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
STEP = ROOT / "scripts" / "apt-install.sh"
CODENAME = subprocess.run(". /etc/os-release && echo $VERSION_CODENAME", shell=True,
                          capture_output=True, text=True, check=True).stdout.strip()
SECURITY = CODENAME + "-security"
failures = []


def check(ok, what):
    print(("ok:   " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)


def deb(pool, name, version, arch, depends=None):
    """A package of one file that says who it is, built with dpkg-deb."""
    tree = pool / f"{name}_{version}_{arch}"
    (tree / "DEBIAN").mkdir(parents=True)
    share = tree / "usr" / "share" / "orbitrix-test" / f"{name}-{arch}"
    share.mkdir(parents=True)
    (share / "version").write_text(version + "\n")
    control = [f"Package: {name}", f"Version: {version}", f"Architecture: {arch}",
               "Maintainer: Orbitrix developers <dev@orbitrix.invalid>",
               "Multi-Arch: same" if name.startswith("lib") else "",
               f"Depends: {depends}" if depends else "",
               f"Description: {name}, for the package step's test"]
    (tree / "DEBIAN" / "control").write_text("\n".join(c for c in control if c) + "\n")
    path = pool / f"{tree.name}.deb"
    subprocess.run(["dpkg-deb", "--root-owner-group", "-b", str(tree), str(path)], check=True,
                   capture_output=True)
    return path


def stanza(repo, path):
    """The index entry of a .deb: its control fields and where it lies."""
    fields = subprocess.run(["dpkg-deb", "-f", str(path)], check=True, capture_output=True,
                            text=True).stdout
    data = path.read_bytes()
    return (fields + f"Filename: {path.relative_to(repo)}\nSize: {len(data)}\n"
            f"SHA256: {hashlib.sha256(data).hexdigest()}\n")


def suite(repo, name, indexes, lie_about=None):
    """dists/NAME with one Packages index an architecture, and its Release
    file; the index named by lie_about is listed with a size and hash it
    does not have."""
    top = repo / "dists" / name
    lines = []
    for arch, debs in indexes.items():
        rel = f"main/binary-{arch}/Packages"
        (top / rel).parent.mkdir(parents=True)
        text = "\n".join(stanza(repo, d) for d in debs).encode()
        (top / rel).write_bytes(text)
        listed = text + b"Package: one-more\n" if arch == lie_about else text
        lines.append(f" {hashlib.sha256(listed).hexdigest()} {len(listed)} {rel}")
    (top / "Release").write_text(
        f"Origin: Orbitrix test\nSuite: {name}\nCodename: {name}\n"
        "Date: Tue, 01 Dec 2026 00:00:00 UTC\n"
        f"Architectures: {' '.join(indexes)}\nComponents: main\nSHA256:\n" + "\n".join(lines) + "\n")


def machine(work, repo, installed, dpkg="/usr/bin/dpkg"):
    """An apt configuration and a dpkg database of their own, under work, for
    amd64 alone as a new machine has them, with the library and its user
    installed from the base suite and the indexes of both suites fetched.
    Then i386 is added, as the setup adds it; the step fetches its indexes."""
    root = work / "root"
    for d in ["var/lib/dpkg/info", "var/lib/dpkg/updates", "var/lib/dpkg/triggers",
              "var/lib/apt/lists/partial", "var/cache/apt/archives/partial", "var/log/apt",
              "etc/apt/sources.list.d", "etc/apt/apt.conf.d", "etc/apt/preferences.d"]:
        (root / d).mkdir(parents=True, exist_ok=True)
    for f in ["status", "available"]:
        (root / "var/lib/dpkg" / f).touch()
    (root / "etc/apt/sources.list").write_text(
        f"deb [trusted=yes] file:{repo} {CODENAME} main\n"
        f"deb [trusted=yes] file:{repo} {SECURITY} main\n")
    conf = work / "apt.conf"
    env = dict(os.environ, APT_CONFIG=str(conf), ORBITRIX_APT_PAUSE="0")
    dpkg_root = ["dpkg", f"--root={root}", f"--log={root}/var/log/dpkg.log"]

    def configure(architectures):
        conf.write_text(f"""
Dir::State "{root}/var/lib/apt/";
Dir::State::status "{root}/var/lib/dpkg/status";
Dir::Cache "{root}/var/cache/apt/";
Dir::Etc "{root}/etc/apt/";
Dir::Log "{root}/var/log/apt/";
Dir::Bin::dpkg "{dpkg}";
DPkg::Options {{ "--root={root}"; "--log={root}/var/log/dpkg.log"; }};
APT::Architecture "amd64";
APT::Architectures {{ {" ".join(f'"{a}";' for a in architectures)} }};
APT::Sandbox::User "root";
Acquire::Languages "none";
""")

    configure(["amd64"])
    subprocess.run(["apt-get", "update", "-q"], env=env, check=True, capture_output=True)
    subprocess.run(dpkg_root + ["-i"] + [str(d) for d in installed], check=True,
                   capture_output=True)
    subprocess.run(dpkg_root + ["--add-architecture", "i386"], check=True)
    configure(["amd64", "i386"])
    return env


def status(env, package):
    admindir = pathlib.Path(env["APT_CONFIG"]).parent / "root/var/lib/dpkg"
    r = subprocess.run(["dpkg-query", f"--admindir={admindir}", "-W", "-f=${Status} ${Version}",
                        package], capture_output=True, text=True)
    return r.stdout if r.returncode == 0 else "not known"


def step(env, *packages):
    r = subprocess.run([str(STEP), *packages], env=env, capture_output=True, text=True)
    print("\n".join("    | " + line for line in (r.stdout + r.stderr).splitlines()))
    return r.returncode, r.stdout + r.stderr


def main():
    with tempfile.TemporaryDirectory() as tmp:
        work = pathlib.Path(tmp)
        repo = work / "repo"
        pool = repo / "pool"
        pool.mkdir(parents=True)
        # The base suite: a Multi-Arch: same library and another that uses
        # it, on both architectures, and an i386 program that needs them; the
        # security suite: a newer library, whose i386 index the mirror gives
        # in mid-sync. The machine has both libraries' amd64 halves from the
        # base suite.
        base = {a: [deb(pool, "libdemo", "1.0-2", a),
                    deb(pool, "libuser", "1.0", a, depends="libdemo")] for a in ["amd64", "i386"]}
        base["i386"].append(deb(pool, "demo", "1.0", "i386", depends="libuser"))
        suite(repo, CODENAME, base)
        security = {a: [deb(pool, "libdemo", "1.0-3", a)] for a in ["amd64", "i386"]}
        suite(repo, SECURITY, security, lie_about="i386")
        installed = base["amd64"]

        print(f"Against {CODENAME} and {SECURITY}, whose i386 index does not match its Release:")
        env = machine(work / "a", repo, installed)
        code, out = step(env, "demo:i386")
        check(code == 0, "the step succeeds")
        check(f"index not fetched, going on without it: file:{repo}/dists/{SECURITY}"
              "/main/binary-i386/Packages (Hash Sum mismatch)" in out,
              "the broken index is named in one line")
        check(out.count("apt-get update failed (try") == 2, "apt-get update is tried three times")
        check("libuser:i386 : Depends: libdemo:i386" in out
              and f"trying again with the base suite, {CODENAME}, as the target release" in out,
              "the refused set is tried again with the base suite, and the step says so")
        check(status(env, "demo:i386") == "install ok installed 1.0", "demo:i386 is installed")
        check(status(env, "libdemo:i386") == "install ok installed 1.0-2"
              and status(env, "libdemo:amd64") == "install ok installed 1.0-2",
              "both halves of the library have the base suite's version")

        print("A package no source offers:")
        env = machine(work / "b", repo, installed)
        code, out = step(env, "demo:i386", "no-such-package")
        check(code != 0, "the step fails")
        check("no-such-package: no package source of this machine offers it" in out,
              "the package is named")
        check(f"Try by hand: sudo apt-get update && sudo apt-get install -t {CODENAME} "
              "demo:i386 no-such-package" in out, "with a command to try")

        print("An install that apt reports done, but that installed nothing:")
        fake = work / "dpkg-that-does-nothing"
        fake.write_text("#!/bin/sh\n# answers what apt asks, installs nothing\n"
                        'case "$*" in *--print-*|*--assert-*|*--compare-*) exec dpkg "$@";; esac\n'
                        "exit 0\n")
        fake.chmod(0o755)
        env = machine(work / "c", repo, installed, dpkg=str(fake))
        code, out = step(env, "demo:i386")
        check(code != 0, "the step fails")
        check("demo:i386: offered, but not installed" in out, "the missing package is named")

    if failures:
        print(f"{len(failures)} failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
