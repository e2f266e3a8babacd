#!/usr/bin/env bash
# Times an annotation edit of a 6 MB camera-like JPEG (4000 x 3000, 4:2:2)
# (`qelvio-cli annotate --description`) against `cp` of the same file: the
# edit rewrites the metadata segments and copies the rest, so it should cost
# about one sequential copy. Both pinned to CPU 1.
# Usage: bench/annotate_vs_cp.sh path/to/qelvio-cli [runs]
set -eu
cli=$(realpath "$1")
runs=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The temporary file then sits on the same file system as the picture.
export XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"
convert -size 4000x3000 -seed 7 plasma:fractal -attenuate 0.4 +noise Gaussian -depth 8 big.ppm
cjpeg -quality 93 -sample 2x1 -outfile big.jpg big.ppm
rm big.ppm
convert -size 160x120 plasma:fractal -quality 80 thumb.jpg
exiftool -q -q -overwrite_original -Make=Canon '-Model=Canon EOS 5D' '-ImageDescription=original text' \
    -ExposureTime=0.004 -FNumber=2.8 -ISO=200 -GPSLatitude=12.5 -GPSLatitudeRef=N -InteropIndex=R98 \
    '-ThumbnailImage<=thumb.jpg' big.jpg
ls -l big.jpg
# Median wall time of `runs` runs of a command, in milliseconds; `prepare`
# runs untimed before each one. The page cache is warm for both.
median_ms() {  # median_ms PREPARE COMMAND...
    local prepare=$1; shift
    local times=()
    for ((i = 0; i < runs + 2; i++)); do
        eval "$prepare"
        local start=$(date +%s%N)
        "$@" >/dev/null
        local end=$(date +%s%N)
        ((i >= 2)) && times+=($(((end - start) / 1000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f ms (min %.2f, max %.2f)", a[int((NR+1)/2)]/1000, a[1]/1000, a[NR]/1000}'
}
# Each edit starts from a fresh copy (the edit replaces its file).
echo "annotate: $(median_ms 'cp big.jpg work.jpg' taskset -c 1 "$cli" annotate work.jpg --description 'A new description')"
echo "cp:       $(median_ms 'rm -f copy.jpg' taskset -c 1 cp big.jpg copy.jpg)"
# The edit flushes its new file to storage before it replaces the old one.
echo "cp+sync:  $(median_ms 'rm -f copy.jpg' taskset -c 1 sh -c 'cp big.jpg copy.jpg && sync copy.jpg')"
# Bytes the edit reads and writes (one copy: about the file's size each).
cp big.jpg work.jpg
if command -v strace >/dev/null; then
    strace -f -o trace.txt -e trace=read,write,pread64,pwrite64 "$cli" annotate work.jpg --description 'A new description'
    awk '/^[0-9]+ +(read|pread64)\(/ {r += $NF} /^[0-9]+ +(write|pwrite64)\(/ {w += $NF}
         END {printf "annotate read %d bytes, wrote %d bytes\n", r, w}' trace.txt
else
    "$cli" annotate work.jpg --description 'A new description'
fi
python3 - big.jpg work.jpg <<'PY'
import sys
def scan(d):  # from the start-of-scan marker on, walking the segments
    p = 2
    while d[p + 1] != 0xDA:
        p += 2 + (d[p + 2] << 8 | d[p + 3])
    return d[p:]
a, b = (open(p, "rb").read() for p in sys.argv[1:])
print("scan byte-identical" if scan(a) == scan(b) else "scan differs")
PY
