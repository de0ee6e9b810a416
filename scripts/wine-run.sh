#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix, quietly.
#
#   scripts/wine-run.sh PROGRAM ARGS...             without a display
#   scripts/wine-run.sh --display PROGRAM ARGS...   its windows on the X display $DISPLAY
#
# The first run creates the prefix (about 15 s); a lock keeps parallel test
# runs from creating it twice.
#
# A Wine session starts its background processes (services, devices, RPC)
# with the output of the program that opens it, and under qemu-user Wine 10
# ends them with a crash that qemu reports on that output, sometimes after
# the program has returned. So the session is opened here, its background
# processes writing nowhere; without a display it is kept for 30 s after its
# last program, so that the next one finds it open.
#
# A session opened without a display has no windows for the programs that
# join it later, so the programs with windows have a prefix of their own
# (build/wineprefix-display). Their display may go away with them, as a
# test's Xvfb does: their session ends before this returns, so that no later
# program joins one whose display is gone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
display=
if [ "${1-}" = --display ]; then
  shift
  display=${DISPLAY-}
  if [ -z "$display" ]; then
    echo "wine-run.sh: --display needs DISPLAY, the X display to show the windows on" >&2
    exit 2
  fi
  export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix-display}"
else
  unset DISPLAY
  export WINEPREFIX="${WINEPREFIX:-$root/build/wineprefix}"
fi
# Never the Wayland driver: Wine 10 (Debian 13) would try it without a
# display, and say on stderr that it has no XDG_RUNTIME_DIR; Wine 8 has none.
export WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winewayland.drv=d"
# Under an emulator the validator's time limits stretch (see emulate-i386.sh).
export ORBITRIX_TIME_SCALE="${ORBITRIX_TIME_SCALE:-$("$root/scripts/emulate-i386.sh" time-scale)}"
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  # What starts here outlives the lock, and must not hold it (9>&-).
  [ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 9>&- || true
  [ -z "$display" ] || wineserver -w
  if ! wineserver -k0 2>/dev/null; then
    [ -n "$display" ] || wineserver -p30 </dev/null >/dev/null 2>&1 9>&-
    wine wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"
if [ -z "$display" ]; then exec wine "$@"; fi
status=0
wine "$@" || status=$?
wineserver -w
exit $status
