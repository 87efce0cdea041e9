#!/usr/bin/env bash
# ./run demo: plays a scripted listening session into a device root and shows
# what the store then holds.
set -euo pipefail
build="$1"; shift || true
if [ -z "${CORVANE_DEVICE_ROOT:-}" ]; then
  CORVANE_DEVICE_ROOT="$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo-XXXXXX")"
  echo "Using a fresh device root: $CORVANE_DEVICE_ROOT (set CORVANE_DEVICE_ROOT to choose one)"
else
  echo "Using the device root $CORVANE_DEVICE_ROOT"
fi
export CORVANE_DEVICE_ROOT
echo
"$build/bin/corvane-listen" "$@"
"$build/bin/corvane-store"
