#!/usr/bin/env bash
# Makes a small folder of sample images (JPEG, GIF, BMP, TIFF and a
# subfolder) for `make run`, each one the program reads. Existing files are
# kept.
set -euo pipefail
out=${1:-build/samples}
mkdir -p "$out/More pictures"
make_one() {  # make_one FILE CONVERT-ARGS...
    local file=$1
    shift
    [[ -e "$out/$file" ]] || convert "$@" "$out/$file"
}
make_one "Wizard.jpg" wizard: -quality 90
make_one "Rose.jpg" rose: -resize 300% -quality 85
make_one "Logo.gif" logo: -resize 50%
make_one "Granite.bmp" granite: -resize 200%
# PackBits: ImageMagick's default for this picture is LZW, which the TIFF
# decoder reads only inside Exif thumbnails.
make_one "Netscape.tif" netscape: -compress RLE
make_one "More pictures/Sky.jpg" -size 800x600 gradient:skyblue-navy -quality 90
make_one "More pictures/Plasma.jpg" -size 640x480 plasma:fractal -seed 7 -quality 90
echo "samples in $out"
