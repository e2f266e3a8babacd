#!/usr/bin/env bash
# Times a thumbnail decode of a 4000 x 3000 JPEG (64 x 48: the picture fitted
# into the 64 x 64 thumbnail box) through `qelvio-cli decode` against
# `djpeg -scale 1/8`, once without an Exif thumbnail and once with a
# 160 x 120 one, pinned to CPU 1.
# Usage: bench/decode_vs_djpeg.sh path/to/qelvio-cli [runs]
set -eu
cli=$(realpath "$1")
runs=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export QELVIO_CONFIG_DIR="$work/config"
convert -size 4000x3000 -seed 7 plasma:fractal -attenuate 0.4 +noise Gaussian -depth 8 big.ppm
cjpeg -quality 90 -outfile big.jpg big.ppm
rm big.ppm
convert -size 160x120 gradient:red-blue thumb.jpg
cp big.jpg thumb_big.jpg
exiftool -q -overwrite_original "-ThumbnailImage<=thumb.jpg" thumb_big.jpg
ls -l big.jpg thumb_big.jpg
hyperfine -N --warmup 2 --runs "$runs" \
    "taskset -c 1 $cli decode big.jpg --size 64x48 --out a.bmp" \
    "taskset -c 1 djpeg -scale 1/8 -bmp -outfile b.bmp big.jpg" \
    "taskset -c 1 $cli decode thumb_big.jpg --size 64x48 --out c.bmp"
compare -metric AE a.bmp b.bmp null: 2>&1 | sed 's/^/pixels differing from djpeg: /'; echo
