#!/usr/bin/env bash
# A user's round in the browser, on a virtual X server: open a folder of
# camera photos, switch the three view modes, sort by size, select the two
# smallest photos with a rubber band, copy them, make a folder in the tree
# and name it, open it and paste, rename the copies Trip01 and Trip02, delete
# one. Every step is checked on disk (names and bytes) and leaves a
# screenshot.
#
# The program runs with a device root, so the folder tree shows only the
# scenario's own folders and their places on the screen are known: the
# window is 800 x 560 at the screen's corner (there is no window manager),
# the panes start 50 pixels down, the image list 407 pixels across.
#
# usage: qelvio_browser_scenario_test.sh QELVIO QELVIO-CLI [SCREENSHOT-FOLDER]
# Exit 77 (skipped) only when xvfb-run or xdotool is not installed.
set -uo pipefail

qelvio=$(realpath "$1")
cli=$(realpath "$2")
shots=${3:-}
here=$(dirname "$(realpath "$0")")

source "$here/scenario.sh"
run_under_xvfb "qelvio browser scenario" "exiftool" "$0" "$@"

scenario_folders "$shots"
export QELVIO_DEVICE_ROOT=$work/device

# Four camera photos of different sizes, with the camera's make and model,
# a description and an Exif thumbnail.
photos=$QELVIO_DEVICE_ROOT/Photos
mkdir -p "$photos"
convert -size 160x120 xc:gray "$work/thumb.jpg"
for i in 1 2 3 4; do
    convert -size $((400 + i * 100))x$((300 + i * 75)) plasma:fractal -seed $i -quality $((60 + i * 8)) \
        "$photos/IMG_000$i.jpg" 2> /dev/null
done
exiftool -q -overwrite_original -Make=Canon -Model="Canon EOS D30" -ImageDescription="Harbour at dawn" \
    "-ThumbnailImage<=$work/thumb.jpg" "$photos"/*.jpg
# By size the two smallest are IMG_0001 and IMG_0002 (the lowest quality
# on the smallest pictures).
smallest=$(ls -S -r "$photos" | head -2 | tr '\n' ' ')
check "the two smallest photos" "IMG_0001.jpg IMG_0002.jpg " "$smallest"

scenario_logs=("$work/log")

shot_prefix=browser-

listing() { (cd "$1" && ls -1 | tr '\n' ' '); }

"$qelvio" '\Photos' 2> "$work/log" &
pid=$!
main=$(window_of $pid "^Qelvio Mobile$") || step "the main window appears"
wait_for 20 grep -q "folder listed 4" "$work/log" || step "the folder's four photos are listed"
wait_for 20 grep -q "visible thumbnails drawn" "$work/log" || step "the visible thumbnails are drawn"
sleep 0.3
shot 1-thumbnails
# A cell's middle shows the photo, not the white of an empty pane.
read -r x y <<< "$(cell 0)"
middle=$(convert "$shots/browser-1-thumbnails.png" -crop 1x1+$x+$((y - 10)) -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:)
[[ "$middle" != "255,255,255" ]] || fail "the first cell shows a thumbnail"

# The three view modes from the View menu, back to thumbnails.
keys "$main" alt+v d
sleep 0.5
shot 2-details
keys "$main" alt+v plus
sleep 0.5
shot 3-thumbs-details
keys "$main" alt+v t
sleep 0.5
# Each mode draws differently.
[[ "$(md5sum < "$shots/browser-2-details.png")" != "$(md5sum < "$shots/browser-3-thumbs-details.png")" ]] ||
    fail "details and thumbs + details differ on the screen"

# Sort by size (View, Sort, by Size): the two smallest come first.
keys "$main" alt+v o s
sleep 0.5
shot 4-by-size

# A rubber band from the empty space below the row up over the first two
# cells selects those two.
read -r x0 y0 <<< "$(cell 1)"
drag "$main" $((x0 + 30)) $((y0 + 90)) $((list_x + 10)) $((pane_y + 20))
sleep 0.3
shot 5-two-selected
keys "$main" ctrl+c

# Edit, Folder, Create New makes "New Folder" in the shown folder with its
# name open for typing; "Trip" and Enter name it. (Alt+E is the key of Send
# via E-Mail, so the menu is opened with the pointer.)
click "$main" 56 8
sleep 0.5
xdotool key --delay 100 f n
wait_for 10 test -d "$photos/New Folder" || step "Create New makes New Folder on disk"
sleep 0.3
xdotool type --delay 60 Trip
xdotool key Return
wait_for 10 test -d "$photos/Trip" || step "the typed name renames New Folder to Trip"
[[ -e "$photos/New Folder" ]] && fail "no New Folder is left"
sleep 0.3
shot 6-new-folder

# The tree shows My Device, Photos, Trip below it: a click on Trip opens it
# in the list, and Paste copies the two photos there.
click "$main" 75 $((pane_y + 35))
sleep 1
shot 7-trip-open
keys "$main" ctrl+v
wait_for 10 test -f "$photos/Trip/IMG_0002.jpg" || step "Paste copies the two photos into Trip"
check "pasted photos" "IMG_0001.jpg IMG_0002.jpg " "$(listing "$photos/Trip")"
for f in IMG_0001.jpg IMG_0002.jpg; do
    cmp -s "$photos/$f" "$photos/Trip/$f" || fail "$f is copied byte for byte"
done
check "originals stay" "IMG_0001.jpg IMG_0002.jpg IMG_0003.jpg IMG_0004.jpg Trip " "$(listing "$photos")"
sleep 0.5
shot 8-pasted

# Select both, Rename (Ctrl+R), the name Trip with two digits.
keys "$main" ctrl+a ctrl+r
rename=$(window_of $pid "^Rename$" "$main") || step "Ctrl+R opens the Rename dialog"
sleep 0.3
shot 9-rename
keys "$rename" ctrl+a
xdotool type --delay 60 Trip
xdotool key Return
wait_for 10 test -f "$photos/Trip/Trip02.jpg" || step "Rename names the copies Trip01 and Trip02"
check "renamed copies" "Trip01.jpg Trip02.jpg " "$(listing "$photos/Trip")"
cmp -s "$photos/IMG_0001.jpg" "$photos/Trip/Trip01.jpg" || fail "Trip01 is the first photo in list order"
cmp -s "$photos/IMG_0002.jpg" "$photos/Trip/Trip02.jpg" || fail "Trip02 is the second photo in list order"
sleep 0.5
shot 10-renamed

# A click selects the first one alone; Del asks, and Yes deletes it.
read -r x y <<< "$(cell 0)"
click "$main" "$x" "$y"
sleep 0.3
keys "$main" Delete
question=$(window_of $pid "." "$main") || step "Del asks before deleting"
sleep 0.3
shot 11-delete-question
keys "$question" y
wait_for 10 test ! -e "$photos/Trip/Trip01.jpg" || step "Yes deletes the selected photo"
check "after the delete" "Trip02.jpg " "$(listing "$photos/Trip")"
sleep 0.5
shot 12-deleted

keys "$main" alt+f x
wait_exit $pid
check "exit status" 0 $?
check "the originals are untouched" "IMG_0001.jpg IMG_0002.jpg IMG_0003.jpg IMG_0004.jpg Trip " "$(listing "$photos")"
check "sort key kept" 2 "$("$cli" settings get browser sortmode)"

finish "qelvio browser scenario"
