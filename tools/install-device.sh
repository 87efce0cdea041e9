#!/usr/bin/env bash
# install-device.sh ROOT BUILD_DIR
#
# Lays out a device root from a build: the tweak and its loader filter, the
# launcher, the app bundle (Info.plist, the two icons the main screen loads,
# and the app's program when the build has one) and the store folder the
# tweak writes to. Safe to run again over an existing root: what is
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
for needed in "$tweak" "$launcher"; do
  if [[ ! -f $needed ]]; then
    echo "$0: $needed is missing; build the project first" >&2
    exit 1
  fi
done

tweaks="$root/Library/MobileSubstrate/DynamicLibraries"
bundle="$root/Applications/Corvane.app"
store="$root/var/mobile/Documents/Corvane"
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

cat > "$bundle/Info.plist" <<PLIST
$plist_header
<dict>
	<key>CFBundleExecutable</key>
	<string>Corvane</string>
	<key>CFBundleIdentifier</key>
	<string>com.corvane.app</string>
	<key>CFBundleName</key>
	<string>Corvane</string>
</dict>
</plist>
PLIST
if [[ -f $app ]]; then
  place "$app" "$bundle/Corvane" 0755
fi

# The icons: brown on transparent, for the app's light background.
python3 - "$bundle" <<'PY'
import struct, sys, zlib

def png(path, width, height, inside):
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            rows += bytes((153, 102, 51, 255)) if inside(x, y) else bytes(4)
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        out.write(chunk(b"IEND", b""))

def flag(x, y):
    pole = 8 <= x < 13 and 6 <= y < 66
    cloth = 13 <= x < 44 and 8 <= y < 38 and (x - 13) <= 31 - abs(y - 23) * 31 // 15
    return pole or cloth

def menu(x, y):
    return 8 <= x < 56 and any(top <= y < top + 8 for top in (14, 28, 42))

png(sys.argv[1] + "/flagIcon.png", 48, 72, flag)
png(sys.argv[1] + "/menuIcon.png", 64, 64, menu)
PY

echo "installed into $root"
