#!/usr/bin/env bash
# Start-up of qelvio on a folder under a virtual X server: the
# milliseconds from the start of the process to "window shown" (and to the
# folder listed and the first painting), from the program's own timing
# trace (QELVIO_TIMING=1); the median of N runs (10 by default).
#
# usage: bench/qelvio_startup.sh QELVIO FOLDER [RUNS]
set -euo pipefail
if [[ "${QELVIO_BENCH_INNER:-}" != 1 ]]; then
    command -v xvfb-run > /dev/null || { echo "xvfb-run is not installed (scripts/setup.sh installs it)"; exit 1; }
    export QELVIO_BENCH_INNER=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
qelvio=$(realpath "$1")
folder=$(realpath "$2")
runs=${3:-10}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QELVIO_TIMING=1 QELVIO_SCREENSHOT=$work/shot.png

median() { sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

: > "$work/shown"; : > "$work/listed"; : > "$work/painted"
for i in $(seq "$runs"); do
    "$qelvio" "$folder" 2> "$work/trace"
    awk '$3 == "window" && $4 == "shown" {print $2}' "$work/trace" >> "$work/shown"
    awk '$3 == "folder" && $4 == "listed" {print $2}' "$work/trace" >> "$work/listed"
    awk '$3 == "frame" && $4 == "painted" {print $2}' "$work/trace" >> "$work/painted"
done
printf 'qelvio start-up on %s, median of %d runs under Xvfb (ms since the process started)\n' "$folder" "$runs"
printf '  folder listed  %s\n' "$(median < "$work/listed")"
printf '  window shown   %s   (runs: %s)\n' "$(median < "$work/shown")" "$(tr '\n' ' ' < "$work/shown")"
printf '  frame painted  %s\n' "$(median < "$work/painted")"
