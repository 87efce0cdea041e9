#!/usr/bin/env bash
# install-desktop.sh install|uninstall PREFIX BUILD_DIR ROOT
#
# Installs the system for everyday use, independent of the checkout: the
# shell and the store tool in PREFIX/bin, the platform's libraries in
# PREFIX/lib/corvane, the device root ROOT laid out as install-device.sh
# does (with its own copy of the libraries), a systemd user unit for the
# recorder and a desktop entry for the app. Every program and library finds
# its libraries relative to itself ($ORIGIN). The files installed are listed
# in PREFIX/share/corvane/installed-files; uninstall removes exactly those,
# never the store.
set -euo pipefail

if [[ $# -ne 4 ]]; then
  echo "usage: $0 install|uninstall PREFIX BUILD_DIR ROOT" >&2
  exit 64
fi
action=$1 prefix=$2 build=$3 root=$4
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
manifest="$prefix/share/corvane/installed-files"

if [[ $action == uninstall ]]; then
  if [[ ! -f $manifest ]]; then
    echo "nothing installed under $prefix (no $manifest)" >&2
    exit 1
  fi
  while IFS= read -r file; do
    rm -f -- "$file"
    # The folders that held them, once empty; the store is never among the files.
    dir=$(dirname -- "$file")
    while [[ $dir != "$prefix" && $dir != "$root" && $dir != / ]] && rmdir -- "$dir" 2>/dev/null; do
      dir=$(dirname -- "$dir")
    done
  done < "$manifest"
  rm -f -- "$manifest"
  # The manifest's folders too, once empty, as for the files above.
  dir=$(dirname -- "$manifest")
  while [[ $dir != "$prefix" && $dir != / ]] && rmdir -- "$dir" 2>/dev/null; do
    dir=$(dirname -- "$dir")
  done
  echo "uninstalled from $prefix; the store under $root is kept"
  exit 0
fi

for needed in SpringBoard corvane-store; do
  if [[ ! -x $build/bin/$needed ]]; then
    echo "$0: $build/bin/$needed is missing; build the project first" >&2
    exit 1
  fi
done
command -v patchelf >/dev/null || { echo "$0: patchelf is missing (Debian package patchelf)" >&2; exit 1; }

installed=()
# place FROM TO MODE [RUNPATH]: copied beside the target and renamed over it,
# so a running program keeps its old mapping.
place() {
  local from=$1 to=$2 mode=$3 runpath=${4:-}
  mkdir -p -- "$(dirname -- "$to")"
  cp -- "$from" "$to.installing"
  chmod "$mode" "$to.installing"
  [[ -n $runpath ]] && patchelf --set-rpath "$runpath" "$to.installing"
  mv -f -- "$to.installing" "$to"
  installed+=("$to")
}

libs=(libobjc.so libFoundation.so libQuartzCore.so libUIKit.so libUIKitHost.so libsubstrate.so
      libSpringBoardHost.so)
for lib in "${libs[@]}"; do
  [[ -f $build/lib/$lib ]] || continue
  place "$build/lib/$lib" "$prefix/lib/corvane/$lib" 0644 '$ORIGIN'
  place "$build/lib/$lib" "$root/usr/lib/corvane/$lib" 0644 '$ORIGIN'
done
place "$build/bin/SpringBoard" "$prefix/bin/SpringBoard" 0755 '$ORIGIN/../lib/corvane'
place "$build/bin/corvane-store" "$prefix/bin/corvane-store" 0755 '$ORIGIN/../lib/corvane'

# The device root, then its programs pointed at the root's own libraries.
"$here/install-device.sh" "$root" "$build" >/dev/null
patch_root() {
  local file=$1 runpath=$2
  cp -- "$file" "$file.installing"
  patchelf --set-rpath "$runpath" "$file.installing"
  mv -f -- "$file.installing" "$file"
  installed+=("$file")
}
patch_root "$root/Library/MobileSubstrate/DynamicLibraries/Corvane.dylib" '$ORIGIN/../../../usr/lib/corvane'
installed+=("$root/Library/MobileSubstrate/DynamicLibraries/Corvane.plist")
patch_root "$root/usr/bin/launchCV" '$ORIGIN/../lib/corvane'
patch_root "$root/Applications/Corvane.app/Corvane" '$ORIGIN/../../usr/lib/corvane'
for file in Info.plist Main.storyboard.plist flagIcon.png menuIcon.png; do
  installed+=("$root/Applications/Corvane.app/$file")
done

# The recorder as a user service: headless, restarted when it fails, stopped
# by SIGTERM between two writes; its lines go to the journal.
unit="$prefix/share/systemd/user/corvane-recorder.service"
mkdir -p -- "$(dirname -- "$unit")"
cat > "$unit" <<UNIT
[Unit]
Description=Corvane recorder: a diary of what the desktop's music players play
Documentation=file://$prefix/share/corvane/README

[Service]
Type=simple
Environment=CORVANE_DEVICE_ROOT=$root
Environment=CORVANE_HEADLESS=1
# CORVANE_PLAYERS_ONLY=NAME,... and CORVANE_PLAYERS_IGNORE=NAME,... choose the players.
EnvironmentFile=-%h/.config/corvane/recorder.conf
ExecStart=$prefix/bin/SpringBoard --players
KillSignal=SIGTERM
Restart=on-failure
RestartSec=10

[Install]
WantedBy=default.target
UNIT
installed+=("$unit")

# The unit's Documentation= link, readable once the checkout is gone.
place "$here/../README.md" "$prefix/share/corvane/README" 0644

icon="$prefix/share/icons/hicolor/64x64/apps/corvane.png"
place "$here/../app/Resources/menuIcon.png" "$icon" 0644
entry="$prefix/share/applications/corvane.desktop"
mkdir -p -- "$(dirname -- "$entry")"
cat > "$entry" <<ENTRY
[Desktop Entry]
Type=Application
Version=1.0
Name=Corvane
Comment=The music you played, day by day
Exec=env CORVANE_DEVICE_ROOT=$root $root/Applications/Corvane.app/Corvane
Icon=$icon
Terminal=false
Categories=AudioVideo;Audio;
ENTRY
installed+=("$entry")

mkdir -p -- "$(dirname -- "$manifest")"
printf '%s\n' "${installed[@]}" | sort -u > "$manifest"
echo "installed into $prefix (device root $root)"
