#!/usr/bin/env bash
# Memory while scrolling a large folder in qelvio under a virtual X server:
# the resident size after the folder opened, then after every 50 wheel
# steps down through the thumbnail grid (each step loads the thumbnails
# that come into view). Resident size should level off: only the images of
# the thumbnail cache's in-memory window keep their decoded data.
#
# usage: bench/browser_scroll_memory.sh QELVIO FOLDER [STEPS]
set -euo pipefail
if [[ "${QELVIO_BENCH_INNER:-}" != 1 ]]; then
    command -v xvfb-run > /dev/null || { echo "xvfb-run is not installed (scripts/setup.sh installs it)"; exit 1; }
    export QELVIO_BENCH_INNER=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
qelvio=$(realpath "$1")
folder=$(realpath "$2")
steps=${3:-600}
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$qelvio" "$folder" 2> /dev/null &
pid=$!
trap 'kill $pid 2> /dev/null; wait $pid 2> /dev/null; rm -rf "$work"' EXIT
window=$(xdotool search --sync --onlyvisible --pid $pid | head -1)
sleep 2
rss() { awk '/VmRSS/ {print $2}' /proc/$pid/status; }
printf 'files: %s\nafter opening: %s kB\n' "$(ls "$folder" | wc -l)" "$(rss)"
# The pointer over the image list (right of the folder tree).
xdotool mousemove --window "$window" 600 300
for ((i = 1; i <= steps; i++)); do
    xdotool click 5
    if ((i % 50 == 0)); then
        sleep 0.3
        printf 'after %4d wheel steps: %s kB\n' "$i" "$(rss)"
    fi
done
