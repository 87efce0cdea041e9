#!/usr/bin/env bash
# What durable writes cost: the simulated shell records one song playing for
# SECONDS on the real clock, with the device root on a fresh ext4 file
# system of its own (a loop device, so the disk's counters are the store's
# alone), once on an empty store and once on the generated 3-year store.
# Prints fsync calls per played second (strace) and the bytes that reached
# the disk (the loop device's sectors, journal included, after a final sync)
# per byte the recorder wrote to the store, both counted from the fifth
# second on (what the first seconds create and number is left out). Needs root, strace and a loop
# device. Usage: measure-writes.sh [--seconds N] BUILD_DIR...
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds=60
if [ "${1:-}" = --seconds ]; then seconds=$2; shift 2; fi
[ "$(id -u)" -eq 0 ] || { echo "needs root (a loop mount)" >&2; exit 1; }
command -v strace >/dev/null || { echo "needs strace" >&2; exit 1; }
work="$(mktemp -d "${TMPDIR:-/tmp}/corvane-writes.XXXXXX")"
mnt="$work/mnt"
cleanup() { mountpoint -q "$mnt" && umount "$mnt"; rm -rf "$work"; }
trap cleanup EXIT
store3y="${TMPDIR:-/tmp}/corvane-counts/store-3y"
store="$("$1/bin/corvane-store-layout" --store-root)"
store="${store#/}"
printf '{"at": 0, "title": "Song", "album": "Album", "artist": "Artist", "position": 5.0, "playing": true}\n' \
  >"$work/feed.jsonl"

printf '%-32s %-6s %10s %12s %14s %10s\n' build store "fsync/s" "written B" "to disk B" "disk/written"
for build in "$@"; do
  build="$(cd "$build" && pwd)"
  for kind in empty 3y; do
    [ "$kind" = 3y ] && [ ! -d "$store3y/var" ] && continue
    truncate -s 512M "$work/fs.img"
    mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$work/fs.img"
    mkdir -p "$mnt"
    mount -o loop "$work/fs.img" "$mnt"
    dev=$(basename "$(findmnt -n -o SOURCE "$mnt")")
    root="$mnt/device"
    if [ "$kind" = 3y ]; then cp -a "$store3y" "$root"; else mkdir -p "$root/$store"; fi
    "$here/tools/install-device.sh" "$root" "$build" >/dev/null
    sync -f "$mnt"
    warm=5
    CORVANE_DEVICE_ROOT="$root" CORVANE_HEADLESS=1 strace -f -qq -ttt -y \
      -e trace=fsync,fdatasync,write -o "$work/trace" \
      "$build/bin/SpringBoard" --feed "$work/feed.jsonl" --for "$((seconds + warm))" \
      >/dev/null 2>&1 &
    shell=$!
    sleep "$warm"
    sync -f "$mnt"
    from=$(date +%s.%N)
    before=$(awk '{print $7}' "/sys/block/$dev/stat")
    wait "$shell" || true
    sync -f "$mnt"
    after=$(awk '{print $7}' "/sys/block/$dev/stat")
    awk -v from="$from" '$2 + 0 >= from' "$work/trace" >"$work/steady"
    fsyncs=$(grep -cE '(fsync|fdatasync)\(' "$work/steady" || true)
    written=$(grep -E "write\([0-9]+<$root/$store" "$work/steady" |
      sed -n 's/.*= \([0-9]*\)$/\1/p' | awk '{s += $1} END {print s + 0}')
    disk=$(( (after - before) * 512 ))
    printf '%-32s %-6s %10.2f %12d %14d %10.2f\n' "$(basename "$(dirname "$build")")/$(basename "$build")" \
      "$kind" "$(echo "$fsyncs / $seconds" | bc -l)" "$written" "$disk" \
      "$(echo "$disk / ($written + 1)" | bc -l)"
    umount "$mnt"
  done
done
