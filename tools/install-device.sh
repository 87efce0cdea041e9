#!/usr/bin/env bash
# install-device.sh ROOT BUILD_DIR
#
# Lays out a device root from a build: the tweak and its loader filter, the
# launcher, the app bundle (Info.plist, its interface file, the two icons the
# main screen loads, and the app's program) and the store folder the tweak
# writes to. Safe to run again over an existing root: what is
# installed is replaced, the store's contents are kept.
set -euo pipefail

if [[ $# -ne 2 ]]; then
  echo "usage: $0 ROOT BUILD_DIR" >&2
  exit 64
fi
root=$1
build=$2

tweak="$build/lib/Corvane.dylib"
launcher="$build/bin/launchCV"
app="$build/bin/Corvane"
layout="$build/bin/corvane-store-layout"
for needed in "$tweak" "$launcher" "$app" "$layout"; do
  if [[ ! -f $needed ]]; then
    echo "$0: $needed is missing; build the project first" >&2
    exit 1
  fi
done

tweaks="$root/Library/MobileSubstrate/DynamicLibraries"
bundle="$root/Applications/Corvane.app"
store="$root$("$layout" --store-root)"
mkdir -p "$tweaks" "$root/usr/bin" "$bundle" "$store"
chmod 0755 "$store"

# Copied beside the target and renamed over it: a shell still running the
# old library keeps its mapping instead of crashing on a rewritten file.
# The launcher is copied, not linked, since it finds the device root from
# its own location.
place() {
  local from=$1 to=$2 mode=$3
  cp "$from" "$to.installing"
  chmod "$mode" "$to.installing"
  mv -f "$to.installing" "$to"
}

plist_header='<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">'

place "$tweak" "$tweaks/Corvane.dylib" 0755
cat > "$tweaks/Corvane.plist" <<PLIST
$plist_header
<dict>
	<key>Filter</key>
	<dict>
		<key>Bundles</key>
		<array>
			<string>com.apple.springboard</string>
		</array>
	</dict>
</dict>
</plist>
PLIST

place "$launcher" "$root/usr/bin/launchCV" 0755

# The bundle: its Info.plist names the interface file that makes the
# window's root controller; the two pictures the main screen loads by path.
resources="$(cd "$(dirname "${BASH_SOURCE[0]}")/../app/Resources" && pwd)"
for file in Info.plist Main.storyboard.plist flagIcon.png menuIcon.png; do
  place "$resources/$file" "$bundle/$file" 0644
done
if [[ -f $app ]]; then
  place "$app" "$bundle/Corvane" 0755
fi

echo "installed into $root"
