#!/usr/bin/env bash
# make bench: each mouse event against its floor (see bench/events.h).
#
# Where 32-bit code runs on the processor, orbitrix_bench times both sides.
# Under an emulator the times would be the emulator's, so there only what
# emulation measures exactly is shown: the guest instructions each event
# executes, counted by qemu. They are shown on both kinds of machine whenever
# qemu-i386 is there.
#
#   bench/run.sh BUILD_DIR      (the folder with orbitrix_bench and orbitrix_count)
set -euo pipefail
dir=$1
root=$(cd "$(dirname "$0")/.." && pwd)
events=1000
# No events, written with as many digits: the two runs differ in nothing else,
# not even in the work of reading their arguments.
none=$(printf "%0${#events}d" 0)

if [ "$("$root/scripts/emulate-i386.sh" mode)" = native ]; then
  "$dir/orbitrix_bench"
else
  echo "32-bit programs run under qemu here: no times, since they would be the emulator's."
fi

if ! command -v qemu-i386 >/dev/null; then
  echo "no qemu-i386 here, so no instruction counts (ORBITRIX_EMULATE_I386=1 make setup installs it)"
  exit 0
fi

# qemu logs one "Trace" line for each instruction it executes with
# -one-insn-per-tb -d exec,nochain; the log goes through a pipe, since a run
# logs a few hundred thousand lines.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkfifo "$work/log"
instructions() {
  grep -c '^Trace ' <"$work/log" >"$work/count" &
  local status=0
  qemu-i386 -one-insn-per-tb -d exec,nochain -D "$work/log" "$dir/orbitrix_count" "$@" \
    >"$work/allocations" || status=$?
  wait
  [ "$status" -eq 0 ] || { echo "orbitrix_count $* failed" >&2; exit 1; }
  cat "$work/count"
}

echo
echo "Guest instructions per event, counted by qemu ($events events less none)"
printf '%-22s %12s %10s %7s %6s %13s\n' event plug-in floor ratio goal allocs/event
"$dir/orbitrix_count" --list | while IFS=$'\t' read -r id goal name; do
  plugin=$(instructions "$id" plug-in $events)
  allocations=$(cat "$work/allocations")
  plugin=$((plugin - $(instructions "$id" plug-in "$none")))
  floor=$(($(instructions "$id" floor $events) - $(instructions "$id" floor "$none")))
  awk -v name="$name" -v p="$plugin" -v f="$floor" -v n=$events -v goal="$goal" -v a="$allocations" \
    'BEGIN { r = p / f; printf "%-22s %12.1f %10.1f %7.2f %6.1f %13.3g%s\n", name, p / n, f / n, r,
             goal, a / n, (r <= goal && a == 0) ? "" : "  <- above its goal" }'
done
