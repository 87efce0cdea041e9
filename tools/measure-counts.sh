#!/usr/bin/env bash
# Machine-independent start-up figures: callgrind's instruction counts of the
# app's cold start to its first frame (headless) and of the recorder's
# start-up (the simulated shell on the virtual clock up to its first sampling
# tick), on a generated 3-year and 10-year store, for each build given; and
# the recorder's peak resident memory through a minute of a new title
# playing (numbered into both title maps, counted, tallied).
# Usage: measure-counts.sh BUILD_DIR... (e.g. a build of main, then this one)
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${TMPDIR:-/tmp}/corvane-counts"
mkdir -p "$work"
command -v valgrind >/dev/null || { echo "valgrind is needed" >&2; exit 1; }

# The stores, generated once by the first build's store tool and kept.
store() {
  local name=$1 days=$2 titles=$3 dir="$work/store-$1"
  if [ ! -d "$dir/var" ]; then
    rm -rf "$dir.partial"
    CORVANE_DEVICE_ROOT="$dir.partial" "$first/bin/corvane-store" generate \
      --days "$days" --titles "$titles" --seed 1 >/dev/null
    mv "$dir.partial" "$dir"
  fi
  echo "$dir"
}

instructions() {  # prints the instruction count of the command
  local out
  out=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p' | tail -1)
  echo "${out:-?}"
}

peak() {  # prints the peak RSS in MB of the command, run as the only child
  python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
print("%.1f" % (resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024))' "$@"
}
feed="$work/new-title.jsonl"
echo '{"at": 0, "title": "A Title Never Heard", "album": "Bench", "position": 0, "playing": true}' >"$feed"

first="$(cd "$1" && pwd)"
printf '%-40s %8s %16s %16s %14s\n' build store "app (M instr)" "recorder (M)" "rec. RSS (MB)"
for build in "$@"; do
  build="$(cd "$build" && pwd)"
  for s in 3y:1095:50000 10y:3650:150000; do
    IFS=: read -r name days titles <<<"$s"
    src=$(store "$name" "$days" "$titles")
    root="$work/root-$name"
    rm -rf "$root"
    cp -a "$src" "$root"
    "$here/tools/install-device.sh" "$root" "$build" >/dev/null
    app=$(CORVANE_DEVICE_ROOT="$root" CORVANE_HEADLESS=1 CORVANE_EXIT_AFTER_FIRST_FRAME=1 \
      instructions "$root/Applications/Corvane.app/Corvane")
    rec=$(CORVANE_DEVICE_ROOT="$root" CORVANE_HEADLESS=1 \
      instructions "$build/bin/SpringBoard" --virtual --start 2023-01-01T12:00:00 --for 4)
    rss=$(CORVANE_DEVICE_ROOT="$root" CORVANE_HEADLESS=1 \
      peak "$build/bin/SpringBoard" --feed "$feed" --virtual --start 2023-01-01T12:00:00 --for 60)
    printf '%-40s %8s %16.1f %16.1f %14s\n' "$build" "$name" "$(echo "$app / 1000000" | bc -l)" \
      "$(echo "$rec / 1000000" | bc -l)" "$rss"
  done
done
