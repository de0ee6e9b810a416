#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
# The first run creates the prefix (about 15 s); a lock keeps parallel test
# runs from creating it twice.
#
# A Wine session starts its background processes (services, devices, RPC)
# with the output of the program that opens it, and under qemu-user Wine 10
# ends them with a crash that qemu reports on that output, sometimes after
# the program has returned. So the session is opened here, its background
# processes writing nowhere, and kept for 30 s after its last program, so
# that the next one finds it open.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
# No display: Wine 10 (Debian 13) would then try its Wayland driver, which
# says on stderr that it has no XDG_RUNTIME_DIR; Wine 8 has no such driver.
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winewayland.drv=d"
unset DISPLAY
# Under an emulator the validator's time limits stretch (see emulate-i386.sh).
export ORBITRIX_TIME_SCALE="${ORBITRIX_TIME_SCALE:-$("$root/scripts/emulate-i386.sh" time-scale)}"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  # What starts here outlives the lock, and must not hold it (9>&-).
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 9>&- || true
  if ! wineserver -k0 2>/dev/null; then
    wineserver -p30 </dev/null >/dev/null 2>&1 9>&-
    wine wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"
exec wine "$@"
