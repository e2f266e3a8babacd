#!/usr/bin/env bash
# qelvio without a display, as `make run` uses it there: offscreen, it saves
# a picture of its window on a folder (QELVIO_SCREENSHOT) and exits; the
# timing trace (QELVIO_TIMING=1) names its milestones in order; the exit
# writes the settings.
#
# usage: qelvio_offscreen_test.sh QELVIO QELVIO-CLI
set -uo pipefail
qelvio=$(realpath "$1")
cli=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
source "$here/checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY WAYLAND_DISPLAY QELVIO_CONFIG_DIR QELVIO_DEVICE_ROOT
export LSAN_OPTIONS="suppressions=$here/lsan_qt.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

mkdir -p "$work/Pictures/Old"
convert -size 64x48 xc:orange "$work/Pictures/one.jpg"
convert -size 64x48 xc:teal "$work/Pictures/two.tif"

# Without a display and without the offscreen platform it says so.
"$qelvio" "$work/Pictures" 2> "$work/nodisplay"
check "exit without a display" 1 $?
grep -q "no display" "$work/nodisplay" || fail "it says there is no display"

QT_QPA_PLATFORM=offscreen QELVIO_TIMING=1 QELVIO_SCREENSHOT=$work/shot.png "$qelvio" "$work/Pictures" 2> "$work/trace"
check "exit status" 0 $?
check "screenshot size" "800x560" "$(identify -format %wx%h "$work/shot.png" 2> /dev/null)"
# The names of both images are drawn: the picture is more than one colour.
(( $(convert "$work/shot.png" -format %k info:) > 10 )) || fail "the screenshot shows the frame"
# Each milestone's name, without its figures.
milestones=$(awk '$1 == "qelvio-timing:" {$1 = $2 = ""; sub(/^ +/, ""); sub(/ [0-9].*$/, ""); print}' "$work/trace" | tr '\n' ';')
check "milestones in order" \
    "process started;folder opening;folder listed;window shown;frame painted;first cells drawn;visible thumbnails drawn;event loop lateness max;exited;" \
    "$milestones"
grep -q "folder listed 2" "$work/trace" || fail "the trace counts the folder's two images"
# Milliseconds since the process started only grow.
awk '$1 == "qelvio-timing:" {if ($2 + 0 < last) bad = 1; last = $2 + 0} END {exit bad}' "$work/trace" ||
    fail "the trace's times grow"
check "settings written at exit" "file:\\\\\\$(echo "$work/Pictures" | tr / '\\' | sed 's/^\\//')" \
    "$("$cli" settings get browser lastdirectory)"
finish "qelvio offscreen"
