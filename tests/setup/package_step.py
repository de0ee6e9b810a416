#!/usr/bin/env python3
"""The package step (scripts/apt-install.sh) against a mirror broken on purpose,
and the set-up's removal (scripts/setup.sh --remove) of what it recorded.

A local repository for this machine's release, with a security suite whose
i386 index does not match its Release file, as a mirror in mid-sync gives
it; and a package database of its own in which the amd64 half of a
Multi-Arch: same library is older than both suites offer. apt is pointed at
them through APT_CONFIG alone, and the set-up's record through
ORBITRIX_SETUP_RECORD: the machine's own sources, indexes, packages and
record are not touched. The step must get past the broken index, resolve
the refused set with the base suite as the target release, install what was
asked, and fail, naming the package and a command, when one cannot be had
or is still missing after apt said it was done. The removal must take what
the step brought and nothing the machine had before, nor what the machine's
own packages came to need since.

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
SETUP = ROOT / "scripts" / "setup.sh"
CODENAME = subprocess.run(". /etc/os-release && echo $VERSION_CODENAME", shell=True,
                          capture_output=True, text=True, check=True).stdout.strip()
SECURITY = CODENAME + "-security"
failures = []


def check(ok, what):
    print(("ok:   " if ok else "FAIL: ") + what)
    if not ok:
        failures.append(what)


def deb(pool, name, version, arch, depends=None, conffile=False):
    """A package of one file that says who it is, built with dpkg-deb; with
    a configuration file too, if asked."""
    tree = pool / f"{name}_{version}_{arch}"
    (tree / "DEBIAN").mkdir(parents=True)
    share = tree / "usr" / "share" / "orbitrix-test" / f"{name}-{arch}"
    share.mkdir(parents=True)
    (share / "version").write_text(version + "\n")
    if conffile:
        (tree / "etc").mkdir()
        (tree / "etc" / f"{name}.conf").write_text("setting = 1\n")
        (tree / "DEBIAN" / "conffiles").write_text(f"/etc/{name}.conf\n")
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


def machine(work, repo, installed, dpkg="/usr/bin/dpkg", i386=True):
    """An apt configuration and a dpkg database of their own, under work, for
    amd64 alone as a new machine has them, with the library and its user
    installed from the base suite and the indexes of both suites fetched.
    Then i386 is added (unless not asked for), as the step adds it; the step
    fetches its indexes. apt takes the architectures from this dpkg."""
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
    env = dict(os.environ, APT_CONFIG=str(conf), ORBITRIX_APT_PAUSE="0",
               ORBITRIX_SETUP_RECORD=str(work / "record" / "added"))
    dpkg_root = ["dpkg", f"--root={root}", f"--log={root}/var/log/dpkg.log"]

    conf.write_text(f"""
Dir::State "{root}/var/lib/apt/";
Dir::State::status "{root}/var/lib/dpkg/status";
Dir::Cache "{root}/var/cache/apt/";
Dir::Etc "{root}/etc/apt/";
Dir::Log "{root}/var/log/apt/";
Dir::Bin::dpkg "{dpkg}";
DPkg::Options {{ "--root={root}"; "--log={root}/var/log/dpkg.log"; }};
APT::Architecture "amd64";
APT::Sandbox::User "root";
Acquire::Languages "none";
""")
    subprocess.run(["apt-get", "update", "-q"], env=env, check=True, capture_output=True)
    subprocess.run(dpkg_root + ["-i"] + [str(d) for d in installed], check=True,
                   capture_output=True)
    if i386:
        subprocess.run(dpkg_root + ["--add-architecture", "i386"], check=True)
    return env


def status(env, package):
    admindir = pathlib.Path(env["APT_CONFIG"]).parent / "root/var/lib/dpkg"
    r = subprocess.run(["dpkg-query", f"--admindir={admindir}", "-W", "-f=${Status} ${Version}",
                        package], capture_output=True, text=True)
    return r.stdout if r.returncode == 0 else "not known"


def has(env, package):
    return status(env, package).startswith("install ok installed")


def foreign_architectures(env):
    admindir = pathlib.Path(env["APT_CONFIG"]).parent / "root/var/lib/dpkg"
    return subprocess.run(["dpkg", f"--admindir={admindir}", "--print-foreign-architectures"],
                          check=True, capture_output=True, text=True).stdout.split()


def record(env):
    """The set-up's record as a set of lines, or None where there is none."""
    path = pathlib.Path(env["ORBITRIX_SETUP_RECORD"])
    return set(path.read_text().splitlines()) if path.exists() else None


def run(env, *command):
    r = subprocess.run([str(c) for c in command], env=env, capture_output=True, text=True)
    print("\n".join("    | " + line for line in (r.stdout + r.stderr).splitlines()))
    return r.returncode, r.stdout + r.stderr


def step(env, *packages):
    return run(env, STEP, *packages)


def owner_does(env, *apt_get):
    """What the machine's owner does with apt, outside the set-up."""
    subprocess.run(["apt-get", "-y", "-q", *apt_get], env=env, check=True, capture_output=True)


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
        installed = list(base["amd64"])
        # For the removal: a program that needs the machine's library, a new
        # one and a helper, both with configuration files, and, for the
        # owner, a program that needs the new library and an i386 program.
        base["amd64"] += [deb(pool, "tool", "1.0", "amd64", depends="libuser, libnew, helper",
                              conffile=True),
                          deb(pool, "helper", "1.0", "amd64", conffile=True),
                          deb(pool, "libnew", "1.0", "amd64"),
                          deb(pool, "mine", "1.0", "amd64", depends="libnew (>= 1.0)")]
        base["i386"].append(deb(pool, "mine-too", "1.0", "i386"))
        suite(repo, CODENAME, base)
        security = {a: [deb(pool, "libdemo", "1.0-3", a)] for a in ["amd64", "i386"]}
        suite(repo, SECURITY, security, lie_about="i386")

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

        print("The set-up's record and its removal, on an amd64 machine that had some of it:")
        env = machine(work / "d", repo, installed, i386=False)
        had = ["libdemo:amd64", "libuser:amd64"]
        owner_does(env, "install", "helper")
        owner_does(env, "remove", "helper")  # its configuration file stays
        code, out = step(env, "tool", "libuser", "demo:i386")
        check(code == 0 and has(env, "tool") and has(env, "demo:i386")
              and foreign_architectures(env) == ["i386"],
              "the step adds i386 and installs a program and an i386 one, asked along with a "
              "library the machine has")
        check(record(env) == {"architecture i386", "package tool:amd64", "package libnew:amd64",
                              "package demo:i386", "package libuser:i386", "package libdemo:i386",
                              "package helper:amd64 keep-config-files"},
              "the record holds the architecture and each package the step brought, named or "
              "pulled in, and not the library the machine had, named or not, nor the one it "
              "needs; and marks the one whose configuration the machine kept")
        owner_does(env, "install", "mine", "mine-too:i386")
        code, out = run(env, SETUP, "--remove")
        check(code == 0, "the removal succeeds")
        check(all(has(env, p) for p in had + ["mine", "mine-too:i386"]),
              "what the machine had before stays, and so do its owner's packages since")
        check(status(env, "tool") == "not known"
              and not any(has(env, p) for p in ["demo:i386", "libuser:i386", "libdemo:i386"]),
              "the step's packages are gone, with the configuration the step brought")
        check(status(env, "helper") == "deinstall ok config-files 1.0",
              "a package whose configuration the machine had before goes, but leaves it")
        check(has(env, "libnew:amd64") and "libnew:amd64, needed by mine:amd64" in out,
              "a recorded library that the owner's program needs stays, and the removal says why")
        check(foreign_architectures(env) == ["i386"]
              and "keeping the i386 architecture, still used by 1 package: mine-too:i386" in out, "i386 stays while a package of it is installed, and the removal says so")
        check(record(env) == {"package libnew:amd64", "architecture i386"},
              "the record holds what stayed, and only that")
        owner_does(env, "purge", "mine", "mine-too:i386")
        code, out = run(env, SETUP, "--remove")
        check(code == 0 and not has(env, "libnew:amd64") and foreign_architectures(env) == [],
              "once the owner's packages are gone, a second removal takes the library and i386")
        check(record(env) is None and all(has(env, p) for p in had),
              "after which the record is gone, and what the machine had is still there")

    if failures:
        print(f"{len(failures)} failed")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
