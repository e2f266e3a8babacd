#!/bin/bash
# Times the Lanczos3 reduction of a 4000 x 3000 picture to 1000 x 750 on one
# core: qelvio-bench's DibResize against ImageMagick (and vips when it is
# installed). The reference tools read a PPM file; their decode time is
# measured separately ("read only") and subtracted, so the figures compare
# the resampling alone.
#
# usage: bench/compare_resize.sh BUILD_DIR [CORE]
set -euo pipefail
build=${1:?build directory with bench/qelvio-bench}
core=${2:-1}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 4000x3000 gradient:red-blue -attenuate 0.1 +noise Uniform -depth 8 "$work/in.ppm"

# Best user+system CPU seconds of 5 runs of a command.
best_cpu() {
    local best=999
    for _ in 1 2 3 4 5; do
        local t
        /usr/bin/time -o "$work/time" -f "%U %S" "$@" >/dev/null 2>&1
        t=$(awk '{print $1 + $2}' "$work/time")
        best=$(echo "$t $best" | awk '{print ($1 < $2) ? $1 : $2}')
    done
    echo "$best"
}

export MAGICK_THREAD_LIMIT=1 VIPS_CONCURRENCY=1
im_all=$(best_cpu taskset -c "$core" convert "$work/in.ppm" -filter Lanczos -resize '1000x750!' null:)
im_read=$(best_cpu taskset -c "$core" convert "$work/in.ppm" null:)
echo "ImageMagick resize+read ${im_all}s, read only ${im_read}s, resize $(echo "$im_all $im_read" | awk '{print $1 - $2}')s"

if command -v vips >/dev/null; then
    vips_all=$(best_cpu taskset -c "$core" vips resize "$work/in.ppm" "$work/out.v" 0.25 --kernel lanczos3)
    vips_read=$(best_cpu taskset -c "$core" vips copy "$work/in.ppm" "$work/copy.v")
    echo "vips resize+read ${vips_all}s, read+write ${vips_read}s, resize $(echo "$vips_all $vips_read" | awk '{print $1 - $2}')s"
fi

taskset -c "$core" "$build/bench/qelvio-bench" --benchmark_filter='DibResize_Lanczos3.*warm:0' \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true | grep -E 'Benchmark|median|mean'
