#!/usr/bin/env bash
# The viewer's speed under a virtual X server, from the program's timing
# trace (QELVIO_TIMING=1) while xdotool drives it as a user would:
#   1. a folder of 4000 x 3000 JPEGs: the Down key to the next image drawn,
#      when it was read ahead, when its read-ahead was still running (rare:
#      the 250 ms key limit mostly leaves it time to end), and when it was
#      not read ahead (Up, against the direction of travel);
#   2. a 100-megapixel baseline JPEG: opened fitted, then 1:1 (View menu):
#      the first tile and all visible tiles drawn; the paint time of each
#      frame while panning over decoded tiles; the peak resident memory
#      (VmHWM) against the tile budget plus 200 MB;
#   3. the Levels dialog on a 4000 x 3000 image being edited (Ctrl+E, then
#      Ctrl+L): the time from a key on the focused slider to the preview
#      repainted, per change.
#
# usage: bench/viewer_speed.sh QELVIO [TRACE-FOLDER]
#   the program's traces, and screenshots of the 1:1 view and the Levels
#   dialog, are kept in TRACE-FOLDER when given.
set -euo pipefail
if [[ "${QELVIO_BENCH_INNER:-}" != 1 ]]; then
    for tool in xvfb-run xdotool cjpeg cc; do
        command -v "$tool" > /dev/null || { echo "$tool is not installed (scripts/setup.sh installs it)"; exit 1; }
    done
    export QELVIO_BENCH_INNER=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$0" "$@"
fi
qelvio=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
keep=${2:+$(realpath "$2")}
finish() {
    kill $(jobs -p) 2> /dev/null || true
    wait || true
    [[ -z "$keep" ]] || cp "$work"/trace.* "$keep"/
    rm -rf "$work"
}
trap finish EXIT
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QELVIO_CONFIG_DIR QELVIO_DEVICE_ROOT QT_QPA_PLATFORM
export QELVIO_TIMING=1

# ---- pictures: photographic texture (bench/textured_ppm.c) through cjpeg ----
cc -O2 -o "$work/textured_ppm" "$here/textured_ppm.c" -lm
mkdir -p "$work/photos" "$work/huge" "$work/one"
"$work/textured_ppm" 4000 3000 | cjpeg -quality 90 -outfile "$work/photos/IMG_0001.jpg"
for i in 2 3 4 5 6 7 8 9; do cp "$work/photos/IMG_0001.jpg" "$work/photos/IMG_000$i.jpg"; done
cp "$work/photos/IMG_0001.jpg" "$work/one/IMG_0001.jpg"
"$work/textured_ppm" 10000 10000 | cjpeg -quality 85 -outfile "$work/huge/BIG_0001.jpg"

# ---- driving the program ----
trace=
marks() { awk -v m="$1" 'index($0, "qelvio-timing: ") == 1 && index($0, " " m) {print $2}' "$trace"; }
count() { marks "$1" | wc -l; }
wait_count() {  # wait_count MARK N [SECONDS]: until the trace has N such marks
    local limit=$(( ${3:-30} * 10 ))
    for _ in $(seq "$limit"); do
        (( $(count "$1") >= $2 )) && return 0
        sleep 0.1
    done
    echo "  (no \"$1\" number $2 in the trace)" >&2
    return 1
}
start() {  # start FOLDER: runs qelvio on it, sets pid, main and trace
    trace=$work/trace.$(basename "$1")
    "$qelvio" "$1" 2> "$trace" &
    pid=$!
    wait_count "folder listed" 1
    main=
    for _ in $(seq 100); do
        main=$(xdotool search --onlyvisible --pid "$pid" --name "^Qelvio Mobile$" 2> /dev/null | tail -1) && [[ -n "$main" ]] && break
        sleep 0.1
    done
    sleep 1
}
focus() { xdotool windowfocus --sync "$main" 2> /dev/null || xdotool windowfocus "$main"; sleep 0.2; }
open_first() {  # the first cell of the list, then Enter: the viewer
    xdotool mousemove --window "$main" $((407 + 4 + 36)) $((50 + 4 + 42)) click 1
    sleep 0.3
    focus
    xdotool key Return
    wait_count "viewer image drawn" 1
}
shot() { [[ -z "$keep" ]] || import -window root "$keep/$1.png"; }
stop() { kill "$pid" 2> /dev/null || true; wait "$pid" 2> /dev/null || true; }
# The time from each mark A to the first mark B after it (patterns).
pairs() {  # pairs A B
    awk -v a=" $1" -v b=" $2" 'index($0, "qelvio-timing: ") != 1 {next}
        $0 ~ a && !open {t = $2; open = 1; next}
        $0 ~ b && open {printf "%.1f\n", $2 - t; open = 0}' "$trace"
}
painted() { awk -v k="$1" '$3 == "viewer" && $4 == "painted" && $6 == k {print $5}' "$trace"; }
stats() {  # min / median / max of numbers on stdin
    sort -n | awk '{v[NR] = $1} END {if (!NR) {print "none"; exit}
        printf "min %.1f  median %.1f  max %.1f  (%d)\n", v[1], (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2, v[NR], NR}'
}

echo "qelvio viewer speed under Xvfb 1024x768x24, $(nproc) cores (ms)"

# ---- 1. next image ----
start "$work/photos"
open_first
first=$(pairs "viewer showing" "viewer image drawn" | head -1)
# Down after the read-ahead is done, five times.
for n in 1 2 3 4 5; do
    wait_count "viewer read ahead" "$n" 30 || true
    sleep 0.3
    xdotool key Down
    wait_count "viewer image drawn" $((n + 1))
done
# Down as soon as the key limit (250 ms) allows, perhaps while the
# read-ahead still runs; then Up (not read ahead).
sleep 0.26
xdotool key Down
wait_count "viewer image drawn" 7
sleep 1.5
xdotool key Up
wait_count "viewer image drawn" 8
sleep 0.5
# Each key's way to the picture, by how the image was found.
awk 'index($0, "qelvio-timing: ") != 1 {next}
    / viewer key/ {k = $2; next}
    / viewer showing / {how = $0; sub(/^.* viewer showing /, "", how); next}
    / viewer image drawn/ && k {printf "%s\t%.1f\n", how, $2 - k; k = 0}' "$trace" > "$work/steps"
printf '1. next 4000x3000 image, key -> image drawn\n'
printf '   first image (Enter, decoded on demand; showing -> drawn)  %s\n' "$first"
for how in "read ahead" "waiting for the read-ahead" "decoding"; do
    printf '   %-27s %s\n' "$how:" "$(awk -F'\t' -v h="$how" '$1 == h {print $2}' "$work/steps" | stats)"
done
stop

# ---- 2. the 100-megapixel JPEG ----
start "$work/huge"
open_first
printf '2. 100-megapixel baseline JPEG (%s MB)\n' "$(( $(stat -c %s "$work/huge/BIG_0001.jpg") / 1000000 ))"
printf '   opened fitted (showing -> drawn)           %s\n' "$(pairs "viewer showing" "viewer image drawn" | head -1)"
sleep 1
focus
xdotool key alt+v
sleep 0.5
xdotool key 1
wait_count "viewer visible tiles drawn" 1 60 || true
shot huge-1to1
printf '   1:1, command -> first tile drawn           %s\n' "$(pairs "viewer zoom command" "viewer painted [0-9.]+ tile" | head -1)"
printf '   1:1, command -> all visible tiles drawn    %s\n' "$(pairs "viewer zoom command" "viewer visible tiles drawn" | head -1)"
printf '   paint of a tile that arrived               %s\n' "$(painted tile | stats)"
# Pan: right and down by 300 pixels in small steps, then back over the
# tiles just decoded; only the way back is counted.
sleep 1
x=500 y=350
xdotool mousemove --window "$main" $x $y mousedown 1
for i in $(seq 1 30); do xdotool mousemove --window "$main" $((x - i * 10)) $((y - i * 5)); sleep 0.03; done
xdotool mouseup 1
wait_count "viewer visible tiles drawn" 2 60 || true
sleep 1
before=$(painted view | wc -l)
xdotool mousemove --window "$main" $((x - 300)) $((y - 150)) mousedown 1
for i in $(seq 1 30); do xdotool mousemove --window "$main" $((x - 300 + i * 10)) $((y - 150 + i * 5)); sleep 0.03; done
xdotool mouseup 1
sleep 1
printf '   pan over decoded tiles, paint per frame    %s\n' \
    "$(painted view | tail -n +$((before + 1)) | stats)"
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
# The tile budget: twice the screen's bytes (browser/frame_logic.cpp).
budget=$(( 1024 * 768 * 3 * 2 / 1024 ))
printf '   peak resident memory %d MB; tile budget %d MB + 200 MB = %d MB\n' \
    $((hwm / 1024)) $((budget / 1024)) $((budget / 1024 + 200))
stop

# ---- 3. Levels on a 12-megapixel image ----
start "$work/one"
open_first
focus
xdotool key ctrl+e
sleep 3
xdotool key ctrl+l
for _ in $(seq 100); do
    levels=$(xdotool search --onlyvisible --pid "$pid" --name "^Levels$" 2> /dev/null | tail -1) && [[ -n "$levels" ]] && break
    sleep 0.1
done
sleep 1
xdotool windowfocus --sync "$levels" 2> /dev/null || true
sleep 0.3
for _ in $(seq 10); do xdotool key Right; sleep 0.2; done
shot levels
for _ in $(seq 5); do xdotool key Prior; sleep 0.2; done
xdotool key Tab
sleep 0.2
for _ in $(seq 10); do xdotool key Left; sleep 0.2; done
sleep 0.5
# Per key: to the last repaint before the next key (a change of the black
# point also moves the white slider's range).
awk 'index($0, "qelvio-timing: ") != 1 {next}
    / levels key/ {if (k && r) printf "%.1f\n", r - k; k = $2; r = 0; next}
    / levels preview repainted/ {r = $2}
    END {if (k && r) printf "%.1f\n", r - k}' "$trace" > "$work/levels"
printf '3. Levels preview on 4000x3000, slider key -> preview repainted  %s\n' "$(stats < "$work/levels")"
printf '   per change: %s\n' "$(tr '\n' ' ' < "$work/levels")"
stop
