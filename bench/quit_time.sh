#!/bin/bash
# Times quitting, from outside: for bivara-batch, from its last line to the process's end; for
# the window, from its closing to the process's end (in a virtual X server, closed by the
# BIVARA_SCREENSHOT probe once the scanner is open). Both on the virtual flatbed, with the
# system's scanner discovery polling beside it as it does for a person.
#
#   bench/quit_time.sh [BUILD_DIR] [RUNS]
#
# Prints each run's milliseconds and their median for each.
set -u
build=$(realpath "${1:-build}")
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

export BIVARA_VIRTUAL_SCANNER=1 BIVARA_VIRTUAL_SPEED=instant

batch=()
for ((i = 0; i < runs; i++)); do
    rm -rf "$work/out"
    "$build/bivara-batch" --out "$work/out" --dpi 150 | while IFS= read -r line; do echo "$(now)"; done > "$work/lines"
    ended=$(now)
    last=$(tail -n 1 "$work/lines")
    batch+=($(((ended - last) / 1000000)))
done
echo "bivara-batch, last line to exit (ms): ${batch[*]}; median $(printf '%s\n' "${batch[@]}" | median)"

window=()
for ((i = 0; i < runs; i++)); do
    HOME=$work XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work BIVARA_SCREENSHOT=$work/window.png \
        timeout 120 xvfb-run -a bash -c '"$0" 2>/dev/null | while IFS= read -r line; do date +%s%N; done > "$1"; date +%s%N >> "$1"' \
        "$build/bivara-scanner" "$work/lines"
    times=($(tail -n 2 "$work/lines"))
    window+=($(((times[1] - times[0]) / 1000000)))
done
echo "window, closing to exit (ms): ${window[*]}; median $(printf '%s\n' "${window[@]}" | median)"
