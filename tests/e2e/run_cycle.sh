#!/usr/bin/env bash
# Runs the whole-cycle test in a virtual X server with its own session and accessibility bus.
#   run_cycle.sh PROGRAM WORKDIR BED_IMAGE...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$1; work=$2; shift 2
rm -rf "$work"; mkdir -p "$work/home/sane"; chmod 700 "$work/home"
: >"$work/home/sane/dll.conf"  # SANE without backends: only the virtual flatbed is found
beds=$(IFS=:; echo "$*")

inner=$(cat <<'INNER'
set -euo pipefail
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
bus=$!
trap 'kill $bus 2>/dev/null || true' EXIT
# The program finds the accessibility bus only if it is there when it starts: wait for it.
for _ in $(seq 100); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >/dev/null 2>&1 && break
  sleep 0.1
done
/usr/bin/python3 "$HERE/cycle.py" "$@"
INNER
)
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/home"
export SANE_CONFIG_DIR="$work/home/sane" BIVARA_VIRTUAL_SCANNER=1 BIVARA_VIRTUAL_BED="$beds"
export QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
export BIVARA_PROBE_STALLS=1 HERE="$here"
exec timeout 900 "$here/../support/with_xvfb.sh" \
  dbus-run-session -- bash -c "$inner" cycle "$program" "$work" "$@" 2> >(grep -v 'fd limit' >&2)
