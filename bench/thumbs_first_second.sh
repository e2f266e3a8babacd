#!/usr/bin/env bash
# Times `qelvio-cli thumbs` on a folder of camera-sized JPEGs without Exif
# thumbnails: the first visit (every thumbnail decoded from its image) and
# the second visit in a new process (every thumbnail read from the
# thumbnail folder), with the peak memory of each from /usr/bin/time -v.
#
#   bench/thumbs_first_second.sh QELVIO_CLI [COUNT] [WORK_DIR] [WxH]
#
# COUNT files (default 500) of WxH (default 4000x3000) pixels. To keep the
# set-up cheap on a small machine, 25 distinct files are encoded (five
# textures at five qualities, 4:2:2 like a camera's) and the others are
# copies of them; each file is still decoded in full on the first visit.
# Needs cc, cjpeg (libjpeg-turbo-progs) and GNU time.
set -euo pipefail
cli=$(realpath "$1")
count=${2:-500}
work=${3:-/tmp/qelvio-thumbs-first-second}
size=${4:-4000x3000}
here=$(dirname "$(realpath "$0")")
mkdir -p "$work/images"

if [[ ! -x "$work/textured_ppm" ]]; then
    cc -O2 -o "$work/textured_ppm" "$here/textured_ppm.c" -lm
fi
for t in 1 2 3 4 5; do
    for q in 80 84 88 92 95; do
        f="$work/base-$t-$q.jpg"
        [[ -e "$f" ]] && continue
        [[ -e "$work/base-$t.ppm" ]] || "$work/textured_ppm" "${size%x*}" "${size#*x}" > "$work/base-$t.ppm"
        # Each texture is the base one turned or mirrored, so the files differ.
        case $t in
            1) cjpeg -quality $q -sample 2x1 "$work/base-1.ppm" > "$f" ;;
            *) cjpeg -quality $q -sample 2x1 "$work/base-1.ppm" > "$work/tmp.jpg"
               jpegtran -copy none -flip $([[ $t == 2 || $t == 4 ]] && echo horizontal || echo vertical) \
                   "$work/tmp.jpg" > "$f"
               rm -f "$work/tmp.jpg" ;;
        esac
    done
    [[ $t == 1 ]] || rm -f "$work/base-$t.ppm"
done
bases=("$work"/base-*.jpg)
for i in $(seq 1 "$count"); do
    f=$(printf '%s/images/IMG_%04d.jpg' "$work" "$i")
    [[ -e "$f" ]] || cp "${bases[$(( (i - 1) % ${#bases[@]} ))]}" "$f"
done
echo "files: $count of $size, $(du -sh "$work/images" | cut -f1), no Exif thumbnails"

run() {  # run LABEL: one visit with a fresh process, wall time and peak memory
    local label=$1 out
    out=$(XDG_CACHE_HOME="$work/cache" /usr/bin/time -v "$cli" thumbs "$work/images" 2>&1 >"$work/$label.out" || true)
    local wall rss
    wall=$(grep 'Elapsed (wall clock)' <<<"$out" | awk '{print $NF}')
    rss=$(grep 'Maximum resident set size' <<<"$out" | awk '{print $NF}')
    printf '%-7s %s   wall %s   peak RSS %s KB\n' "$label" "$(cat "$work/$label.out")" "$wall" "$rss"
    # m:ss.ss as seconds, for the ratio
    awk -F: '{ s = 0; for (i = 1; i <= NF; ++i) s = s * 60 + $i; print s }' <<<"$wall" > "$work/$label.seconds"
}
rm -rf "$work/cache"
sync
run first
run second
awk -v a="$(cat "$work/first.seconds")" -v b="$(cat "$work/second.seconds")" \
    'BEGIN { if (b > 0) printf "second visit %.0fx faster than the first\n", a / b }'
