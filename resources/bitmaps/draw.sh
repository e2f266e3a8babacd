#!/usr/bin/env bash
# Draws the program's bitmaps with ImageMagick. The PNG files are kept in the
# repository and compiled in through bitmaps.qrc; run this again after a
# change here.
set -euo pipefail
cd "$(dirname "$0")"
d() { local out=$1; shift; convert -size 16x16 xc:none "$@" -strip "$out"; }

# Toolbar 128, 16 x 16.
d tb_multiselect.png -fill white -stroke black -draw "rectangle 1,1 9,9" -draw "rectangle 6,6 14,14" -stroke blue -draw "line 8,11 10,13" -draw "line 10,13 13,8"
d tb_browser.png -fill '#3060c0' -stroke black -draw "rectangle 1,2 6,7" -draw "rectangle 9,2 14,7" -draw "rectangle 1,9 6,14" -draw "rectangle 9,9 14,14"
d tb_stopslides.png -fill '#c02020' -stroke black -draw "rectangle 3,3 12,12"
d tb_edit.png -stroke black -fill '#e0c040' -draw "polygon 2,13 4,9 11,2 14,5 7,12" -fill '#f0a0a0' -draw "polygon 11,2 14,5 13,6 10,3"
d tb_crop.png -stroke black -fill none -draw "line 4,1 4,11" -draw "line 4,11 14,11" -draw "line 1,4 11,4" -draw "line 11,4 11,14"
d tb_stopedit.png -stroke '#c02020' -strokewidth 2 -draw "line 3,3 12,12" -draw "line 12,3 3,12"
d tb_zoomout.png -stroke black -fill white -draw "circle 6,6 6,1" -draw "line 9,9 14,14" -draw "line 4,6 8,6"
d tb_zoomin.png -stroke black -fill white -draw "circle 6,6 6,1" -draw "line 9,9 14,14" -draw "line 4,6 8,6" -draw "line 6,4 6,8"
d tb_zoomarea.png -stroke black -fill none -draw "stroke-dasharray 2 1 rectangle 1,1 10,10" -fill white -draw "circle 10,10 10,7" -draw "line 12,12 15,15"
d tb_fit.png -stroke black -fill '#a0c0f0' -draw "rectangle 1,3 14,12" -fill black -draw "polygon 3,5 6,5 3,8" -draw "polygon 12,10 9,10 12,7"
d tb_irshow.png -stroke black -fill '#808080' -draw "rectangle 1,5 6,10" -stroke '#c02020' -draw "line 8,7 10,7" -draw "line 11,5 13,5" -draw "line 11,9 13,9"
d tb_irhide.png -stroke black -fill '#808080' -draw "rectangle 1,5 6,10" -stroke '#2080c0' -draw "line 8,5 13,10" -draw "line 13,5 8,10"

# Busy indicator frames 149 to 152, 32 x 24: an hourglass whose sand runs down.
for i in 0 1 2 3; do
  top=$((4 + i * 2)); bottom=$((20 - i * 2))
  convert -size 32x24 xc:'#ffffe0' -stroke black -fill none -draw "rectangle 0,0 31,23" \
    -draw "polygon 10,2 22,2 16,12 10,22 22,22 16,12" -fill '#d0a040' -stroke none \
    -draw "polygon $((10 + i * 2)),$top $((22 - i * 2)),$top 16,12" \
    -draw "polygon 16,$bottom $((16 - 2 - i * 2)),21 $((16 + 2 + i * 2)),21" -strip "busy_$((149 + i)).png"
done

# Bitmap 153: the hatch the moving splitter bar is filled with, 8 x 8.
convert -size 8x8 pattern:gray50 -strip hatch_153.png

# Bitmap 211: the start-up picture.
convert -size 240x320 gradient:'#203060-#5070b0' -fill white -font DejaVu-Sans-Bold -pointsize 26 \
  -gravity center -annotate +0-20 'Qelvio' -pointsize 16 -annotate +0+14 'Mobile' -strip startup_211.png

# Picture 209 of the About box, and the application icon.
icon() {
  convert -size "$1x$1" xc:none -fill '#3060c0' -stroke '#102040' -strokewidth $(( $1 / 24 + 1 )) \
    -draw "roundrectangle 1,1 $(($1 - 2)),$(($1 - 2)) $(($1 / 6)),$(($1 / 6))" \
    -fill '#f0e080' -stroke none -draw "circle $(($1 * 2 / 3)),$(($1 / 3)) $(($1 * 2 / 3)),$(($1 / 4))" \
    -fill '#40a040' -draw "polygon $(($1 / 8)),$(($1 * 7 / 8)) $(($1 * 3 / 8)),$(($1 / 2)) $(($1 / 2)),$(($1 * 2 / 3)) $(($1 * 5 / 8)),$(($1 / 2)) $(($1 * 7 / 8)),$(($1 * 7 / 8))" \
    -strip "$2"
}
icon 48 about_209.png
icon 64 qelvio.png

# Icons 144 (audio annotation) and 185 (description) of the image list, 16 x 16.
d icon_144.png -stroke black -fill '#404040' -draw "polygon 2,6 5,6 9,2 9,14 5,10 2,10" \
  -fill none -stroke '#2060c0' -draw "arc 8,4 14,12 -60,60" -draw "arc 10,2 16,14 -60,60"
d icon_185.png -stroke black -fill white -draw "rectangle 2,1 13,14" -stroke '#2060c0' \
  -draw "line 4,4 11,4" -draw "line 4,7 11,7" -draw "line 4,10 9,10"

# Bitmaps 170 (one file dragged) and 171 (several files), 32 x 32.
page() { echo "-fill white -stroke black -draw \"rectangle $1,$2 $(($1 + 15)),$(($2 + 19))\" -fill '#3060c0' -stroke none -draw \"rectangle $(($1 + 3)),$(($2 + 4)) $(($1 + 12)),$(($2 + 11))\""; }
eval convert -size 32x32 xc:none $(page 8 6) -strip drag_170.png
eval convert -size 32x32 xc:none $(page 4 2) $(page 8 6) $(page 12 10) -strip drag_171.png

# Bitmap 174: the marker shown where a rectangle zoom starts, 16 x 16.
d marker_174.png -stroke black -fill none -draw "line 0,7 15,7" -draw "line 7,0 7,15" -draw "rectangle 4,4 10,10"
