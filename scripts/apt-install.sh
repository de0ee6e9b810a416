#!/usr/bin/env bash
# Installs Debian packages with what the package mirror offers today.
#
#   scripts/apt-install.sh [APT-GET-OPTION...] PACKAGE...
#
# A mirror can be out of step with itself for days: one index that does not
# match its Release file ("File has unexpected size ... Mirror sync in
# progress?") makes `apt-get update` fail as a whole. And once that index is
# missing, apt may refuse a set it could install: the machine's amd64
# libraries came from the security suite, whose i386 index is the one it
# lacks, and a Multi-Arch: same library must have one version on both
# architectures. So:
#
# - `apt-get update` is tried up to three times, with a pause; an index that
#   still fails is named in one line and the step goes on with the rest;
# - where apt then refuses the set, the install is tried once more with the
#   base suite (the system's codename) as the target release, which gives
#   both architectures its versions, and says so;
# - a package that cannot be had at all is named, with the command a person
#   would try; and whatever apt said, every package must be installed after
#   the step, or the step fails.
#
# A package named with a foreign architecture (wine32:i386) has that
# architecture added to dpkg first. Each package the step brings that dpkg
# did not have before, named or pulled in, and each architecture it adds,
# is written to the set-up's record (scripts/setup.sh, which also reads it
# to take them away again); a package that was already installed, even as
# another's dependency, is not. The record is written however the step
# ends, so an install that fails halfway leaves nothing unrecorded.
#
# Everything goes through apt's own configuration, so that APT_CONFIG can
# point it elsewhere: the test of this step (tests/setup/) gives it a
# repository and a package database of its own, and ORBITRIX_SETUP_RECORD a
# record of its own. ORBITRIX_APT_PAUSE sets the pause between tries in
# seconds (10).
set -euo pipefail

say() { echo "setup: $*"; }
# sudo would drop APT_CONFIG, and with it turn the test on the machine's apt.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo env ${APT_CONFIG:+"APT_CONFIG=$APT_CONFIG"} "$@"; fi
}

options=()
while [ $# -gt 0 ] && [[ $1 == -* ]]; do options+=("$1"); shift; done
[ $# -gt 0 ] || { echo "usage: $0 [APT-GET-OPTION...] PACKAGE..." >&2; exit 2; }
tries=3
pause=${ORBITRIX_APT_PAUSE:-10}
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
eval "$(apt-config shell status Dir::State::status/f native APT::Architecture)"
admindir=$(dirname "$status")
record=${ORBITRIX_SETUP_RECORD:-/var/lib/orbitrix-setup/added}
work=$(mktemp -d)

installed() {
  dpkg-query --admindir="$admindir" -W -f='${Status}' "$1" 2>/dev/null | grep -q 'ok installed'
}

# Appends lines to the set-up's record.
note() {
  [ $# -gt 0 ] || return 0
  as_root mkdir -p "${record%/*}" && printf '%s\n' "$@" | as_root tee -a "$record" >/dev/null
}

# Every package dpkg knows, as NAME:ARCH STATE, Architecture: all counted as
# the native one (as dpkg and apt take it), so that each has one name here.
states() {
  dpkg-query --admindir="$admindir" -W -f='${Package}:${Architecture} ${db:Status-Status}\n' |
    sed "s/:all /:$native /" | sort
}

# The packages installed now that were not before the step, each noted with
# what it was then: a package whose configuration files were left behind
# by an earlier removal keeps them when it is removed again.
record_new() {
  states >"$work/after"
  local new lines
  new=$(awk 'FILENAME == ARGV[1] { was[$1] = $2; next }
             $2 != "not-installed" && $2 != "config-files" &&
             (!($1 in was) || was[$1] == "not-installed" || was[$1] == "config-files") {
               print "package " $1 (was[$1] == "config-files" ? " keep-config-files" : "") }' \
    "$work/before" "$work/after")
  [ -n "$new" ] || return 0
  mapfile -t lines <<<"$new"
  note "${lines[@]}" &&
    say "recorded ${#lines[@]} package$([ ${#lines[@]} = 1 ] || echo s) this machine did not have" \
      "in $record"
}
finish() {
  [ ! -f "$work/before" ] || record_new || say "could not write $record"
  rm -rf "$work"
}
trap finish EXIT
trap 'exit 130' INT TERM

update() {
  local try
  for ((try = 1; try <= tries; try++)); do
    as_root apt-get update -q >"$work/update" 2>&1 && return 0
    [ "$try" -eq "$tries" ] || {
      say "apt-get update failed (try $try of $tries); trying again in $pause s"
      sleep "$pause"
    }
  done
  # Each index apt could not fetch, in one line; then any other error.
  awk '/^[EW]: Failed to fetch / {
         url = $5; sub(/^[EW]: Failed to fetch [^ ]+ +/, "")
         print "setup: index not fetched, going on without it: " url " (" $0 ")"; next }
       /^E: / && !/^E: Some index files failed/ { print "setup: apt-get update: " substr($0, 4) }' \
    "$work/update"
}

# apt-get install, its output shown as it goes and kept.
apt_install() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q ${options[@]+"${options[@]}"} "$@" 2>&1 |
    tee "$work/install"
}

refused() { grep -qE 'held broken packages|Unable to correct problems' "$work/install"; }

# Foreign architectures the packages name are added before the indexes are
# fetched, so that apt fetches theirs too.
for arch in $(printf '%s\n' "$@" | sed -n 's/^[^:=/]*:\([a-z0-9-]*\)$/\1/p' | sort -u); do
  case $arch in "$native" | all | any | native) continue ;; esac
  ! dpkg --admindir="$admindir" --print-foreign-architectures | grep -qx "$arch" || continue
  say "adding the $arch architecture to dpkg"
  as_root dpkg --admindir="$admindir" --add-architecture "$arch"
  note "architecture $arch"
done
states >"$work/before"

update
if ! apt_install "$@" && refused && [ -n "$codename" ]; then
  say "apt refused the set with the indexes it has (one: $(grep -m1 -o '[^ ]* : Depends: .*' \
    "$work/install" || echo 'see above')); trying again with the base suite, $codename, as the" \
    "target release, so that both architectures take its versions"
  apt_install -t "$codename" "$@" || true
fi

candidate() { apt-cache policy "$1" 2>/dev/null | awk '$1 == "Candidate:" { print $2 }'; }

missing=()
for p in "$@"; do installed "$p" || missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && exit 0
for p in "${missing[@]}"; do
  case "$(candidate "$p")" in
    "" | "(none)") say "$p: no package source of this machine offers it" ;;
    *) say "$p: offered, but not installed" ;;
  esac
done
say "not installed: ${missing[*]}. Try by hand: sudo apt-get update && sudo apt-get install" \
  "${codename:+-t $codename }${missing[*]}"
exit 1
