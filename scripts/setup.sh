#!/usr/bin/env bash
# Installs what a command of the Makefile needs, and only what is missing, so
# that a machine that has it already pays nothing; and takes away again
# exactly what it added.
#
#   scripts/setup.sh NEED...              dll, native, optimised, windows, web, play,
#                                         window, setup, or test for all of them
#   scripts/setup.sh --packages NEED...   only print the Debian packages they take
#   scripts/setup.sh --remove             take away what the set-up added to this machine
#
# The Debian packages go through scripts/apt-install.sh, which gets past a
# package mirror in mid-sync; the page's npm packages come from
# web/package-lock.json; and where 32-bit programs are run, the emulator
# that runs them on kernels that cannot (scripts/emulate-i386.sh).
#
# What they add that the machine did not have is written to one record,
# one thing a line, appended by every run:
#
#   package NAME:ARCH [keep-config-files]   a package dpkg did not have, named or pulled in
#   architecture ARCH                       an architecture added to dpkg
#   binfmt ENTRY INTERPRETER                the emulator's binfmt_misc registration
#   file PATH                               a file written outside the checkout
#   directory PATH                          a checkout's web/node_modules
#
# The record is /var/lib/orbitrix-setup/added (ORBITRIX_SETUP_RECORD names
# another, as the package step's test does): packages, architectures and the
# emulator belong to the machine, not to a checkout or a user, so the record
# does too; any checkout can take them away, and a deleted checkout leaves
# them known. --remove takes away what it holds, and never a package that
# was installed before the set-up: a recorded package that something else
# installed since needs stays, and it says so; an architecture goes once no
# package of it is left. What is gone is struck from the record, and the
# record itself once it is empty.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each need takes from Debian. The native builds are 32-bit Linux code
# against Debian's i386 libraries; the Windows ones run under Wine. Whatever
# runs 32-bit programs builds one first, to learn whether the kernel runs it
# (scripts/emulate-i386.sh), hence g++-multilib.
declare -A packages=(
  [dll]="cmake ninja-build g++-mingw-w64-i686"
  [native]="cmake ninja-build g++-multilib libgtest-dev:i386 libgmock-dev:i386 python3"
  [optimised]="cmake ninja-build g++-multilib libbenchmark-dev:i386"
  [windows]="cmake ninja-build g++-mingw-w64-i686 googletest wine wine32:i386 python3 g++-multilib"
  [web]="cmake ninja-build g++-multilib libgtest-dev:i386 libgmock-dev:i386 python3 emscripten
         chromium fonts-ipaexfont-gothic"
  [play]="emscripten"
  [window]="xvfb xdotool x11-apps imagemagick fonts-ipaexfont-gothic g++-multilib"
  [setup]="python3"
)
# Which needs run 32-bit programs, which the page's Node.js packages, and
# which need nothing their packages merely recommend (the module alone takes
# no native compiler, which CMake recommends).
runs_i386="native optimised windows web window"
uses_node="web play"
lean="dll"

record=${ORBITRIX_SETUP_RECORD:-/var/lib/orbitrix-setup/added}
say() { echo "setup: $*"; }
# sudo would drop APT_CONFIG, and with it the test's own package database.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo env ${APT_CONFIG:+"APT_CONFIG=$APT_CONFIG"} "$@"; fi
}
note() {
  as_root mkdir -p "${record%/*}" && printf '%s\n' "$@" | as_root tee -a "$record" >/dev/null
}
# "1 package", "2 packages": count N NOUN.
count() { if [ "$1" = 1 ]; then echo "1 $2"; else echo "$1 $2s"; fi; }

# --- Taking away what the record holds ---------------------------------------

# Every package dpkg knows, as NAME:ARCH STATE (Architecture: all counted as
# the native one, as scripts/apt-install.sh records it).
states() {
  dpkg-query --admindir="$admindir" -W -f='${Package}:${Architecture} ${db:Status-Status}\n' |
    sed "s/:all /:$native /" | sort
}

# The recorded packages (a file of NAME:ARCH) that an installed package the
# set-up did not bring needs, through Depends or Pre-Depends, directly or
# through other recorded ones: "NAME:ARCH NEEDED-BY..." a line. Every
# alternative of a dependency counts, and ":any" any architecture, so that a
# doubt keeps a package rather than takes one the machine uses.
needed() {
  dpkg-query --admindir="$admindir" -W -f='${db:Status-Status}\t${Package}\t${Architecture}\t${Multi-Arch}\t${Pre-Depends}, ${Depends}\t${Provides}\n' |
    awk -F '\t' -v native="$native" '
      function bare(s) { gsub(/\([^)]*\)|[ \t]/, "", s); return s }
      # From a package of architecture "from", a dependency with qualifier
      # "qual" is met by package "to" of the right architecture, or by one
      # that serves every architecture (Multi-Arch: foreign).
      function fits(from, qual, to) {
        if (qual == "any" || ma[to] == "foreign") return 1
        if (qual == "native") return archof[to] == native
        return archof[to] == (qual == "" ? archof[from] : qual)
      }
      FILENAME == ARGV[1] { ours[$1] = 1; next }
      $1 == "not-installed" || $1 == "config-files" { next }
      {
        key = $2 ":" ($3 == "all" ? native : $3)
        keys[++n] = key; archof[key] = ($3 == "all" ? native : $3); ma[key] = $4; deps[key] = $5
        by[$2] = by[$2] " " key
        c = split($6, provided, ",")
        for (i = 1; i <= c; i++) if ((v = bare(provided[i])) != "") by[v] = by[v] " " key
      }
      END {
        for (i = 1; i <= n; i++) if (!(keys[i] in ours)) todo[++t] = keys[i]
        while (t > 0) {
          from = todo[t--]
          c = split(deps[from], alternatives, /[,|]/)
          for (a = 1; a <= c; a++) {
            name = bare(alternatives[a]); qual = ""
            if ((q = index(name, ":")) > 0) { qual = substr(name, q + 1); name = substr(name, 1, q - 1) }
            m = split(by[name], candidates, " ")
            for (b = 1; b <= m; b++) {
              to = candidates[b]
              if (!(to in ours) || !fits(from, qual, to) || (to, from) in edge) continue
              if (!(to in why)) todo[++t] = to
              edge[to, from] = 1; why[to] = why[to] " " from
            }
          }
        }
        for (k in why) print k why[k]
      }' "$1" -
}

remove_recorded() {
  [ -s "$record" ] || { say "nothing to remove: the set-up has recorded nothing in $record"; return 0; }
  eval "$(apt-config shell status Dir::State::status/f native APT::Architecture)"
  admindir=$(dirname "$status")
  local kind what extra ok=1 remove purge
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  awk 'NF && !seen[$0]++' "$record" >"$work/record"
  : >"$work/left"  # the lines the record keeps
  keep() { printf '%s\n' "$@" >>"$work/left"; }

  # A checkout's web/node_modules, and nothing else by that kind of line.
  while read -r kind what; do
    case $what in
      /*/web/node_modules) ;;
      *) say "left $what: not a checkout's web/node_modules"; continue ;;
    esac
    [ -e "$what" ] || continue
    rm -rf "$what" 2>/dev/null || as_root rm -rf "$what"
    say "removed $what"
  done < <(awk '$1 == "directory"' "$work/record")

  # The emulator's registration, if it is still the one the set-up made.
  while read -r kind what extra; do
    [ -e "$what" ] || continue
    if grep -qx "interpreter $extra" "$what"; then
      echo -1 | as_root tee "$what" >/dev/null
      say "unregistered ${what##*/} (binfmt_misc): 32-bit programs run as the kernel runs them"
    else
      say "left ${what##*/} (binfmt_misc): it no longer runs $extra, so it is not the set-up's"
    fi
  done < <(awk '$1 == "binfmt"' "$work/record")

  # The packages: the set-up's own, less those something else needs; apt is
  # asked first what it would do, and must take nothing outside the record
  # and install nothing.
  states >"$work/states"
  awk '$1 == "package" { print $2 }' "$work/record" | sort -u >"$work/ours"
  needed "$work/ours" | sort >"$work/needed"
  if [ -s "$work/needed" ]; then
    say "keeping $(count "$(wc -l <"$work/needed")" package) the set-up installed, because" \
      "packages it did not install need them:"
    awk '{ printf "setup:   %s, needed by", $1; for (i = 2; i <= NF && i <= 4; i++) printf " %s", $i
           print (NF > 4 ? " and " NF - 4 " more" : "") }' "$work/needed"
  fi
  awk 'FILENAME == ARGV[1] { needed[$1] = 1; next }
       FILENAME == ARGV[2] { if (!($1 in needed)) ours[$1] = 1; next }
       ($1 in ours) && $2 != "not-installed" && $2 != "config-files" { print $1 }' \
    "$work/needed" "$work/ours" "$work/states" >"$work/remove"
  mapfile -t remove <"$work/remove"
  if [ ${#remove[@]} -gt 0 ]; then
    if ! apt-get -s -q remove "${remove[@]}" >"$work/plan" 2>&1; then
      cat "$work/plan" >&2
      say "apt cannot remove the set-up's packages as they are; nothing was removed"
      ok=0
    else
      awk -v native="$native" 'FILENAME == ARGV[1] { ours[$1] = 1; next }
        /^Inst / { print "install " $2; next }
        /^(Remv|Purg) / { p = index($2, ":") ? $2 : $2 ":" native; if (!(p in ours)) print "remove " p }' \
        "$work/remove" "$work/plan" >"$work/outside"
      if [ -s "$work/outside" ]; then
        say "apt would also $(paste -sd, "$work/outside" | sed 's/,/, /g'), which the set-up did not" \
          "install: no package was removed"
        ok=0
      else
        # apt counts a protected package (libc6:i386) as essential, and
        # would stop at it: here it is the set-up's, as the plan has shown.
        ! grep -q '^WARNING: The following essential packages will be removed' "$work/plan" ||
          say "apt calls $(awk '/^WARNING: The following essential/ { on = 1; next }
            on && /^ / { gsub(/\([^)]*\)/, ""); names = names " " $0 } on && /^[0-9]/ { exit }
            END { $0 = names; $1 = $1; gsub(/ /, ", "); print }' "$work/plan") essential below: the" \
            "set-up installed them, and nothing else here needs them"
        as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q --allow-remove-essential \
          "${remove[@]}" || ok=0
      fi
    fi
  fi
  # Purged: the set-up's packages whose configuration files it brought.
  states >"$work/states"
  awk 'FILENAME == ARGV[1] { if ($2 == "config-files") rc[$1] = 1; next }
       $1 == "package" && $3 != "keep-config-files" && ($2 in rc) { print $2 }' \
    "$work/states" "$work/record" | sort -u >"$work/purge"
  mapfile -t purge <"$work/purge"
  if [ ${#purge[@]} -gt 0 ]; then
    as_root env DEBIAN_FRONTEND=noninteractive apt-get purge -y -q "${purge[@]}" >/dev/null || ok=0
  fi
  states >"$work/states"
  awk 'FILENAME == ARGV[1] { state[$1] = $2; next }
       $1 != "package" { next }
       { s = ($2 in state) ? state[$2] : "not-installed" }
       s == "not-installed" || (s == "config-files" && $3 == "keep-config-files") { gone++; next }
       { print }
       END { if (gone) print gone >"/dev/stderr" }' "$work/states" "$work/record" >>"$work/left" \
    2>"$work/gone"
  [ ! -s "$work/gone" ] || say "removed $(count "$(cat "$work/gone")" package) the set-up installed"

  # Files written outside the checkout (the emulator's package source and
  # its pinning, its registration at boot).
  while read -r kind what; do
    [ -e "$what" ] || continue
    as_root rm -f "$what"
    say "removed $what"
  done < <(awk '$1 == "file"' "$work/record")

  # An architecture goes once no package of it is left.
  while read -r kind what; do
    dpkg --admindir="$admindir" --print-foreign-architectures | grep -qx "$what" || continue
    states | awk -v a=":$what\$" '$1 ~ a && $2 != "not-installed" { print $1 }' >"$work/of-arch"
    if [ -s "$work/of-arch" ]; then
      say "keeping the $what architecture, still used by $(count "$(wc -l <"$work/of-arch")" package):" \
        "$(head -3 "$work/of-arch" | paste -sd, | sed 's/,/, /g')$(
          [ "$(wc -l <"$work/of-arch")" -le 3 ] || echo ", ...")"
      keep "$kind $what"
    else
      as_root dpkg --admindir="$admindir" --remove-architecture "$what"
      say "removed the $what architecture from dpkg"
    fi
  done < <(awk '$1 == "architecture"' "$work/record")

  if [ -s "$work/left" ]; then
    as_root tee "$record" <"$work/left" >/dev/null
    say "$record still holds what stayed: $(count "$(wc -l <"$work/left")" line)"
  else
    as_root rm -f "$record"
    as_root rmdir --ignore-fail-on-non-empty "${record%/*}"
    say "everything the set-up added is gone"
  fi
  [ "$ok" = 1 ]
}

if [ "${1:-}" = --remove ]; then
  [ $# -eq 1 ] || { echo "usage: $0 --remove" >&2; exit 2; }
  remove_recorded
  exit
fi

list=0
if [ "${1:-}" = --packages ]; then list=1; shift; fi
needs=()
for need in "${@:-test}"; do
  if [ "$need" = test ]; then
    needs+=(native optimised windows web window setup)
  elif [ -n "${packages[$need]+set}" ]; then
    needs+=("$need")
  else
    echo "setup: not a need: $need (one of: ${!packages[*]} test)" >&2
    exit 2
  fi
done
has() { [[ " ${needs[*]} " == *" $1 "* ]]; }
some() { local n; for n in $1; do has "$n" && return 0; done; return 1; }

wanted=()
for need in "${needs[@]}"; do wanted+=(${packages[$need]}); done
# Debian's Node.js, where the machine has no npm of its own.
if some "$uses_node" && ! command -v npm >/dev/null; then wanted+=(nodejs npm ca-certificates); fi

if [ "$list" = 1 ]; then
  printf '%s\n' "${wanted[@]}" | sort -u | tr '\n' ' ' | sed 's/ $/\n/'
  exit 0
fi

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  options=()
  only_lean=1
  for need in "${needs[@]}"; do [[ " $lean " == *" $need "* ]] || only_lean=0; done
  [ "$only_lean" = 0 ] || options+=(--no-install-recommends)
  scripts/apt-install.sh ${options[@]+"${options[@]}"} "${missing[@]}"
fi

# The page's npm packages exactly as web/package-lock.json pins them, again
# only when they are missing or the lock file changed since; the folder is
# recorded when the set-up makes it.
if some "$uses_node" && [ ! web/node_modules/.package-lock.json -nt web/package-lock.json ]; then
  echo "setup: installing the npm packages of web/package-lock.json"
  [ -e web/node_modules ] || note "directory $PWD/web/node_modules"
  npm ci --prefix web --no-audit --no-fund --loglevel=error
fi

# The instruction counts of the optimised suite and make bench take
# qemu-i386 on every machine.
if has optimised; then
  scripts/emulate-i386.sh counts
elif some "$runs_i386"; then
  scripts/emulate-i386.sh
fi
