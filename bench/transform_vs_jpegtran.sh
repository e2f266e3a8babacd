#!/usr/bin/env bash
# Times `qelvio-cli transform --rotate 90` against
# `jpegtran -copy all -trim -rotate 90` on a 4000 x 3000 4:2:0 JPEG, both
# pinned to CPU 1. Usage: bench/transform_vs_jpegtran.sh path/to/qelvio-cli [runs]
set -eu
cli=$(realpath "$1")
runs=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The temporary file then sits on the same file system as the picture.
export XDG_CACHE_HOME="$work/cache"
convert -size 4000x3000 -seed 7 plasma:fractal -attenuate 0.4 +noise Gaussian -depth 8 big.ppm
cjpeg -quality 90 -sample 2x2 -outfile big.jpg big.ppm
rm big.ppm
ls -l big.jpg
# Each run starts from a fresh copy (the transform replaces its file).
hyperfine -N --warmup 2 --runs "$runs" --prepare 'cp big.jpg work.jpg' \
    "taskset -c 1 $cli transform --rotate 90 work.jpg" \
    "taskset -c 1 jpegtran -copy all -trim -rotate 90 -outfile out.jpg work.jpg"
cp big.jpg work.jpg
"$cli" transform --rotate 90 work.jpg >/dev/null
jpegtran -copy all -trim -rotate 90 -outfile out.jpg big.jpg
cmp -s work.jpg out.jpg && echo "outputs byte-identical" || echo "outputs differ"
