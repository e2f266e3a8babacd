#!/usr/bin/env bash
# qelvio-cli info and decode on scratch files, against exiftool, djpeg and
# ImageMagick.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QELVIO_CONFIG_DIR="$work/config"
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
same_number() {  # same_number NAME EXPECTED ACTUAL: equal within 1e-4
    if ! awk -v a="$2" -v b="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(a != "" && b != "" && d < 1e-4) }'; then
        printf 'FAIL %s: expected %s, got %s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

convert -size 64x48 gradient:red-blue -depth 8 "$work/pic.ppm"
cjpeg -quality 90 -outfile "$work/a.jpg" "$work/pic.ppm"
exiftool -q -overwrite_original -n -Make=Brantel '-Model=QX 10' -Orientation=6 -FNumber=2.8 \
    -ExposureTime=0.004 -ISO=200 -ExposureCompensation=-0.3333 -XResolution=300 \
    '-ImageDescription=Lake shore' "$work/a.jpg"
info=$("$cli" info "$work/a.jpg")
value() {  # value GROUP TAG: the value text of an entry in the info output
    printf '%s\n' "$info" | awk -F'\t' -v g="    $1" -v t="$2" '$1 == g && $2 == t { print $4 }'
}
check "format line" "  format: JPEG" "$(printf '%s\n' "$info" | grep '^  format:')"
check "size line" "  size: 64 x 48" "$(printf '%s\n' "$info" | grep '^  size:')"
check "flags line" "  flags: 8 (baseline)" "$(printf '%s\n' "$info" | grep '^  flags:')"
check "name column" "Exposure bias value" \
    "$(printf '%s\n' "$info" | awk -F'\t' '$2 == 37380 { print $3 }')"
for pair in "0 271 Make" "0 272 Model" "0 270 ImageDescription"; do
    set -- $pair
    check "text $3" "$(exiftool -s -s -s -"$3" "$work/a.jpg")" "$(value "$1" "$2")"
done
for pair in "0 274 Orientation" "0 282 XResolution" "1 33437 FNumber" "1 33434 ExposureTime" \
            "1 34855 ISO" "1 37380 ExposureCompensation"; do
    set -- $pair
    same_number "number $3" "$(exiftool -n -s -s -s -"$3" "$work/a.jpg")" "$(value "$1" "$2")"
done

# Decoding: a JPEG at 1/8 equals djpeg's, a GIF equals ImageMagick's.
out=$("$cli" decode "$work/a.jpg" --size 8x6 --out "$work/a.bmp")
check "decode line" "$work/a.bmp: 8 x 6, 24 bits" "$out"
djpeg -bmp -scale 1/8 -outfile "$work/ref.bmp" "$work/a.jpg"
check "jpeg pixels" "0" "$(compare -metric AE "$work/a.bmp" "$work/ref.bmp" null: 2>&1)"
convert "$work/pic.ppm" -colors 50 "$work/g.gif"
"$cli" decode "$work/g.gif" --out "$work/g.bmp" > /dev/null
check "gif pixels" "0" "$(compare -metric AE "$work/g.bmp" "$work/g.gif" null: 2>&1)"

# Errors are reported, never crashes.
"$cli" decode "$work/a.jpg" --page 1 --out "$work/p.bmp" 2> "$work/err"
check "page 1 of a JPEG" "1 qelvio-cli: $work/a.jpg: no such page (-9)" "$? $(cat "$work/err")"
printf 'not an image' > "$work/bad.jpg"
"$cli" info "$work/bad.jpg" 2> "$work/err" > /dev/null
check "not an image" "1 qelvio-cli: $work/bad.jpg: no decoder accepts the file (-6)" "$? $(cat "$work/err")"
convert "$work/pic.ppm" -compress LZW "$work/lzw.tif"
"$cli" info "$work/lzw.tif" 2> "$work/err" > /dev/null
check "LZW TIFF" "1 qelvio-cli: $work/lzw.tif: LZW-compressed TIFF is not supported (-6)" "$? $(cat "$work/err")"
# A file named without an image extension is read by its content, first or
# after another image.
cp "$work/a.jpg" "$work/photo"
check "no extension alone" "  format: JPEG" "$("$cli" info "$work/photo" | grep '^  format:')"
check "no extension after another" "2" "$("$cli" info "$work/g.gif" "$work/photo" | grep -c '^  format:')"

# region: a rectangle of a 4:4:4 file at half scale equals the same part of
# djpeg's half-scale decode; the index holds 3 points for each of 19 MCU rows.
convert -size 200x150 plasma:red-blue -depth 8 "$work/r.ppm"
cjpeg -sample 1x1 -outfile "$work/r.jpg" "$work/r.ppm"
out=$("$cli" region "$work/r.jpg" --rect 40,24,104,88 --scale 500 --out "$work/r.bmp")
check "region index line" "index: 2284 bytes" "$(printf '%s\n' "$out" | sed -n 's/, [0-9.]* ms$//p' | head -1)"
check "region rectangle" "region: 40,24,104,88" "$(printf '%s\n' "$out" | sed -n '2s/ decoded in.*//p')"
djpeg -scale 1/2 -bmp -outfile "$work/rhalf.bmp" "$work/r.jpg"
convert "$work/rhalf.bmp" -crop 32x32+20+12 +repage "$work/rcrop.bmp"
check "region pixels" "0" "$(compare -metric AE "$work/r.bmp" "$work/rcrop.bmp" null: 2>&1)"
"$cli" region "$work/r.jpg" --rect 150,100,201,150 --out "$work/x.bmp" 2> "$work/err" > /dev/null
check "region outside" "1 qelvio-cli: $work/r.jpg: failed (-1)" "$? $(cat "$work/err")"

finish "cli decode"
