#!/usr/bin/env bash
# The release is the same bytes from any clone, at any path and time: copies
# the sources (without build/, dist/, .git and web/node_modules) to another, longer path, builds
# the release there later than the first build, at a low priority, and
# compares the module, its debug file, the zip and SHA256SUMS with dist/.
#
#   tests/release/reproducible.sh VERSION      (from the source folder)
set -euo pipefail
version=$1
root=$(pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/orbitrix-reproducible.XXXXXX")
trap 'rm -rf "$work"' EXIT
copy="$work/a/second/clone/somewhere/else"
mkdir -p "$copy"
tar -C "$root" --exclude=./build --exclude=./dist --exclude=./.git --exclude=./web/node_modules \
  -cf - . | tar -C "$copy" -xf -

cd "$copy"
if ! { nice cmake --preset windows && nice cmake --build --preset windows --target release; } \
    >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  echo "FAIL: the copy in $copy did not build"
  exit 1
fi

# The same bytes are promised for the same tools: another Debian's compiler
# builds others. Which ones this result holds for:
cxx=$(sed -n 's/^set(CMAKE_CXX_COMPILER \(.*\))$/\1/p' cmake/mingw-i686.cmake)
echo "built with $("$cxx" --version | head -1), $(i686-w64-mingw32-ld --version | head -1)," \
  "$(/usr/bin/python3 --version) on $(. /etc/os-release && echo "$PRETTY_NAME")"
status=0
for f in orbitrix.mcp orbitrix.mcp.debug "orbitrix-$version-win32.zip" SHA256SUMS; do
  if cmp -s "$root/dist/$f" "$copy/dist/$f"; then
    echo "same bytes: dist/$f ($(stat -c %s "$root/dist/$f") bytes)"
  else
    echo "FAIL: dist/$f differs from the one built in $copy:"
    cmp -l "$root/dist/$f" "$copy/dist/$f" | head -20 || true
    status=1
  fi
done
exit $status
