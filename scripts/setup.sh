#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only when one
# of them is missing, so a machine that already has everything pays nothing.
set -euo pipefail

packages=(
  g++-multilib g++-mingw-w64-i686 wine wine32:i386 cmake ninja-build
  libgtest-dev:i386 libgmock-dev:i386 libbenchmark-dev:i386 googletest
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo dpkg --add-architecture i386
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
