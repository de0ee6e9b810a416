#!/usr/bin/env bash
# Installs what a command of the Makefile needs, and only what is missing, so
# that a machine that has it already pays nothing.
#
#   scripts/setup.sh NEED...              dll, native, optimised, windows, web, play,
#                                         window, setup, or test for all of them
#   scripts/setup.sh --packages NEED...   only print the Debian packages they take
#
# The Debian packages go through scripts/apt-install.sh, which gets past a
# package mirror in mid-sync; the page's npm packages come from
# web/package-lock.json; and where 32-bit programs are run, the emulator
# that runs them on kernels that cannot (scripts/emulate-i386.sh).
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
  if [[ " ${missing[*]}" == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -eq 0 ]; then dpkg --add-architecture i386; else sudo dpkg --add-architecture i386; fi
  fi
  options=()
  only_lean=1
  for need in "${needs[@]}"; do [[ " $lean " == *" $need "* ]] || only_lean=0; done
  [ "$only_lean" = 0 ] || options+=(--no-install-recommends)
  scripts/apt-install.sh ${options[@]+"${options[@]}"} "${missing[@]}"
fi

# The page's npm packages exactly as web/package-lock.json pins them, again
# only when they are missing or the lock file changed since.
if some "$uses_node" && [ ! web/node_modules/.package-lock.json -nt web/package-lock.json ]; then
  echo "setup: installing the npm packages of web/package-lock.json"
  npm ci --prefix web --no-audit --no-fund --loglevel=error
fi

# The instruction counts of the optimised suite and make bench take
# qemu-i386 on every machine.
if has optimised; then
  scripts/emulate-i386.sh counts
elif some "$runs_i386"; then
  scripts/emulate-i386.sh
fi
