#!/usr/bin/env bash
# A new user's first session with qelvio, on a virtual X server: start it on
# a folder, see the frame with the folder's images, open Options and change
# the slide interval, look at the About box, exit; start again and find the
# interval kept; start a second qelvio with a file and see the first one open
# it. Keys go in through xdotool, screenshots come out through ImageMagick's
# import, and every result is checked on disk (the profile's values, the
# program's exit, its timing trace).
#
# usage: qelvio_scenario_test.sh QELVIO QELVIO-CLI [SCREENSHOT-FOLDER]
# Exit 77 (skipped) only when xvfb-run or xdotool is not installed.
set -uo pipefail

qelvio=$(realpath "$1")
cli=$(realpath "$2")
shots=${3:-}
here=$(dirname "$(realpath "$0")")

source "$here/scenario.sh"
run_under_xvfb "qelvio scenario" "" "$0" "$@"

scenario_folders "$shots"

# The pictures: three images made by ImageMagick, a text file, a subfolder
# with one more image.
pictures=$work/Pictures
mkdir -p "$pictures/Holiday"
convert -size 320x240 gradient:red-blue "$pictures/Beach.jpg"
convert -size 200x200 plasma:fractal -seed 3 "$pictures/Clouds.gif" 2> /dev/null || convert -size 200x200 xc:skyblue "$pictures/Clouds.gif"
convert -size 160x120 xc:green "$pictures/Grass.bmp"
echo "shopping list" > "$pictures/notes.txt"
convert -size 300x200 gradient:yellow-purple "$pictures/Holiday/Sunset.jpg"

scenario_logs=("$work/log1" "$work/log2")

colours() { convert "$1" -format %k info:; }

setting() { "$cli" settings get "$1" "$2"; }

# ---- First start, on the folder ----
"$qelvio" "$pictures" 2> "$work/log1" &
pid=$!
main=$(window_of $pid "^Qelvio Mobile$") || step "the main window appears"
shown "$work/log1" || step "the trace says the window was shown"
grep -q "folder listed 3" "$work/log1" || step "the folder's three images are listed"
sleep 0.5
import -window root "$shots/browser.png"
# A frame with menus, buttons, panes and names, not an empty window.
(( $(colours "$shots/browser.png") > 20 )) || step "the browser screenshot shows the frame"
geometry=$(xwininfo -id "$main" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
check "window size" "800x560" "$geometry"

# Options: Alt+O, three tabs to the delay, a new value, Enter for OK.
keys "$main" alt+o
options=$(window_of $pid "^Options$" "$main") || step "Alt+O opens the Options sheet"
sleep 0.3
import -window root "$shots/options.png"
keys "$options" Tab Tab Tab ctrl+a 4 period 5 Return
gone "$options" || step "Enter confirms the Options sheet"

# The About box from the File menu.
keys "$main" alt+f a
about=$(window_of $pid "^About Qelvio Mobile$" "$main") || step "File, About opens the About box"
sleep 0.3
import -window root "$shots/about.png"
keys "$about" Return
gone "$about" || step "Enter closes the About box"

# Exit from the File menu; the settings are written at exit.
keys "$main" alt+f x
wait_exit $pid
check "first exit status" 0 $?
check "slide interval saved" "4.5" "$(setting viewer slide_interval)"
check "last folder saved" "file:\\\\\\$(echo "$pictures" | tr / '\\' | sed 's/^\\//')" "$(setting browser lastdirectory)"

# ---- Second start, without a path: the remembered folder ----
"$qelvio" 2> "$work/log2" &
pid=$!
main=$(window_of $pid "^Qelvio Mobile$") || step "the main window appears again"
shown "$work/log2" || step "the trace says the window was shown again"
grep -q "folder listed 3" "$work/log2" || step "the remembered folder is opened"
# The sheet shows the kept value; cancelling it leaves it, and the exit
# below writes back what was loaded.
keys "$main" alt+o
options=$(window_of $pid "^Options$" "$main") || step "Alt+O opens the Options sheet again"
keys "$options" Escape
gone "$options" || step "Esc cancels the Options sheet"

# ---- A second qelvio with a file hands it to the running one ----
"$qelvio" "$pictures/Holiday/Sunset.jpg" 2> "$work/log3"
check "second instance exit status" 0 $?
for _ in $(seq 50); do grep -q "image shown Sunset.jpg" "$work/log2" && break; sleep 0.1; done
grep -q "open request" "$work/log2" || step "the running program gets the open request"
grep -q "image shown Sunset.jpg" "$work/log2" || step "the running program shows the handed file"
xdotool search --pid $(pgrep -f "qelvio $pictures/Holiday" || echo 1) > /dev/null 2>&1 && fail "the second instance opened no window"
sleep 0.5
import -window root "$shots/viewer.png"
# The viewer shows the yellow-to-purple picture: at its middle row the
# gradient is half way, about (191, 128, 64).
centre=$(convert "$shots/viewer.png" -crop 1x1+400+300 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:)
IFS=, read -r red green blue <<< "$centre"
(( red > 160 && red < 220 && green > 98 && green < 158 && blue > 34 && blue < 94 )) || fail "the viewer shows the picture (centre pixel $centre)"

# Esc goes back to the browser; Exit ends the program.
keys "$main" Escape
sleep 0.3
import -window root "$shots/back.png"
keys "$main" alt+f x
wait_exit $pid
check "second exit status" 0 $?
check "slide interval kept" "4.5" "$(setting viewer slide_interval)"
check "last folder follows the handed file" \
    "file:\\\\\\$(echo "$pictures/Holiday" | tr / '\\' | sed 's/^\\//')" "$(setting browser lastdirectory)"
grep -q "window shown" "$work/log1" || fail "the timing trace names the window shown"

finish "qelvio scenario"
