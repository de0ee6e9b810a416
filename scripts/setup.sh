#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only when one
# of them is missing, so a machine that already has everything pays nothing.
# Then, where the kernel cannot run 32-bit programs, sets up the emulator that
# runs them (scripts/emulate-i386.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++-multilib g++-mingw-w64-i686 wine wine32:i386 cmake ninja-build
  libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386 googletest python3
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

scripts/emulate-i386.sh
