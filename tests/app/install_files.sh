#!/usr/bin/env bash
# Installs the build into a scratch prefix and validates what desktops read from it.
#   install_files.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

id=org.bivara.Scanner
share=$prefix/share
test -x "$prefix/bin/bivara-scanner"
desktop-file-validate "$share/applications/$id.desktop"
appstreamcli validate --no-net --pedantic "$share/metainfo/$id.metainfo.xml"
test -s "$share/icons/hicolor/scalable/apps/$id.svg"
for size in 16 22 24 32 48 64 128 256 512; do
  png=$share/icons/hicolor/${size}x${size}/apps/$id.png
  test -s "$png"
  # The PNG's width as its header gives it.
  [ "$(od -An -tu4 --endian=big -j16 -N4 "$png" | tr -d ' ')" = "$size" ] || { echo "bad size: $png"; exit 1; }
done
grep -qx 'Icon=org.bivara.Scanner' "$share/applications/$id.desktop"
echo "installed files valid"
