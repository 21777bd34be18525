#!/usr/bin/env bash
# Opens bivara-scanner in a virtual X server on the virtual flatbed alone, waits for the
# scanner, and keeps a screenshot of the real window.
#   window_screenshot.sh PROGRAM SCREENSHOT.png
set -euo pipefail
program=$1
shot=$2
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/sane"
: >"$home/sane/dll.conf"  # SANE without backends: only the virtual flatbed is found
rm -f "$shot"

out=$(env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
  SANE_CONFIG_DIR="$home/sane" BIVARA_VIRTUAL_SCANNER=1 BIVARA_SCREENSHOT="$shot" \
  QT_QPA_PLATFORM=xcb timeout 120 "$(dirname "$0")/../support/with_xvfb.sh" "$program")
echo "$out"
grep -qx 'scanner: VIRTUAL FLATBED' <<<"$out"
grep -q '^status: Scanner ready' <<<"$out"
# A PNG of the window's size (1080 × 720).
[ "$(head -c 8 "$shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ]
[ "$(od -An -tu1 -j16 -N8 "$shot" | tr -s ' ' | sed 's/^ //')" = "0 0 4 56 0 0 2 208" ]
