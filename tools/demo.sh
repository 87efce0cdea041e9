#!/usr/bin/env bash
# ./run demo: installs the system into a device root, runs the simulated
# system shell with the recorder loaded through a scripted day of listening
# on the virtual clock, and shows what the data store then holds.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"; shift || true
if [ -z "${CORVANE_DEVICE_ROOT:-}" ]; then
  CORVANE_DEVICE_ROOT="$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo-XXXXXX")"
  echo "Using a fresh device root: $CORVANE_DEVICE_ROOT (set CORVANE_DEVICE_ROOT to choose one)"
else
  echo "Using the device root $CORVANE_DEVICE_ROOT"
fi
export CORVANE_DEVICE_ROOT
"$here/tools/install-device.sh" "$CORVANE_DEVICE_ROOT" "$build" >/dev/null

feed="$here/tools/demo/listening-session.jsonl"
echo
echo "The shell starts with the recorder loaded and plays one day of"
echo "listening from $feed on a virtual clock:"
"$build/bin/SpringBoard" --feed "$feed" --virtual --start 2015-03-05T07:00:00 --for 86400 "$@"
echo
"$build/bin/corvane-store"
