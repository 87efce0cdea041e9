#!/usr/bin/env bash
# ./run demo: the whole system. Installs a fresh device root, runs the
# simulated shell with the recorder through a bundled week of listening on
# the virtual clock, shows what the store holds, then opens the app on it:
# in a window where there is a display, otherwise headless through a script
# that walks through the app and writes a screenshot of each step.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"; shift || true
if [ -z "${CORVANE_DEVICE_ROOT:-}" ]; then
  # A throwaway root lives in memory where it can: every second of music is
  # a synced file write, and on a disk that is most of the demo's time.
  tmp="${TMPDIR:-/tmp}"
  [[ -d /dev/shm && -w /dev/shm ]] && tmp=/dev/shm
  CORVANE_DEVICE_ROOT="$(mktemp -d "$tmp/corvane-demo-XXXXXX")"
  echo "Using a fresh device root: $CORVANE_DEVICE_ROOT (set CORVANE_DEVICE_ROOT to choose one)"
else
  echo "Using the device root $CORVANE_DEVICE_ROOT"
fi
export CORVANE_DEVICE_ROOT
"$here/tools/install-device.sh" "$CORVANE_DEVICE_ROOT" "$build" >/dev/null

week="$here/tools/demo/week"
sessions=$(grep -cv '^#' "$week/sessions.txt")
echo
echo "1. The recorder in the shell: a week of listening (2015-03-01 to 03-07),"
echo "   played through the now-playing controls on a virtual clock, one"
echo "   session at a time ($sessions sessions, one crossing midnight)."
n=0
while read -r start seconds feed; do
  [[ -z $start || $start == \#* ]] && continue
  n=$((n + 1))
  printf '   [%2d/%d] %s  %3d min  %s ... ' "$n" "$sessions" "${start/T/ }" $((seconds / 60)) "$feed"
  if ! "$build/bin/SpringBoard" --feed "$week/$feed" --virtual --start "$start" \
      --for "$seconds" > "$CORVANE_DEVICE_ROOT/shell.log" 2>&1; then
    echo "failed"
    cat "$CORVANE_DEVICE_ROOT/shell.log" >&2
    exit 1
  fi
  echo "done"
done < "$week/sessions.txt"

echo
echo "2. What the store now holds (the store tool's summary):"
"$build/bin/corvane-store" | sed 's/^/   /'

app="$CORVANE_DEVICE_ROOT/Applications/Corvane.app/Corvane"
echo
echo "3. The app on that store."
if [[ -z ${CORVANE_HEADLESS:-} && ( -n ${DISPLAY:-} || -n ${WAYLAND_DISPLAY:-} ) ]]; then
  echo "   A window opens on the newest day (2015-03-07). Tap the flag for the"
  echo "   newest day, swipe the card for other days, swipe 'Time' to 'Number',"
  echo "   tap a row's right half for its share, its left half for its album,"
  echo "   type a day into the card's date and press Return, or open the list of"
  echo "   days with the menu button. Close the window to end."
  exec "$app" "$@"
fi

shots="$CORVANE_DEVICE_ROOT/screenshots"
mkdir -p "$shots"
script="$CORVANE_DEVICE_ROOT/walkthrough.txt"
sed "s|@SHOTS@|$shots|g" "$here/tools/demo/walkthrough.txt" > "$script"
echo "   No display here: the app runs headless through $here/tools/demo/walkthrough.txt"
if ! CORVANE_AUTOMATION="$script" "$app" "$@" > "$CORVANE_DEVICE_ROOT/app.log" 2>&1; then
  echo "   the app failed; its log:" >&2
  cat "$CORVANE_DEVICE_ROOT/app.log" >&2
  exit 1
fi
echo "   Screenshots of each step:"
for shot in "$shots"/*.png; do echo "     $shot"; done
