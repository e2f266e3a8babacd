#!/usr/bin/env bash
# A user's round in the viewer and the editor, on a virtual X server: open a
# folder of camera photos, double-click one, zoom in three times with the
# keyboard and once with the wheel, pan, go to the next photo, run a slide
# show for two slides and stop it; choose a turn in the JPEG Transform
# dialog by keys and cancel it; edit: rotate by 90 degrees, raise the black
# point in the Levels dialog, look at the Resize dialog, Save As a new name
# typed into the save-file dialog, go back to the browser and find the new
# file's thumbnail in the list. Then
# open a 100-megapixel photo, see it fitted and zoom to 1:1, where its
# tiles are drawn. Every step is checked in the timing trace, on the screen
# or on disk, and leaves a screenshot.
#
# The program runs with a device root, so the folder tree shows only the
# scenario's folders and the places on the screen are known: the window is
# 800 x 560 at the screen's corner (there is no window manager), the panes
# start 50 pixels down, the image list 407 pixels across.
#
# usage: qelvio_viewer_scenario_test.sh QELVIO QELVIO-CLI [SCREENSHOT-FOLDER]
# Exit 77 (skipped) only when a tool it needs is not installed.
set -uo pipefail

qelvio=$(realpath "$1")
cli=$(realpath "$2")
shots=${3:-}
here=$(dirname "$(realpath "$0")")

source "$here/scenario.sh"
run_under_xvfb "qelvio viewer scenario" "exiftool djpeg cjpeg python3" "$0" "$@"

scenario_folders "$shots"
export QELVIO_DEVICE_ROOT=$work/device

# ---- the photos ----
# Three 1600 x 1200 camera photos (a lit ball over a floor, in mid tones, a
# different colour each) with the camera's Exif and a thumbnail of the
# picture in IFD1, as cameras write them.
photos=$QELVIO_DEVICE_ROOT/Photos
mkdir -p "$photos" "$work/thumbs"
for n in 1 2 3; do
    photo=$photos/IMG_000$n.jpg
    convert -size 1600x1200 radial-gradient:"rgb(250,$((150 + n * 30)),$((90 + n * 40)))-rgb(70,$((140 - n * 20)),160)" \
        \( -size 1600x1200 gradient:white-gray55 \) -compose multiply -composite \
        -fill "rgb(30,$((n * 60)),40)" -draw "rectangle 200,850 520,1100" -quality 90 "$photo"
    convert "$photo" -resize 160x120 -quality 75 "$work/thumbs/IMG_000$n.jpg"
done
exiftool -q -overwrite_original -Make=Canon -Model="Canon PowerShot G5" -Orientation#=1 \
    -DateTimeOriginal="2004:05:01 10:12:00" -ExposureTime=1/125 -FNumber=4.0 -ISO=50 \
    -GPSLatitude=48.8584 -GPSLatitudeRef=N -GPSLongitude=2.2945 -GPSLongitudeRef=E \
    "-ThumbnailImage<=$work/thumbs/%f.jpg" "$photos"
check "the photos are camera-like" "1600x1200 Canon 160x120" \
    "$(identify -format %wx%h "$photos/IMG_0002.jpg") $(exiftool -s3 -Make "$photos/IMG_0002.jpg") $(exiftool -b -ThumbnailImage "$photos/IMG_0002.jpg" | identify -format %wx%h -)"
mkdir -p "$work/before"
cp -p "$photos"/*.jpg "$work/before/"

# The 100-megapixel photo, 10000 x 10000 baseline (made from rows: a red
# ramp across, green and blue steps down in bands of 100 rows, so each part
# of the picture has its own colour).
mkdir -p "$QELVIO_DEVICE_ROOT/Large"
huge=$QELVIO_DEVICE_ROOT/Large/Panorama.jpg
python3 - << 'PY' | cjpeg -quality 80 -outfile "$huge"
import sys
w = h = 10000
out = sys.stdout.buffer
out.write(b"P6 %d %d 255\n" % (w, h))
ramp = bytes(v for x in range(w) for v in ((x * 255) // w, 0, 0))
for band in range(h // 100):
    row = bytearray(ramp)
    row[1::3] = bytes([band * 255 // (h // 100)]) * w
    row[2::3] = bytes([band * 37 % 256]) * w
    out.write(bytes(row) * 100)
PY
check "the large photo" "10000x10000 Baseline" \
    "$(identify -format %wx%h "$huge") $(exiftool -s3 -EncodingProcess "$huge" | cut -d' ' -f1)"

# Two slides a second apart.
"$cli" settings set viewer slide_interval 1

scenario_logs=("$work/log")
log=$work/log

shot_prefix=viewer-
colours() { convert "$shots/$shot_prefix$1.png" -crop "$2" -format %k info:; }
shown_count() { grep -c "image shown" "$log"; }
last_shown() { grep "image shown" "$log" | tail -1 | awk '{print $NF}'; }
is_shown() { [[ "$(last_shown)" == "$1" ]]; }
marks() { grep -c "$1" "$log"; }
at_least() { (( $(marks "$1") >= $2 )); }  # at_least MARK COUNT
zooms() { grep -oE "viewer zoom [0-9]+" "$log" | awk '{print $3}' | tr '\n' ' '; }
menu() {  # menu WINDOW KEY...: a menu by its Alt key, then its items' letters
    keys "$@"
    sleep 0.3
}

# ---- the browser, a double-click on the first photo ----
"$qelvio" '\Photos' 2> "$log" &
pid=$!
main=$(window_of $pid "^Qelvio Mobile$") || step "the main window appears"
wait_for 20 grep -q "folder listed 3" "$log" || step "the folder's three photos are listed"
wait_for 20 grep -q "visible thumbnails drawn" "$log" || step "the thumbnails are drawn"
sleep 0.3
shot 1-browser
read -r x y <<< "$(cell 3)"
check "the fourth cell is empty before the save" "255,255,255" "$(pixel 1-browser "$x" "$y")"

read -r x y <<< "$(cell 0)"
xdotool mousemove --window "$main" "$x" "$y" click --repeat 2 --delay 80 1
wait_for 20 grep -q "image shown IMG_0001.jpg" "$log" || step "a double-click shows the photo"
sleep 0.5
shot 2-viewer-fitted
# The photo's many shades over the pane, not an empty white pane.
(( $(colours 2-viewer-fitted 780x480+10+60) > 1000 )) || step "the viewer shows the photo"

# ---- zoom: three times with the keyboard, once with the wheel ----
keys "$main" plus
keys "$main" plus
keys "$main" equal
wait_for 10 at_least "viewer zoom [0-9]" 3 || step "plus, plus and = zoom in three times (zooms: $(zooms))"
xdotool mousemove --window "$main" 400 300 click 4
wait_for 10 at_least "viewer zoom [0-9]" 4 || step "the wheel zooms in (zooms: $(zooms))"
# From fit (about 425 in this window) by steps of 1.5, 955 snapping to 1:1.
check "zoom steps" "637 1000 1500 2250 " "$(zooms)"
sleep 0.5
shot 3-viewer-zoomed

# ---- pan: a drag to the upper left moves the picture ----
drag "$main" 500 400 300 250
sleep 0.5
shot 4-viewer-panned
# The pixels of the view (less its edges) that changed by more than a trace.
for s in 3-viewer-zoomed 4-viewer-panned; do convert "$shots/viewer-$s.png" -crop 700x400+50+100 +repage "$work/$s.png"; done
changed=$(compare -metric AE -fuzz 3% "$work/3-viewer-zoomed.png" "$work/4-viewer-panned.png" null: 2>&1)
[[ "$changed" =~ ^[0-9]+$ ]] && (( changed > 20000 )) || step "the drag pans the picture ($changed pixels changed)"

# ---- the next photo, with the down key ----
keys "$main" Down
wait_for 10 grep -q "image shown IMG_0002.jpg" "$log" || step "the down key shows the next photo"
sleep 0.3

# ---- a slide show of two slides, then stopped ----
menu "$main" alt+v s
wait_for 10 grep -q "image shown IMG_0003.jpg" "$log" || step "the slide show shows the third photo"
shot 5-slide-show
wait_for 10 is_shown IMG_0001.jpg ||
    step "the slide show wraps to the first photo"
menu "$main" alt+v s
sleep 0.3
slides=$(shown_count)
shot 6-viewer-slides-stopped
sleep 2
check "no slide after the slide show stopped" "$slides" "$(shown_count)"
shown=$(last_shown)
original=$photos/$shown

# ---- the JPEG Transform dialog (Ctrl+J): a turn chosen by keys, cancelled ----
keys "$main" ctrl+j
transform=$(window_of $pid "^JPEG Transform$" "$main") || step "Ctrl+J opens the JPEG Transform dialog"
sleep 0.3
# The focus is on the first button: two tabs reach the quarter turn
# clockwise, Space chooses it, and the preview turns upright.
keys "$transform" Tab Tab space
sleep 0.5
shot 7-transform
# The preview's white square lies 11 pixels in and 61 down, 120 high.
read -r dx dy dw <<< "$(xwininfo -id "$transform" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF} /Width:/ {w=$2} END {print x, y, w}')"
turned=$(convert "$shots/viewer-7-transform.png" -crop $((dw - 22))x120+$((dx + 11))+$((dy + 61)) +repage -fuzz 4% -trim -format "%w %h" info:)
read -r tw th <<< "$turned"
(( th > tw )) || fail "Space on the third button turns the preview upright ($turned)"
keys "$transform" Escape
gone "$transform" || step "Esc closes the JPEG Transform dialog"
cmp -s "$original" "$work/before/$shown" || fail "cancelling the transform leaves the file"

# ---- editing: rotate 90, levels, a look at Resize, Save As ----
keys "$main" ctrl+e
sleep 1
shot 8-editor
menu "$main" alt+d o 9
sleep 1
shot 9-editor-rotated

keys "$main" ctrl+l
levels=$(window_of $pid "^Levels$" "$main") || step "Ctrl+L opens the Levels dialog"
# The black point slider has the focus: six pages up make it 60.
keys "$levels" Page_Up Page_Up Page_Up Page_Up Page_Up Page_Up
sleep 0.5
shot 10-levels
keys "$levels" Return
gone "$levels" || step "Enter confirms the Levels dialog"
sleep 1

keys "$main" ctrl+i
resize=$(window_of $pid "^Resize$" "$main") || step "Ctrl+I opens the Resize dialog"
sleep 0.3
shot 11-resize
keys "$resize" Escape
gone "$resize" || step "Esc closes the Resize dialog"
sleep 0.3
shot 12-editor-levelled

menu "$main" alt+d a
save=$(window_of $pid "Save" "$main") || step "Save As opens the save-file dialog"
sleep 0.5
shot 13-save-as
xdotool type --delay 60 "Levelled"
keys "$save" Return
gone "$save" || step "Enter in the save-file dialog saves"
saved=$photos/Levelled.jpg
wait_for 30 grep -q "image shown Levelled.jpg" "$log" || step "the new file is shown after Save As ($(ls "$photos" | tr '\n' ' '))"
sleep 0.5
shot 14-viewer-saved

keys "$main" Escape
# The fourth cell now holds the new file's thumbnail: no longer white, and
# standing upright (taller than wide).
read -r x y <<< "$(cell 3)"
new_thumbnail() { shot 15-browser-with-new-file; [[ "$(pixel 15-browser-with-new-file "$x" "$y")" != "255,255,255" ]]; }
wait_for 10 new_thumbnail || step "the new file's thumbnail is in the list"
sleep 0.5
shot 15-browser-with-new-file
trimmed=$(convert "$shots/viewer-15-browser-with-new-file.png" -crop 64x80+$((x - 32))+$((y - 40)) +repage -fuzz 4% -trim -format "%w %h" info:)
read -r tw th <<< "$trimmed"
(( th > tw )) || fail "the new thumbnail stands upright ($trimmed)"

# ---- on disk ----
cmp -s "$original" "$work/before/$shown" || fail "the edited photo's file is byte-identical to before"
for n in 1 2 3; do
    cmp -s "$photos/IMG_000$n.jpg" "$work/before/IMG_000$n.jpg" || fail "IMG_000$n.jpg is unchanged"
done
check "the folder's files" "IMG_0001.jpg IMG_0002.jpg IMG_0003.jpg Levelled.jpg " "$(ls "$photos" | tr '\n' ' ')"
djpeg "$saved" > "$work/saved.ppm" || fail "the new file is a valid JPEG"
check "the new file is the photo turned upright" "1200x1600" "$(identify -format %wx%h "$saved")"
# The camera's tags go with the picture; a thumbnail, if kept, is the new
# picture's (upright, and darker than the original's).
camera_tags() { exiftool -s3 -Make -Model -DateTimeOriginal -GPSLatitude -GPSLongitude "$1"; }
check "the new file keeps the camera's tags" "$(camera_tags "$original")" "$(camera_tags "$saved")"
thumbnail=$(exiftool -b -ThumbnailImage "$saved" | identify -format "%w %h" - 2> /dev/null)
if [[ -n "$thumbnail" ]]; then
    read -r tw th <<< "$thumbnail"
    (( th > tw )) || fail "the new file's Exif thumbnail is the upright picture ($thumbnail)"
fi
# The pixels are the photo turned clockwise with the black point at 60: each
# tone v becomes (v - 60) x 255 / 195. The saved file is close to that and
# far from the plain turned photo.
convert "$work/before/$shown" -rotate 90 "$work/turned.ppm"
convert "$work/turned.ppm" -level 23.5294%,100% "$work/expected.ppm"
mae() { compare -metric MAE "$1" "$2" null: 2>&1 | sed 's/.*(\(.*\))/\1/'; }
to_levels=$(mae "$work/saved.ppm" "$work/expected.ppm")
to_turned=$(mae "$work/saved.ppm" "$work/turned.ppm")
python3 -c "import sys; sys.exit(0 if $to_levels < 0.02 and $to_turned > 0.08 else 1)" ||
    fail "the new file has the levels applied (mean error $to_levels to the levelled photo, $to_turned to the plain one)"
darker=$(python3 -c "print(1 if $(convert "$saved" -format '%[fx:mean]' info:) < $(convert "$work/turned.ppm" -format '%[fx:mean]' info:) - 0.05 else 0)")
check "a higher black point darkens the photo" 1 "$darker"

# ---- the 100-megapixel photo: fitted, then 1:1 with its tiles ----
"$qelvio" '\Large\Panorama.jpg' 2> "$work/log2"
check "second instance exit status" 0 $?
wait_for 30 grep -q "image shown Panorama.jpg" "$log" || step "the large photo is shown"
sleep 1
shot 16-large-fitted
# Fitted: the red ramp runs across the whole view, dark at the left, bright
# at the right.
left=$(pixel 16-large-fitted 300 300 | cut -d, -f1)
right=$(pixel 16-large-fitted 500 300 | cut -d, -f1)
(( right > left + 20 )) || step "the large photo is shown fitted (red $left at the left, $right at the right)"
tiles=$(marks "viewer tile drawn")
menu "$main" alt+v 1
wait_for 10 grep -q "viewer zoom 1000" "$log" || step "View, 1:1 zooms to 1:1 (zooms: $(zooms))"
wait_for 30 at_least "viewer tile drawn" $((tiles + 1)) || step "tiles are drawn at 1:1"
sleep 2
shot 17-large-1to1
# For the record (not a check): the program's peak resident memory so far.
echo "peak resident memory with the 100-megapixel photo at 1:1: $(awk '/VmHWM/ {print $2, $3}' /proc/$pid/status)"
# At 1:1 in the middle of the picture the red ramp barely changes over the
# view (400 pixels are 10 steps of the ramp) and is about half way.
middle=$(pixel 17-large-1to1 400 300 | cut -d, -f1)
(( middle > 100 && middle < 155 )) || fail "the middle of the large photo at 1:1 (red $middle)"

keys "$main" Escape
sleep 0.3
keys "$main" alt+f x
wait_exit $pid
check "exit status" 0 $?
cp "$log" "$shots/viewer-trace.log"

finish "qelvio viewer scenario"
