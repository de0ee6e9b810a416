#!/usr/bin/env bash
# make bench: each mouse event against its floor (see bench/events.h).
#
#   bench/run.sh BUILD_DIR            times, where 32-bit code runs on the processor, then
#                                     the instruction counts
#   bench/run.sh BUILD_DIR --counts   the instruction counts only (the event_counts test)
#
# BUILD_DIR holds orbitrix_bench and orbitrix_count. The counts hold the
# line: qemu-i386 counts the guest instructions each event executes, exactly
# and the same run after run, and the run exits 1 when an event's ratio to
# its floor is more than 15 % above the one recorded for its plain code
# (bench/events.h), when one allocates, or when the heap count cannot see a
# heap call made from a static library of the link, as the module's code is
# one. Times are shown beside them but hold nothing: they are
# noisy on a shared machine, and under an emulator they would be the
# emulator's.
set -euo pipefail
dir=$1
mode=${2:-all}
root=$(cd "$(dirname "$0")/.." && pwd)
events=1000
# No events, written with as many digits: the two runs differ in nothing else,
# not even in the work of reading their arguments.
none=$(printf "%0${#events}d" 0)

if [ "$mode" = all ]; then
  if [ "$("$root/scripts/emulate-i386.sh" mode)" = native ]; then
    "$dir/orbitrix_bench"
  else
    echo "32-bit programs run under qemu here: no times, since they would be the emulator's."
  fi
  echo
fi

command -v qemu-i386 >/dev/null ||
  { echo "no qemu-i386 here to count instructions: scripts/setup.sh installs it" >&2; exit 1; }

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
    </dev/null >"$work/allocations" || status=$?
  wait
  [ "$status" -eq 0 ] || { echo "orbitrix_count $* failed" >&2; exit 1; }
  cat "$work/count"
}

echo "Guest instructions per event, counted by qemu ($events events less none)"
printf '%-22s %12s %10s %7s %9s %6s %13s\n' event plug-in floor ratio recorded limit allocs/event
failed=0
while IFS=$'\t' read -r id recorded name; do
  plugin=$(instructions "$id" plug-in $events)
  allocations=$(cat "$work/allocations")
  plugin=$((plugin - $(instructions "$id" plug-in "$none")))
  floor=$(($(instructions "$id" floor $events) - $(instructions "$id" floor "$none")))
  awk -v name="$name" -v p="$plugin" -v f="$floor" -v n=$events -v rec="$recorded" -v a="$allocations" \
    'BEGIN { r = p / f; limit = rec * 1.15; ok = r <= limit && a == 0
             printf "%-22s %12.1f %10.1f %7.3f %9.3f %6.2f %13.3g%s\n", name, p / n, f / n, r, rec, limit,
                    a / n, ok ? "" : "  <- above its limit"
             exit !ok }' || failed=1
done < <("$dir/orbitrix_count" --list)

# The module takes no block on any event, so the count shows it can see one
# with a call of each heap function from bench_events, a static library
# linked as the module's is.
read -r taken given < <(qemu-i386 "$dir/orbitrix_count" --heap </dev/null)
if [ "$taken $given" = "4 4" ]; then
  echo "malloc, calloc, realloc and new from a static library: 4 allocations, 4 releases, as they must (the heap count sees them)"
else
  echo "malloc, calloc, realloc and new from a static library: $taken allocations, $given releases, where 4 and 4 were due"
  failed=1
fi

if [ "$failed" = 1 ]; then
  echo "bench: an event is above its limit or allocates, or the heap count sees no heap call" >&2
  exit 1
fi
