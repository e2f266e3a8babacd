#!/usr/bin/env bash
# qelvio-cli render: a tiled view of a large JPEG against djpeg's full decode
# cropped and enlarged by ImageMagick.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QELVIO_CONFIG_DIR="$work/config" XDG_CACHE_HOME="$work/cache"
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
# differing PIXELS A B: how many pixels of two pictures differ at all
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1; }

# Too large to view whole at full size, so the viewer keeps a reduced one and tiles.
convert -size 2000x1500 -seed 3 plasma:fractal -colorspace gray "$work/pic.pgm"
cjpeg -grayscale -quality 90 -outfile "$work/big.jpg" "$work/pic.pgm"
djpeg -dct int -pnm -outfile "$work/full.pgm" "$work/big.jpg"

out=$("$cli" render "$work/big.jpg" --zoom 1000 --origin 300,200 --size 400x300 --out "$work/z1.bmp") ||
    fail "render at 1000: $out"
[[ $out == *"whole image at 500/1000, 12 tiles decoded"* ]] || fail "render at 1000 said: $out"
convert "$work/full.pgm" -crop 400x300+300+200 +repage "$work/expect1.pgm"
[[ $(differing "$work/z1.bmp" "$work/expect1.pgm") == 0 ]] || fail "zoom 1000 differs from djpeg"

"$cli" render "$work/big.jpg" --zoom 2000 --origin 1900,1400 --size 200x200 --out "$work/z2.bmp" > /dev/null ||
    fail "render at 2000"
convert "$work/full.pgm" -crop 100x100+1900+1400 +repage -sample 200% "$work/expect2.pgm"
[[ $(differing "$work/z2.bmp" "$work/expect2.pgm") == 0 ]] || fail "zoom 2000 at the corner differs from djpeg"

# Below zoom 175 the reduced whole image is drawn and nothing is decoded.
out=$("$cli" render "$work/big.jpg" --zoom 100 --origin 0,0 --size 200x150 --out "$work/z3.bmp")
[[ $out == *", 0 tiles decoded"* ]] || fail "zoom 100 said: $out"

"$cli" render "$work/big.jpg" --zoom 0 --origin 0,0 --size 10x10 --out "$work/x.bmp" 2> /dev/null
[[ $? == 2 ]] || fail "zoom 0 is bad usage"
"$cli" render "$work/none.jpg" --zoom 1000 --origin 0,0 --size 10x10 --out "$work/x.bmp" 2> /dev/null
[[ $? == 1 ]] || fail "a missing file fails"

finish "cli render"
