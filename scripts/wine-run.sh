#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
# The first run creates the prefix (about 15 s); a lock keeps parallel test
# runs from creating it twice.
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
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
) 9>"$WINEPREFIX.lock"
exec wine "$@"
