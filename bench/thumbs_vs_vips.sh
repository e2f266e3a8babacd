#!/usr/bin/env bash
# Times `qelvio-cli thumbs` against `vipsthumbnail -s 64x64` on folders of
# camera-size JPEGs (4000x3000), with and without 160x120 Exif thumbnails,
# and a second qelvio run from its thumbnail cache.
#
#   bench/thumbs_vs_vips.sh QELVIO_CLI [COUNT] [WORK_DIR]
#
# Needs ImageMagick, exiftool and vipsthumbnail (Debian: libvips-tools).
set -euo pipefail
cli=$(realpath "$1")
count=${2:-100}
work=${3:-/tmp/qelvio-thumbs-bench}
mkdir -p "$work/with" "$work/without"

if [[ ! -e "$work/base.ppm" ]]; then
    # A detailed picture: a fractal with grain, so that files come out near
    # the size of a camera's (about 6 MB at this quality, 4:2:2 like a camera's).
    convert -size 1000x750 plasma:fractal -seed 11 -resize 4000x3000! +noise Gaussian "$work/base.ppm"
    convert "$work/base.ppm" -resize 160x120 -quality 90 "$work/thumb.jpg"
fi
for i in $(seq 1 "$count"); do
    f=$(printf 'IMG_%04d.jpg' "$i")
    [[ -e "$work/with/$f" ]] && continue
    convert "$work/base.ppm" -modulate 100,100,$((50 + i % 100)) -quality 88 -sampling-factor 2x1 "$work/without/$f"
    cp "$work/without/$f" "$work/with/$f"
    exiftool -q -overwrite_original -Make=Bench -Model=Camera "-ThumbnailImage<=$work/thumb.jpg" "$work/with/$f"
done
echo "files: $count per folder, $(du -sh "$work/without" | cut -f1) without Exif thumbnails"

seconds() {  # seconds COMMAND...: wall time of one run
    local start end
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    echo "$end - $start" | bc
}
export VIPS_CONCURRENCY=1
for folder in with without; do
    rm -rf "$work/vips-out" "$work/cache-$folder"
    mkdir -p "$work/vips-out"
    sync
    vips=$(seconds taskset -c 1 vipsthumbnail -s 64x64 -o "$work/vips-out/%s.jpg" "$work/$folder"/*.jpg)
    first=$(XDG_CACHE_HOME="$work/cache-$folder" seconds taskset -c 1 "$cli" thumbs "$work/$folder")
    second=$(XDG_CACHE_HOME="$work/cache-$folder" seconds taskset -c 1 "$cli" thumbs "$work/$folder")
    printf '%-8s vipsthumbnail %7.3f s   qelvio first %7.3f s (%5.1fx faster)   qelvio from cache %7.3f s (%5.1fx faster than first)\n' \
        "$folder" "$vips" "$first" "$(echo "$vips / $first" | bc -l)" "$second" "$(echo "$first / $second" | bc -l)"
done
