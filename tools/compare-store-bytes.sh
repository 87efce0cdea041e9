#!/usr/bin/env bash
# Proof that a change to the recorder writes the same bytes: the bundled
# week of listening (as ./run demo plays it: new titles, repeats, pauses, a
# stream, midnight) recorded by each build into a fresh store and into a
# copy of a generated history (the week's titles then join years of them),
# then every file of the stores compared.
# Usage: compare-store-bytes.sh BASE_BUILD NEW_BUILD [DAYS TITLES]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
base="$(cd "$1" && pwd)"
new="$(cd "$2" && pwd)"
days="${3:-1095}"
titles="${4:-50000}"
tmp="${TMPDIR:-/tmp}"
[[ -d /dev/shm && -w /dev/shm ]] && tmp=/dev/shm  # every played second is a synced write
work="$(mktemp -d "$tmp/corvane-bytes-XXXXXX")"
trap 'rm -rf "$work"' EXIT
week="$here/tools/demo/week"

CORVANE_DEVICE_ROOT="$work/history" "$base/bin/corvane-store" generate \
  --days "$days" --titles "$titles" --seed 1 >/dev/null 2>&1

record() {  # build root [history]
  local build=$1 root=$2
  mkdir -p "$root"
  [ -n "${3:-}" ] && cp -a "$work/history/." "$root/"
  "$here/tools/install-device.sh" "$root" "$build" >/dev/null
  while read -r start seconds feed; do
    [[ -z $start || $start == \#* ]] && continue
    CORVANE_DEVICE_ROOT="$root" CORVANE_HEADLESS=1 "$build/bin/SpringBoard" --feed "$week/$feed" \
      --virtual --start "$start" --for "$seconds" >/dev/null 2>&1
  done <"$week/sessions.txt"
}

status=0
for kind in fresh history; do
  extra=""
  [ "$kind" = history ] && extra=1
  record "$base" "$work/base-$kind" $extra
  record "$new" "$work/new-$kind" $extra
  store=$("$new/bin/corvane-store-layout" --store-root)
  files=$(cd "$work/base-$kind$store" && find . -type f | wc -l)
  if diff -r "$work/base-$kind$store" "$work/new-$kind$store" >/dev/null; then
    echo "$kind store: $files files, every byte the same"
  else
    echo "$kind store: the builds wrote different files:"
    diff -rq "$work/base-$kind$store" "$work/new-$kind$store" | head -20
    status=1
  fi
done
exit $status
