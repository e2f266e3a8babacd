# What the qelvio scenario scripts share, on a virtual X server without a
# window manager: starting under it, a private work folder, finding the
# program's windows, typing into them, waiting for them to go and for the
# program to end. Source it first, then call run_under_xvfb and
# scenario_folders.

scenario_here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
source "$scenario_here/checks.sh"

# Runs the calling script again under a virtual X server (once); exits 77
# (skipped) when a tool it needs is not installed.
run_under_xvfb() {  # run_under_xvfb NAME "EXTRA-TOOL..." SCRIPT ARGS...
    scenario_name=$1
    [[ "${QELVIO_SCENARIO_INNER:-}" == 1 ]] && return 0
    local name=$1 tool
    for tool in xvfb-run xdotool import xwininfo $2; do
        if ! command -v "$tool" > /dev/null; then
            echo "$name: $tool is not installed (scripts/setup.sh installs it); skipped"
            exit 77
        fi
    done
    shift 2
    export QELVIO_SCENARIO_INNER=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash "$@"
}

# A private work folder, removed at exit with every program the script
# started; private runtime, configuration, cache and data folders; the
# timing trace on. Sets work and shots (the given folder, or one in work).
scenario_folders() {  # scenario_folders [SHOT-FOLDER]
    work=$(mktemp -d)
    trap 'kill $(jobs -p) 2> /dev/null; wait; rm -rf "$work"' EXIT
    shots=${1:-$work/shots}
    mkdir -p "$shots"
    export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
    mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
    unset QELVIO_CONFIG_DIR QELVIO_DEVICE_ROOT QT_QPA_PLATFORM
    export QELVIO_TIMING=1
    # In the ASan build: leaks of the system's libraries are not the program's.
    export LSAN_OPTIONS="suppressions=$scenario_here/lsan_qt.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

# The files step shows when a step fails (the program's traces).
scenario_logs=()

step() {  # step NAME: a step that failed ends the scenario
    fail "$1"
    local log
    for log in "${scenario_logs[@]}"; do
        [[ -f "$log" ]] && { echo "--- $(basename "$log")"; cat "$log"; }
    done
    finish "$scenario_name"
}

# Where the image list is with the window at the screen's corner (800 x 560,
# no window manager): its corner in the window, and its grid's first row.
list_x=407 pane_y=50
cell() {  # cell N: the middle of thumbnail cell N of the grid's first row
    echo $((list_x + 4 + $1 * 72 + 36)) $((pane_y + 4 + 42))
}

# Selects cells of the first row as a user does: a click on the first,
# a Ctrl+click on each other one.
select_cells() {  # select_cells WINDOW N...
    local w=$1 x y
    read -r x y <<< "$(cell "$2")"
    click "$w" "$x" "$y"
    shift 2
    xdotool keydown ctrl
    for n in "$@"; do
        read -r x y <<< "$(cell "$n")"
        click "$w" "$x" "$y"
    done
    xdotool keyup ctrl
}

# Screenshots of the whole screen, named $shots/$shot_prefix$NAME.png (each
# script sets shot_prefix), and the colour of a point of one.
shot() {  # shot NAME
    import -window root "$shots/$shot_prefix$1.png"
}
pixel() {  # pixel SHOT X Y: "r,g,b" of a screen point
    convert "$shots/$shot_prefix$1.png" -crop 1x1+$2+$3 -format '%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]' info:
}

# Waits until a shown window of the process has that name and prints its
# id: the newest such window that still exists and is not the excluded one
# (Qt may make and drop a window on the way).
window_of() {  # window_of PID NAME [EXCLUDE]
    local w candidate
    for _ in $(seq 100); do
        w=
        for candidate in $(xdotool search --all --onlyvisible --pid "$1" --name "$2" 2> /dev/null); do
            [[ "$candidate" == "${3:-}" ]] && continue
            xwininfo -id "$candidate" 2> /dev/null | grep -q IsViewable && w=$candidate
        done
        # Still there a moment later: the window the user sees.
        if [[ -n "$w" ]]; then
            sleep 0.3
            xwininfo -id "$w" 2> /dev/null | grep -q IsViewable && { echo "$w"; return 0; }
        fi
        sleep 0.1
    done
    return 1
}

gone() {  # gone WINDOW: true once the window is no longer shown
    for _ in $(seq 50); do
        xwininfo -id "$1" 2> /dev/null | grep -q IsViewable || return 0
        sleep 0.1
    done
    return 1
}

keys() {  # keys WINDOW KEY...: focus the window (there is no window manager), then type
    local w=$1
    shift
    xdotool windowfocus --sync "$w" 2> /dev/null || xdotool windowfocus "$w"
    # Type only once the window has the keyboard (a loaded machine is slow).
    for _ in $(seq 50); do
        [[ "$(xdotool getwindowfocus 2> /dev/null)" == "$w" ]] && break
        sleep 0.1
    done
    sleep 0.2
    xdotool key --delay 60 "$@"
}

wait_exit() {  # wait_exit PID: the exit status, or 124 after 15 s
    for _ in $(seq 150); do
        kill -0 "$1" 2> /dev/null || { wait "$1"; return $?; }
        sleep 0.1
    done
    kill "$1"
    return 124
}

shown() {  # shown LOG: waits until the trace says the window was shown
    for _ in $(seq 100); do
        grep -q "window shown" "$1" && return 0
        sleep 0.1
    done
    return 1
}

click() {  # click WINDOW X Y [BUTTON]: a click at a point of the window
    xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"
}

drag() {  # drag WINDOW X1 Y1 X2 Y2: press, move in steps, release
    local w=$1 x=$2 y=$3 i
    xdotool mousemove --window "$w" "$x" "$y" mousedown 1
    for i in 1 2 3 4 5 6 7 8; do
        xdotool mousemove --window "$w" $((x + ($4 - x) * i / 8)) $((y + ($5 - y) * i / 8))
        sleep 0.05
    done
    xdotool mouseup 1
}

wait_for() {  # wait_for SECONDS COMMAND...: true once the command succeeds
    local limit=$(( $1 * 10 ))
    shift
    for _ in $(seq "$limit"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
