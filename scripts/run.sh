#!/usr/bin/env bash
# Installs what is missing, builds, and opens the window.
#   scripts/run.sh            real scanners and the built-in virtual flatbed; an attached real
#                             scanner is found first and chosen, else the virtual flatbed is
#   scripts/run.sh --virtual  the virtual flatbed alone (SANE is given no backends)
#   scripts/run.sh --real     real scanners only
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-}
case "$mode" in
  "" | --virtual | --real) ;;
  *) echo "usage: scripts/run.sh [--virtual | --real]" >&2; exit 2 ;;
esac

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j "$(nproc)" --target bivara-scanner

case "$mode" in
  --real) unset BIVARA_VIRTUAL_SCANNER ;;
  --virtual)
    export BIVARA_VIRTUAL_SCANNER=1
    sane=$(mktemp -d)
    : >"$sane/dll.conf"
    export SANE_CONFIG_DIR=$sane
    ;;
  *) export BIVARA_VIRTUAL_SCANNER=1 ;;
esac
exec build/bivara-scanner
