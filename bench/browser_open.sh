#!/usr/bin/env bash
# Opening a folder of camera-sized JPEGs in qelvio under a virtual X
# server: from the program's timing trace (QELVIO_TIMING=1), the
# milliseconds from the start of the process to the folder's opening and
# listing, the first cells drawn and every visible thumbnail drawn, and the
# event loop's lateness (a 10 ms timer) while the thumbnails loaded. Two
# runs: the first decodes the Exif thumbnails, the second (after a restart,
# the same thumbnail store) draws the stored ones.
#
# usage: bench/browser_open.sh QELVIO [COUNT] [FOLDER]
#   COUNT 4000 x 3000 JPEGs with Exif thumbnails (1000 by default) are made
#   in FOLDER (a temporary folder by default; an existing one is reused).
set -euo pipefail
if [[ "${QELVIO_BENCH_INNER:-}" != 1 ]]; then
    command -v xvfb-run > /dev/null || { echo "xvfb-run is not installed (scripts/setup.sh installs it)"; exit 1; }
    export QELVIO_BENCH_INNER=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
qelvio=$(realpath "$1")
count=${2:-1000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=${3:-$work/photos}
mkdir -p "$folder"

# A few distinct encodes, each with a 160 x 120 Exif thumbnail, copied
# COUNT times (copies are as good as distinct files for opening).
if [[ ! -e "$folder/DSC_0001.jpg" ]]; then
    for k in 1 2 3 4; do
        convert -size 4000x3000 "gradient:hsb($((k * 60)),80%,90%)-navy" -attenuate 0.3 +noise Uniform \
            -quality 85 "$work/seed$k.jpg"
        convert "$work/seed$k.jpg" -resize 160x120 -quality 80 "$work/thumb$k.jpg"
        exiftool -q -overwrite_original "-ThumbnailImage<=$work/thumb$k.jpg" -Make=Bench -Model=Camera \
            "-DateTimeOriginal=2024:03:05 12:00:00" "$work/seed$k.jpg"
    done
    for i in $(seq "$count"); do cp "$work/seed$(( (i % 4) + 1 )).jpg" "$folder/$(printf 'DSC_%04d.jpg' "$i")"; done
fi

export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QELVIO_TIMING=1 QELVIO_SCREENSHOT=$work/shot.png

mark() { awk -v m="$2" 'index($0, m) {print $2; exit}' "$1"; }
for run in first second; do
    # Cold file cache is out of reach without privileges: both runs read
    # files the system has cached; the second also has stored thumbnails.
    "$qelvio" "$folder" 2> "$work/trace.$run" || true
    printf '%s run on %s files (ms since the process started)\n' "$run" "$(ls "$folder" | wc -l)"
    printf '  folder opening           %s\n' "$(mark "$work/trace.$run" "folder opening")"
    printf '  folder listed            %s\n' "$(mark "$work/trace.$run" "folder listed")"
    printf '  first cells drawn        %s\n' "$(mark "$work/trace.$run" "first cells drawn")"
    printf '  visible thumbnails drawn %s\n' "$(mark "$work/trace.$run" "visible thumbnails drawn")"
    grep -h "visible thumbnails drawn" "$work/trace.$run" | sed 's/^.*drawn /    thumbnails: /' || true
    grep -h "event loop lateness" "$work/trace.$run" | sed 's/^qelvio-timing: [0-9.]* /  /' || true
done
echo "stored thumbnails: $(ls "$XDG_CACHE_HOME/qelvio/Qelvio Thumbnails" 2> /dev/null | grep -ci '^olm' || true)"
