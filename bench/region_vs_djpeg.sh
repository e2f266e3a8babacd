#!/usr/bin/env bash
# Times region decoding on a 12000 x 9000 baseline 4:2:0 JPEG (textured,
# made with cjpeg -sample 2x2 -quality 90), pinned to CPU 1:
# - `qelvio-cli region` of the bottom-right 128 x 128 tile (prints the index
#   size, the index-only time and the tile time; compared with djpeg -crop)
#   against a full-size djpeg;
# - in process (qelvio-bench): index only, a 1/8 whole-image decode with and
#   without recording, and the tile; hyperfine: djpeg -scale 1/8.
# Usage: bench/region_vs_djpeg.sh path/to/qelvio-cli path/to/qelvio-bench [runs]
set -eu
cli=$(realpath "$1")
bench=$(realpath "$2")
runs=${3:-10}
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export QELVIO_CONFIG_DIR="$work/config"
cc -O2 -o textured_ppm "$here/textured_ppm.c"
./textured_ppm 12000 9000 | cjpeg -sample 2x2 -quality 90 -outfile big.jpg
ls -l big.jpg
for i in 1 2 3; do taskset -c 1 "$cli" region big.jpg --rect 11872,8872,12000,9000 --out tile.bmp; done
# The tile (decoded rectangle 11872,8864 to the corner) against the same
# pixels of djpeg's whole decode, and against djpeg -crop (whose chroma
# upsampling at the crop's edges is not the whole decode's): the largest
# difference in any channel, of 65535.
djpeg -bmp -outfile whole.bmp big.jpg
convert whole.bmp -crop 128x136+11872+8864 +repage whole-tile.ppm
rm whole.bmp
djpeg -crop 128x136+11872+8864 -pnm -outfile crop.ppm big.jpg
compare -metric PAE whole-tile.ppm tile.bmp null: 2>&1 | sed 's/^/largest difference from the whole decode: /'; echo
compare -metric PAE crop.ppm tile.bmp null: 2>&1 | sed 's/^/largest difference from djpeg -crop: /'; echo
hyperfine -N --warmup 1 --runs "$runs" \
    "taskset -c 1 djpeg -bmp -outfile full.bmp big.jpg" \
    "taskset -c 1 djpeg -scale 1/8 -bmp -outfile eighth.bmp big.jpg"
QELVIO_REGION_JPEG=big.jpg taskset -c 1 "$bench" --benchmark_filter=JpegRegion \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
