#!/usr/bin/env bash
# Tries the project on a machine that has nothing yet: a fresh Debian root
# made with debootstrap, a clone of this repository's HEAD in it, and a
# command run there as root, `make test` unless another is given.
#
#   scripts/fresh-root.sh [--emulated] SUITE [DIR] [-- COMMAND...]
#
#   SUITE       bookworm (Debian 12) or trixie (Debian 13)
#   DIR         where the root goes (/var/tmp/orbitrix-fresh-SUITE); made once, kept,
#               used again. Not under the checkout: while the command runs, the
#               machine's /dev, /proc and /sys are mounted inside it
#   --emulated  32-bit programs run through qemu-user, registered on this
#               machine for the run (scripts/emulate-i386.sh with
#               ORBITRIX_EMULATE_I386=1): a handler with the F flag serves the
#               root's programs too
#
# The root has the packages of a minimal Debian system, git and make, and the
# main, updates and security suites as its sources, as a new machine has
# them; everything else the command needs, the project's own setup installs,
# so a first run downloads about a gigabyte. The clone is made anew each
# time. Needs root; not part of make test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
say() { echo "fresh-root: $*"; }
die() { echo "fresh-root: $*" >&2; exit 1; }

emulated=0
if [ "${1:-}" = --emulated ]; then emulated=1; shift; fi
suite=${1:-}
case $suite in
  bookworm | trixie) ;;
  *) die "usage: $0 [--emulated] bookworm|trixie [DIR] [-- COMMAND...]" ;;
esac
shift
dir=/var/tmp/orbitrix-fresh-$suite
if [ $# -gt 0 ] && [ "$1" != -- ]; then dir=$(realpath -m "$1"); shift; fi
[ "${1:-}" != -- ] || shift
command=("$@")
[ ${#command[@]} -gt 0 ] || command=(make test)
[ "$(id -u)" -eq 0 ] || die "needs root (debootstrap, mounts, chroot)"

command -v debootstrap >/dev/null || "$root/scripts/apt-install.sh" debootstrap
# The handler registered for this run is taken away again after it.
registered=0
# The machine's /dev, /proc and /sys are mounted in the root while it runs.
# They must be gone before anything deletes the root: a deletion through the
# /dev mounted there would delete the machine's own devices. What the command
# left running in the root (a Wine session waits 30 s for its next program)
# would keep them busy, so it ends first, and what is still busy is detached.
mounts_in() { awk -v d="$1/" 'index($2, d) == 1 { print $2 }' /proc/mounts | sort -r; }
unmount_all() {
  local p m
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" != "$dir" ] || kill -9 "${p##*/}" 2>/dev/null || true
  done
  for m in $(mounts_in "$dir"); do umount "$m" 2>/dev/null || umount -l "$m"; done
  [ -z "$(mounts_in "$dir")" ] || die "still mounted in $dir: $(mounts_in "$dir" | tr '\n' ' ')"
}
cleanup() {
  unmount_all
  if [ "$registered" = 1 ]; then "$root/scripts/emulate-i386.sh" remove; fi
}
trap cleanup EXIT
if [ "$emulated" = 1 ] && [ "$("$root/scripts/emulate-i386.sh" mode)" = native ]; then
  ORBITRIX_EMULATE_I386=1 "$root/scripts/emulate-i386.sh"
  registered=1
fi

if [ ! -f "$dir/etc/os-release" ]; then
  say "making a $suite root in $dir"
  debootstrap --variant=minbase --include=git,make,ca-certificates "$suite" "$dir" \
    http://deb.debian.org/debian >"$dir.debootstrap.log" 2>&1 ||
    { tail -20 "$dir.debootstrap.log" >&2; die "debootstrap failed (log: $dir.debootstrap.log)"; }
  cat >"$dir/etc/apt/sources.list" <<EOF
deb http://deb.debian.org/debian $suite main
deb http://deb.debian.org/debian $suite-updates main
deb http://deb.debian.org/debian-security $suite-security main
EOF
fi
unmount_all  # what an interrupted run left
cp /etc/resolv.conf "$dir/etc/resolv.conf"
# Certificate authorities this machine adds to Debian's own (a network that
# inspects its traffic has one): the root trusts them as this machine does.
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  mkdir -p "$dir/usr/local/share/ca-certificates"
  cp /usr/local/share/ca-certificates/*.crt "$dir/usr/local/share/ca-certificates/"
  chroot "$dir" update-ca-certificates >/dev/null
fi

mount -t proc proc "$dir/proc"
for m in sys dev; do mount --rbind "/$m" "$dir/$m" && mount --make-rslave "$dir/$m"; done

rm -rf "$dir/root/orbitrix"
git clone --quiet "$root" "$dir/root/orbitrix"
say "$(. "$dir/etc/os-release" && echo "$PRETTY_NAME"), 32-bit programs $(
  [ "$emulated" = 1 ] && echo "through qemu-user" || echo "as this machine runs them"):" \
  "${command[*]} in /root/orbitrix at $(git -C "$root" rev-parse --short HEAD)"
start=$(date +%s)
status=0
chroot "$dir" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  ${NODE_EXTRA_CA_CERTS:+NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt} \
  bash -c 'cd /root/orbitrix && "$@"' bash "${command[@]}" || status=$?
say "${command[*]} exited $status after $(($(date +%s) - start)) s"
exit "$status"
