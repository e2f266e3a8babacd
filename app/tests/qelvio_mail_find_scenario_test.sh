#!/usr/bin/env bash
# A user's round with Send via E-Mail and Find, on a virtual X server: select
# two camera photos, send them by e-mail reduced to "Small" (Alt+E), read the
# stored outbox message with Python's e-mail parser and the attachments with
# identify; then Find a photo by a word of its description through a folder
# with subfolders (Ctrl+F, "Search subfolders"), Find Next twice, past the
# last match to the question, start again from the top. After each Find the
# selected cell (its colour 0,0,120) and the folder the tree highlights are
# read from a screenshot; the folder shown last is read from the settings
# written at exit.
#
# The program runs with a device root, so the folder tree shows only the
# scenario's own folders and their places on the screen are known: the
# window is 800 x 560 at the screen's corner (there is no window manager),
# the panes start 50 pixels down, the image list 407 pixels across, tree rows
# 14 pixels apart from y 57.
#
# usage: qelvio_mail_find_scenario_test.sh QELVIO QELVIO-CLI [SCREENSHOT-FOLDER]
# Exit 77 (skipped) only when a tool it drives or reads with is not installed.
set -uo pipefail

qelvio=$(realpath "$1")
cli=$(realpath "$2")
shots=${3:-}
here=$(dirname "$(realpath "$0")")
reader=$here/../../sharing/mail/tests/read_outbox.py

source "$here/scenario.sh"
run_under_xvfb "qelvio mail and find scenario" "exiftool identify python3" "$0" "$@"

scenario_folders "$shots"
export QELVIO_DEVICE_ROOT=$work/device QELVIO_MAILDIR=$work/Maildir EMAIL=tester@example.org

# Camera photos with descriptions, in a folder with subfolders:
#   Photos/         harbour_map (the word in its name only), IMG_0001, IMG_0002
#                   (1600 x 1200, the two sent), IMG_0003 ("Harbour at dawn")
#   Photos/Archive  no match
#   Photos/Boats    IMG_0101 ("Boats in the HARBOUR")
#   Photos/Boats/Wall  IMG_0201 ("harbour wall"), IMG_0202
#   Photos/Zoo      no match
photos=$QELVIO_DEVICE_ROOT/Photos
mkdir -p "$photos/Archive" "$photos/Boats/Wall" "$photos/Zoo"
seed=0
photo() {  # photo RELATIVE-PATH SIZE DESCRIPTION
    seed=$((seed + 1))
    convert -size "$2" plasma:fractal -seed $seed -quality 90 "$photos/$1" 2> /dev/null
    exiftool -q -overwrite_original -Make=Canon -Model="Canon EOS D30" "-ImageDescription=$3" "$photos/$1"
}
photo harbour_map.jpg 640x480 "Street map of the old town"
photo IMG_0001.jpg 1600x1200 "Market day"
photo IMG_0002.jpg 1600x1200 "Fish market"
photo IMG_0003.jpg 640x480 "Harbour at dawn"
photo Archive/IMG_0401.jpg 640x480 "Sunset over the bay"
photo Boats/IMG_0101.jpg 640x480 "Boats in the HARBOUR"
photo Boats/Wall/IMG_0201.jpg 640x480 "harbour wall"
photo Boats/Wall/IMG_0202.jpg 640x480 "Gulls"
photo Zoo/IMG_0301.jpg 640x480 "Penguins"
(cd "$photos" && find . -type f -exec md5sum {} + | sort) > "$work/photos.md5"

scenario_logs=("$work/log")

shot_prefix=mailfind-

# What the screen shows: the cells of the list's first row (s selected, - not
# selected, . empty) and the tree row that is highlighted, e.g. "---s. 1".
# A selected cell's margin above its thumbnail is 0,0,120; an empty place is
# the list's white. The tree's highlighted row is grey from its left edge.
# One screenshot, its pixels read by one convert.
seen() {
    local file=$work/seen.png format="" i row out="" colours
    import -window root "$file"
    for i in 0 1 2 3 4; do
        format+="%[fx:int(255*p{$((list_x + 4 + i * 72 + 3)),$((pane_y + 4 + 5))}.r+0.5)],"
        format+="%[fx:int(255*p{$((list_x + 4 + i * 72 + 3)),$((pane_y + 4 + 5))}.g+0.5)],"
        format+="%[fx:int(255*p{$((list_x + 4 + i * 72 + 3)),$((pane_y + 4 + 5))}.b+0.5)] "
    done
    for row in 0 1 2 3 4 5 6 7 8; do
        format+="%[fx:int(255*p{3,$((57 + row * 14))}.r+0.5)],%[fx:int(255*p{3,$((57 + row * 14))}.g+0.5)],"
        format+="%[fx:int(255*p{3,$((57 + row * 14))}.b+0.5)] "
    done
    read -r -a colours <<< "$(convert "$file" -format "$format" info:)"
    for i in 0 1 2 3 4; do
        case "${colours[i]}" in
            0,0,120) out+=s ;;
            255,255,255) out+=. ;;
            *) out+=- ;;
        esac
    done
    for row in 0 1 2 3 4 5 6 7 8; do
        if [[ "${colours[5 + row]}" != 255,255,255 ]]; then
            echo "$out $row"
            return
        fi
    done
    echo "$out none"
}

sees() {  # sees EXPECTED: true once the screen shows it
    [[ "$(seen)" == "$1" ]]
}

"$qelvio" '\Photos' 2> "$work/log" &
pid=$!
main=$(window_of $pid "^Qelvio Mobile$") || step "the main window appears"
wait_for 20 grep -q "folder listed 4" "$work/log" || step "the folder's four photos are listed"
wait_for 20 grep -q "visible thumbnails drawn" "$work/log" || step "the visible thumbnails are drawn"
sleep 0.3
shot 1-photos

# ---- Send via E-Mail ----
# A click on IMG_0001 and a Ctrl+click on IMG_0002 select the two.
select_cells "$main" 1 2
wait_for 10 sees "-ss-. 1" || step "a click and a Ctrl+click select IMG_0001 and IMG_0002 (seen: $(seen))"

# Alt+E: the E-mail window, the To field first; Tab goes to the subject (its
# text selected), the message, the attached images, the reduction.
keys "$main" alt+e
mail=$(window_of $pid "^E-mail$" "$main") || step "Alt+E opens the E-mail window"
keys "$mail" a n n at e x a m p l e period o r g Tab
xdotool type --delay 40 "Harbour photos"
xdotool key Tab
xdotool type --delay 40 "Two from the harbour"
# S picks "Small (.5 mpixel)" in the reduction list.
xdotool key --delay 100 Tab Tab s
sleep 0.5
shot 2-email-dialog
xdotool key Return
gone "$mail" || step "OK closes the E-mail window"
# The reduced copies are made (a "Progress" window may show meanwhile),
# the message is stored and a message box confirms it.
wait_for 60 compgen -G "$QELVIO_MAILDIR/.Outbox/new/*" > /dev/null || step "a message arrives in the outbox"
note=$(window_of $pid "^Qelvio Mobile$" "$main") || step "a note says the message is stored"
sleep 0.3
shot 3-stored-note
keys "$note" Return
gone "$note" || step "Enter closes the note"

check "outbox: one message in new/, none in tmp/" "1 0" \
    "$(ls "$QELVIO_MAILDIR/.Outbox/new" | wc -l) $(ls "$QELVIO_MAILDIR/.Outbox/tmp" | wc -l)"
mkdir -p "$work/parts"
parsed=$(python3 "$reader" "$QELVIO_MAILDIR"/.Outbox/new/* "$work/parts")
check "outbox: the message as Python's e-mail parser reads it" \
    $'defects\t0\nfrom\ttester@example.org\nto\tann@example.org\nsubject\tHarbour photos\ndate\tyes\nmessage-id\tyes\nbody\tutf-8\tTwo from the harbour\nattachment\t1\tIMG_0001.jpg\timage/jpeg\tbase64\nattachment\t2\tIMG_0002.jpg\timage/jpeg\tbase64' \
    "$parsed"
for n in 1 2; do
    check "attachment $n: Small gives 576x432 at quality 50" "JPEG 576x432 50" \
        "$(identify -format '%m %wx%h %Q' "$work/parts/$n" 2>&1)"
done
# The reduced copies keep the camera's description.
check "attachments keep their descriptions" "Market day|Fish market" \
    "$(exiftool -s3 -ImageDescription "$work/parts/1")|$(exiftool -s3 -ImageDescription "$work/parts/2")"
check "no reduced copies left in the device's temporary folder" "" \
    "$(ls -A "$QELVIO_DEVICE_ROOT/Windows/Temp" 2> /dev/null)"

# ---- Find and Find Next ----
# Ctrl+F: the Find images window, the file name field first; Tab to the
# words, then past the size fields and "Select found images" to "Search
# subfolders", which Space checks.
keys "$main" ctrl+f
find=$(window_of $pid "^Find images$" "$main") || step "Ctrl+F opens the Find images window"
keys "$find" Tab
xdotool type --delay 40 harbour
xdotool key --delay 100 Tab Tab Tab Tab space
sleep 0.5
shot 4-find-dialog
xdotool key Return
gone "$find" || step "OK closes the Find images window"
# harbour_map is named, not described, so: the first match is IMG_0003 in
# Photos itself (tree row 1), selected alone.
wait_for 20 sees "---s. 1" || step "Find selects IMG_0003 alone in Photos (seen: $(seen))"
shot 5-found-photos

# Find Next goes past Archive into Boats (row 3; the word in capitals), then
# into Boats/Wall (row 4, below Boats), the first of its two photos.
keys "$main" ctrl+n
wait_for 20 sees "s.... 3" || step "Find Next shows IMG_0101 in Boats (seen: $(seen))"
shot 6-found-boats
keys "$main" ctrl+n
wait_for 20 sees "s-... 4" || step "Find Next shows IMG_0201 in Boats/Wall (seen: $(seen))"
shot 7-found-wall

# Past the last match (Zoo has none) the walk shows Photos again, nothing
# selected, and asks whether to start again from the top; Yes finds IMG_0003
# again, one more Find Next Boats. (The question is looked for once Photos
# is back: the "Searching..." window of a slow walk has the same title.)
keys "$main" ctrl+n
wait_for 30 sees "----. 1" || step "past the last match Photos is shown again (seen: $(seen))"
question=$(window_of $pid "^Qelvio Mobile$" "$main") || step "Find Next past the last match asks to start again"
sleep 0.3
shot 8-start-again
keys "$question" y
gone "$question" || step "Yes closes the question"
wait_for 20 sees "---s. 1" || step "starting again selects IMG_0003 in Photos (seen: $(seen))"
keys "$main" ctrl+n
wait_for 20 sees "s.... 3" || step "then Find Next shows IMG_0101 in Boats again (seen: $(seen))"

keys "$main" alt+f x
wait_exit $pid
check "exit status" 0 $?
check "the list shows Boats at exit" 'file:\\\Photos\Boats' "$("$cli" settings get browser lastdirectory)"
check "the recipient is remembered" "ann@example.org" "$("$cli" settings get emaildlg to0)"
check "the reduction is remembered" 2 "$("$cli" settings get emaildlg resolution)"
check "the words are remembered" "harbour" "$("$cli" settings get finddlg md0)"
check "the photos are untouched" "$(cat "$work/photos.md5")" "$(cd "$photos" && find . -type f -exec md5sum {} + | sort)"

finish "qelvio mail and find scenario"
