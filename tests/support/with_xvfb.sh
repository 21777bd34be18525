#!/usr/bin/env bash
# Runs a command in a virtual X server of its own. Xvfb picks a free display number itself
# (-displayfd), so servers that other tests start at the same moment never collide.
#   with_xvfb.sh COMMAND [ARG...]
set -euo pipefail
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true; wait $xvfb 2>/dev/null || true; rm -f "$fifo"' EXIT
if ! read -r -t 30 number <"$fifo"; then
  echo "the virtual X server did not start" >&2
  exit 1
fi
export DISPLAY=":$number"
set +e
"$@"
status=$?
set -e
exit $status
