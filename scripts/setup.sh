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
  emscripten chromium fonts-ipaexfont-gothic
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
# The page's tests run on the machine's Node.js; Debian's comes with no npm.
command -v npm >/dev/null || missing+=(nodejs npm)

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo dpkg --add-architecture i386
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

# The page's npm packages exactly as web/package-lock.json pins them, again
# only when they are missing or the lock file changed since.
if [ ! web/node_modules/.package-lock.json -nt web/package-lock.json ]; then
  echo "setup: installing the npm packages of web/package-lock.json"
  npm ci --prefix web --no-audit --no-fund --loglevel=error
fi

scripts/emulate-i386.sh
