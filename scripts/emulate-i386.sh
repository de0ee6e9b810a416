#!/usr/bin/env bash
# 32-bit programs on kernels that cannot run them, and the emulator that
# counts instructions on every machine.
#
# Some x86-64 kernels are built without IA32 emulation: they refuse a 32-bit
# Linux program, and Wine's 32-bit loader, with "Exec format error". The
# native tests and every Windows test are 32-bit code, so on such a kernel
# they run through qemu-user, registered with binfmt_misc as the handler for
# i386 ELF files. A registered handler comes before the kernel's own loader,
# which is what lets ORBITRIX_EMULATE_I386=1 force the emulated path on a
# kernel that runs 32-bit code itself.
#
# The mouse events' instruction counts (make bench, and the count tests of
# make test) come from qemu-i386 on every machine, so for them it is
# installed everywhere; where the kernel runs 32-bit programs itself it is
# only installed, not registered, and runs nothing but what is started with
# it.
#
#   scripts/emulate-i386.sh          where the kernel cannot run 32-bit programs (with
#                                    ORBITRIX_EMULATE_I386=1: in any case), installs
#                                    qemu-user and registers it
#   scripts/emulate-i386.sh counts   the same, and installs qemu-user in any case
#   scripts/emulate-i386.sh mode     prints how 32-bit programs run here: native or emulated
#   scripts/emulate-i386.sh time-scale   prints how much longer the tests' time limits must be
#   scripts/emulate-i386.sh remove   unregisters the handler, now and at boot
#
# What it adds that the machine did not have (the package source and its
# pinning, the registration and its file for boot; qemu-user itself through
# scripts/apt-install.sh) goes into the set-up's record, from which
# scripts/setup.sh --remove takes it away.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
name=qemu-i386
binfmt=/proc/sys/fs/binfmt_misc
persist=/etc/binfmt.d/$name.conf
# Executables and shared objects (e_type 2 or 3) for the i386 (e_machine 3).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# qemu 7.2 runs 32-bit Linux programs but ignores MAP_FIXED_NOREPLACE, so Wine
# cannot map its shared user data; 8.1 is the first that can.
min_qemu=8.1

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
say() { echo "emulate-i386: $*"; }
die() { echo "emulate-i386: $*" >&2; exit 1; }

record=${ORBITRIX_SETUP_RECORD:-/var/lib/orbitrix-setup/added}
note() {
  as_root mkdir -p "${record%/*}" && printf '%s\n' "$@" | as_root tee -a "$record" >/dev/null
}
# Writes a file as root from standard input, recording it if it is new.
write() {
  local new=0
  [ -e "$1" ] || new=1
  as_root tee "$1" >/dev/null
  [ "$new" = 0 ] || note "file $1"
}

# The enabled binfmt_misc entry that takes i386 ELF files, if there is one:
# its magic starts with a 32-bit little-endian ELF ident and names machine 3.
handler() {
  [ "$(cat "$binfmt/status" 2>/dev/null)" = enabled ] || return 1
  local entry
  for entry in "$binfmt"/*; do
    case ${entry##*/} in register | status) continue ;; esac
    if awk 'NR == 1 && $1 != "enabled" { off = 1 } $1 == "magic" { m = $2 }
            END { exit !(!off && m ~ /^7f454c460101/ && substr(m, 37, 4) == "0300") }' \
      "$entry" 2>/dev/null; then
      echo "$entry"
      return 0
    fi
  done
  return 1
}

# How this machine runs a 32-bit program: "native", "emulated" (qemu-user,
# asked as the tests ask it, tests/emulation.h), "none", or "unbuilt" where
# no 32-bit program can be built yet.
probe() {
  local dir how=unbuilt status=0
  dir=$(mktemp -d)
  printf '#include "tests/emulation.h"\nint main() { return UnderQemuUser() ? 3 : 0; }\n' >"$dir/probe.cpp"
  if g++ -m32 -I"$root" "$dir/probe.cpp" -o "$dir/probe" 2>/dev/null; then
    (cd / && timeout 60 "$dir/probe") 2>/dev/null || status=$?
    case $status in 0) how=native ;; 3) how=emulated ;; *) how=none ;; esac
  fi
  rm -rf "$dir"
  echo "$how"
}

# A chroot may not see the binfmt_misc entry of the machine around it, which
# runs its 32-bit programs all the same: there a program is asked. Elsewhere
# the entry tells, at no cost to each Wine program that asks.
mode() {
  if handler >/dev/null || { [ ! / -ef /proc/1/root ] && [ "$(probe)" = emulated ]; }; then
    echo emulated
  else
    echo native
  fi
}

# Measured on a 2-core machine: the native suite runs 3.6 times slower under
# qemu, the Windows suite 2 times, the validator 4 times.
time_scale() { if [ "$(mode)" = emulated ]; then echo 5; else echo 1; fi; }

qemu_new_enough() {
  local v
  v=$(qemu-i386 --version 2>/dev/null | sed -n 's/^qemu-i386 version \([0-9.]*\).*/\1/p')
  [ -n "$v" ] && dpkg --compare-versions "$v" ge "$min_qemu"
}

# qemu-user from the distribution where it is new enough; on Debian 12 from
# bookworm-backports, pinned so that nothing else ever comes from there.
install_qemu() {
  qemu_new_enough && return 0
  local candidate codename
  candidate=$(apt-cache policy qemu-user 2>/dev/null | awk '$1 == "Candidate:" { print $2 }')
  if ! dpkg --compare-versions "${candidate:-0}" ge "1:$min_qemu~"; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ "$codename" = bookworm ] ||
      die "qemu-user ${candidate:-(none)} is older than $min_qemu and no newer one is known for this system"
    write /etc/apt/sources.list.d/orbitrix-qemu-backports.sources <<EOF
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    write /etc/apt/preferences.d/orbitrix-qemu-backports <<EOF
# Only qemu-user comes from bookworm-backports (for the i386 emulator).
Package: *
Pin: release n=bookworm-backports
Pin-Priority: -1

Package: qemu-user
Pin: release n=bookworm-backports
Pin-Priority: 500
EOF
  fi
  # The binfmt package's own registration is left out: ours is made below.
  "$root/scripts/apt-install.sh" --no-install-recommends qemu-user ||
    die "qemu-user could not be installed"
  qemu_new_enough || die "qemu-user was installed but qemu-i386 is still older than $min_qemu"
  did="installed qemu-user $(dpkg-query -W -f='${Version}' qemu-user), "
}

# The registration: F opens the emulator now, so that it also serves programs
# started inside other mount namespaces (Wine's, for one).
registration() { echo ":$name:M::$magic:$mask:$(command -v qemu-i386):F"; }

register() {
  [ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt" ||
    die "cannot mount binfmt_misc at $binfmt"
  local current interpreter
  current=$(handler || true)
  interpreter=$(command -v qemu-i386)
  if [ -z "$current" ] || ! grep -qx "interpreter $interpreter" "$current" ||
    ! grep -q '^flags: .*F' "$current"; then
    [ -z "$current" ] || echo -1 | as_root tee "$current" >/dev/null
    [ ! -e "$binfmt/$name" ] || echo -1 | as_root tee "$binfmt/$name" >/dev/null
    registration | as_root tee "$binfmt/register" >/dev/null
    # Not where it replaced a handler the machine had: taking this one away
    # would leave none.
    [ -n "$current" ] || note "binfmt $binfmt/$name $interpreter"
    changed=1
  fi
  if [ "$(cat "$persist" 2>/dev/null)" != "$(registration)" ]; then
    as_root mkdir -p "${persist%/*}"
    registration | write "$persist"
    changed=1
  fi
}

# counts: 1 where qemu-i386 is wanted for the instruction counts as well.
ensure() {
  local counts=$1 why did="" changed=0 how
  if [ "${ORBITRIX_EMULATE_I386:-0}" = 1 ]; then
    why="ORBITRIX_EMULATE_I386=1 asks for the emulated path"
  elif handler >/dev/null; then
    install_qemu
    return 0
  else
    how=$(probe)
    case $how in
      native | emulated)
        [ "$counts" = 1 ] || return 0
        install_qemu
        [ -z "$did" ] || say "${did}for the instruction counts only: not registered, since" \
          "$([ "$how" = native ] && echo "this kernel runs 32-bit programs itself" ||
            echo "32-bit programs here run through an emulator registered outside this root")"
        return 0
        ;;
      unbuilt) die "cannot build a 32-bit program (is g++-multilib installed?)" ;;
      none) why="this kernel ($(uname -r)) cannot run 32-bit programs" ;;
    esac
  fi
  install_qemu
  register
  [ -n "$did" ] || [ "$changed" = 1 ] || return 0
  [ "$(probe)" = emulated ] || die "a 32-bit program still does not run through $(command -v qemu-i386)"
  say "${did}registered $(command -v qemu-i386) for i386 programs (binfmt_misc, $persist)," \
    "because $why"
}

remove() {
  local entry
  entry=$(handler || true)
  [ -z "$entry" ] || echo -1 | as_root tee "$entry" >/dev/null
  as_root rm -f "$persist"
  say "removed the i386 handler${entry:+ ${entry##*/}}: 32-bit programs run natively again," \
    "where the kernel can run them"
}

case "${1:-ensure}" in
  ensure) ensure 0 ;;
  counts) ensure 1 ;;
  mode) mode ;;
  time-scale) time_scale ;;
  remove) remove ;;
  *) die "usage: $0 [ensure|counts|mode|time-scale|remove]" ;;
esac
