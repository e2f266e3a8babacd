#!/usr/bin/env bash
# Beaming between two running copies on a virtual X server, as two users
# would: the sender selects two of its three camera photos (a click and a
# Ctrl+click) and chooses Send via Infrared (Alt+S); its transfer window waits
# for a receiver. The other copy, with its own device root and settings,
# shows its "My Documents" with an older photo by the name of one of them,
# and chooses Receive via Infrared (Alt+R). It is asked whether to replace
# that photo while the sender draws it red as the image in transfer; it
# answers Yes. The two photos arrive byte-identical and appear in the
# receiver's image list, the replaced one with its new thumbnail; the
# sender's window goes when it has finished; the receiver's window is hidden
# with Esc (as "Hide window") while receiving goes on, the frame's button
# shows it again, and Stop transfer ends receiving.
#
# Each copy runs with its own device root, so its folders and the places of
# its image list cells are known: the windows are 800 x 560 at the screen's
# corner (there is no window manager), one over the other. Both use the
# loopback address and a discovery port found free here.
#
# usage: qelvio_beam_scenario_test.sh QELVIO [SCREENSHOT-FOLDER]
# Exit 77 (skipped) only when a tool it drives or reads with is not installed.
set -uo pipefail

qelvio=$(realpath "$1")
shots=${2:-}
here=$(dirname "$(realpath "$0")")

source "$here/scenario.sh"
run_under_xvfb "qelvio beam scenario" "exiftool convert python3" "$0" "$@"

scenario_folders "$shots"

# The sender's three photos; the receiver holds an older, all blue photo
# by the name of the first.
sender=$work/sender receiver=$work/receiver
mkdir -p "$sender/My Documents" "$receiver/My Documents"
seed=0
for name in IMG_0001 IMG_0002 IMG_0003; do
    seed=$((seed + 1))
    photo="$sender/My Documents/$name.jpg"
    convert -size 1600x1200 plasma:fractal -seed $seed -quality 92 "$photo" 2> /dev/null
    exiftool -q -overwrite_original -Make=Canon -Model="Canon EOS D30" -GPSLatitude=47.5 -GPSLatitudeRef=N \
        "-ImageDescription=Photo $seed" "$photo"
done
older="$receiver/My Documents/IMG_0001.jpg"
convert -size 1600x1200 xc:blue -quality 92 "$older"
exiftool -q -overwrite_original -Make=Canon -Model="Canon EOS D30" "-ImageDescription=Older" "$older"
port=$(python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

shot_prefix=beam-
# One copy of the program, with its own device root, settings, cache and
# data, on the loopback address.
start_copy() {  # start_copy ROOT LOG EXTRA-ENV...
    local root=$1 log=$2
    shift 2
    mkdir -p "$root-config" "$root-cache" "$root-data" "$root-runtime"
    chmod 700 "$root-runtime"
    env QELVIO_DEVICE_ROOT="$root" XDG_CONFIG_HOME="$root-config" XDG_CACHE_HOME="$root-cache" \
        XDG_DATA_HOME="$root-data" XDG_RUNTIME_DIR="$root-runtime" QELVIO_BEAM_PORT="$port" "$@" \
        "$qelvio" '\My Documents' 2> "$log" &
}
# Pure red pixels in a part of a screenshot: an image being sent is drawn
# with a red ring.
red_pixels() {  # red_pixels SHOT GEOMETRY
    convert "$shots/$shot_prefix$1.png" -crop "$2" +repage -fill black +opaque 'rgb(255,0,0)' -fill white \
        -opaque 'rgb(255,0,0)' -format '%[fx:int(mean*w*h+0.5)]' info:
}
blue() {  # blue SHOT X Y: true when the point is (nearly) pure blue
    local r g b
    IFS=, read -r r g b <<< "$(pixel "$@")"
    (( r < 40 && g < 40 && b > 200 ))
}
received_count() { grep -c "beamed image received" "$work/receive.log"; }
both_received() { (( $(received_count) >= 2 )); }

scenario_logs=("$work/send.log" "$work/receive.log")

# ---- the sender: two photos selected, Send via Infrared ----
start_copy "$sender" "$work/send.log" QELVIO_BEAM_PEERS=127.0.0.1
send_pid=$!
send_main=$(window_of $send_pid "^Qelvio Mobile$") || step "the sender's main window appears"
wait_for 20 grep -q "folder listed 3" "$work/send.log" || step "the sender's three photos are listed"
wait_for 20 grep -q "visible thumbnails drawn" "$work/send.log" || step "the sender's thumbnails are drawn"
select_cells "$send_main" 0 2
sleep 0.3
keys "$send_main" alt+s
send_window=$(window_of $send_pid "^Infrared Send$" "$send_main") || step "Alt+S opens the Infrared Send window"
sleep 0.5
shot 1-sender-waiting

# ---- the receiver: Receive via Infrared ----
start_copy "$receiver" "$work/receive.log" QELVIO_BEAM_LISTEN=127.0.0.1
receive_pid=$!
receive_main=$(window_of $receive_pid "^Qelvio Mobile$") || step "the receiver's main window appears"
wait_for 20 grep -q "folder listed 1" "$work/receive.log" || step "the receiver's older photo is listed"
wait_for 20 grep -q "visible thumbnails drawn" "$work/receive.log" || step "the receiver's thumbnail is drawn"
sleep 0.3
shot 2-receiver-before
read -r x y <<< "$(cell 0)"
blue 2-receiver-before "$x" "$y" || fail "the receiver's list shows its older, blue IMG_0001"
# A click makes its window the active one; then Alt+R.
click "$receive_main" 600 300
keys "$receive_main" alt+r
receive_window=$(window_of $receive_pid "^Infrared Receive$" "$receive_main") || step "Alt+R opens the Infrared Receive window"

# IMG_0001 exists on the receiver: it is asked whether to replace it, and
# the sender holds the file in transfer meanwhile, drawn red in its list.
question=$(window_of $receive_pid "^Qelvio Mobile$" "$receive_main") || step "the receiver is asked about IMG_0001"
xdotool windowraise "$send_main"
xdotool windowraise "$send_window"
sleep 0.5
shot 3-sender-sending
# The top of the sender's first cell, above its transfer window.
(( $(red_pixels 3-sender-sending 72x24+$((list_x + 4))+$((pane_y + 4))) > 20 )) ||
    fail "the sender's IMG_0001 is drawn red while it is sent"
check "the sender's IMG_0002 is not drawn red" 0 "$(red_pixels 3-sender-sending 72x24+$((list_x + 4 + 72))+$((pane_y + 4)))"
xdotool windowraise "$question"
sleep 0.3
shot 4-receiver-question
keys "$question" Return  # Yes, the default button
wait_for 60 both_received || step "the two photos arrive (seen $(received_count))"
gone "$send_window" || step "the sender's window goes when it has finished"

for name in IMG_0001 IMG_0003; do
    cmp -s "$sender/My Documents/$name.jpg" "$receiver/My Documents/$name.jpg" || fail "$name arrives byte-identical"
done
check "the receiver's folder holds the two photos" "IMG_0001.jpg IMG_0003.jpg" \
    "$(ls "$receiver/My Documents" | tr '\n' ' ' | sed 's/ $//')"
check "no partial file is left" "" "$(ls "$receiver/Program Files/Qelvio/Temporary IR Directory" 2> /dev/null)"
check "the received photo keeps its camera tags" "Canon EOS D30 Photo 3" \
    "$(exiftool -s3 -Model -ImageDescription "$receiver/My Documents/IMG_0003.jpg" | tr '\n' ' ' | sed 's/ $//')"

# ---- the receiver's window, hidden; its list; shown again; stopped ----
xdotool windowraise "$receive_main"
xdotool windowraise "$receive_window"
sleep 0.5
shot 5-receiver-done
# Esc (as Hide window) hides the window; receiving goes on, and the frame's
# button that shows the window stands on the command bar.
keys "$receive_window" Escape
gone "$receive_window" || step "Esc hides the transfer window"
wait_for 10 grep -q "infrared window mode 2, hidden" "$work/receive.log" || step "the receiver goes on receiving, its window hidden"
sleep 0.5
shot 6-receiver-list
for i in 0 1; do
    read -r x y <<< "$(cell $i)"
    [[ "$(pixel 6-receiver-list "$x" "$y")" != "255,255,255" ]] || fail "cell $i of the receiver's list shows a photo"
done
read -r x y <<< "$(cell 0)"
! blue 6-receiver-list "$x" "$y" || fail "the replaced IMG_0001 shows its new thumbnail"
read -r x y <<< "$(cell 2)"
check "the receiver's third cell is empty" "255,255,255" "$(pixel 6-receiver-list "$x" "$y")"
# The command bar's second button (32903) shows the window again.
click "$receive_main" 47 33
receive_window=$(window_of $receive_pid "^Infrared Receive$" "$receive_main") || step "the command bar's button shows the window again"
# Tab from Skip this file to Stop transfer, Space presses it.
keys "$receive_window" Tab space
wait_for 10 grep -q "infrared window mode 0, hidden" "$work/receive.log" || step "Stop transfer ends receiving"
gone "$receive_window" || step "the window goes when the transfer stops"
shot 7-receiver-stopped
keys "$receive_main" alt+f x
wait_exit $receive_pid || fail "the receiver exits cleanly"
keys "$send_main" alt+f x
wait_exit $send_pid || fail "the sender exits cleanly"

finish "qelvio beam scenario"
