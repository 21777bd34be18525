#!/usr/bin/env bash
# Runs a command in a virtual X server of its own. Xvfb picks a free display number itself
# (-displayfd), so servers that other tests start at the same moment never collide; a server
# that does not then take a connection is replaced by a new one.
#   with_xvfb.sh COMMAND [ARG...]
set -euo pipefail
fifo=$(mktemp -u)
mkfifo "$fifo"
xvfb=
stop() {
  [ -n "$xvfb" ] || return 0
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  xvfb=
}
trap 'stop; rm -f "$fifo"' EXIT

for attempt in 1 2 3; do
  # -noreset: by default the server resets when its last client leaves, and a connection
  # attempted during that reset (the check's client has just left) is refused.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
  xvfb=$!
  if read -r -t 30 number <"$fifo" && DISPLAY=":$number" timeout 10 xdotool getdisplaygeometry >/dev/null 2>&1; then
    export DISPLAY=":$number"
    set +e
    "$@"
    status=$?
    set -e
    exit $status
  fi
  echo "virtual X server ${number:+:$number }did not take a connection (attempt $attempt)" >&2
  stop
done
exit 1
