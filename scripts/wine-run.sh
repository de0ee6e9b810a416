#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
# The first run creates the prefix (about 15 s); a lock keeps parallel test
# runs from creating it twice.
#
#   scripts/wine-run.sh PROGRAM ARGS...             without a display
#   scripts/wine-run.sh --display PROGRAM ARGS...   its windows on the X display $DISPLAY
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
# Never the Wayland driver: Wine 10 (Debian 13) would try it without a
# display, and say on stderr that it has no XDG_RUNTIME_DIR; Wine 8 has none.
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winewayland.drv=d"
display=
if [ "${1-}" = --display ]; then
  shift
  display=${DISPLAY-}
  if [ -z "$display" ]; then
    echo "wine-run.sh: --display needs DISPLAY, the X display to show the windows on" >&2
    exit 2
  fi
else
  unset DISPLAY
fi
# Under an emulator the validator's time limits stretch (see emulate-i386.sh).
export ORBITRIX_TIME_SCALE="${ORBITRIX_TIME_SCALE:-$("$root/scripts/emulate-i386.sh" time-scale)}"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true
) 9>"$WINEPREFIX.lock"
if [ -z "$display" ]; then exec wine "$@"; fi
# A Wine session started by a program without a display has no windows for
# the programs that join it later. So a program with windows waits for a
# session running in the prefix to end (about 3 s after its last program),
# and its own session ends before this returns: no later program joins one
# whose display may be gone.
wineserver -w
status=0
wine "$@" || status=$?
wineserver -w
exit $status
