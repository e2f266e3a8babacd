#!/usr/bin/env bash
# qelvio-cli settings, associate and open in a scratch configuration.
set -u
cli=$(realpath "$1")
listener=$(realpath "$2")
work=$(mktemp -d)
trap 'kill "$listener_pid" 2>/dev/null; rm -rf "$work"' EXIT
listener_pid=
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_DATA_DIRS=$work/none XDG_CONFIG_DIRS=$work/none XDG_RUNTIME_DIR=$work/run
unset QELVIO_CONFIG_DIR QELVIO_DEVICE_ROOT XDG_CURRENT_DESKTOP
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

# settings
check "defaults" $'viewer\tslide_interval\t3\nbrowser\tlastdirectory\t\\' \
    "$("$cli" settings list | grep -E 'slide_interval|lastdirectory')"
check "nothing written by reading" "no" "$([[ -e $XDG_CONFIG_HOME/qelvio/user.reg ]] && echo yes || echo no)"
check "slide interval in seconds" "3" "$("$cli" settings get viewer slide_interval)"
"$cli" settings set viewer slide_interval 2.5
"$cli" settings set browser lastdirectory 'file:\\\My Documents'
"$cli" settings set finddlg file0 'sunset'
check "get seconds" "2.5" "$("$cli" settings get viewer slide_interval)"
check "get text" 'file:\\\My Documents' "$("$cli" settings get browser lastdirectory)"
check "list shows other values" $'finddlg\tfile0\tsunset' "$("$cli" settings list | grep finddlg)"
check "stored in the user hive" 1 \
    "$(grep -c '^"slide_interval"=dword:000000fa$' "$XDG_CONFIG_HOME/qelvio/user.reg")"
check "listed in seconds" $'viewer\tslide_interval\t2.5' "$("$cli" settings list | grep slide_interval)"
"$cli" settings set viewer slide_interval 12.34
check "hundredths kept" "12.34 1" \
    "$("$cli" settings get viewer slide_interval) $(grep -c '^"slide_interval"=dword:000004d2$' "$XDG_CONFIG_HOME/qelvio/user.reg")"
for bad in two -1 10000 nan ''; do
    check "bad seconds '$bad'" "2 12.34" \
        "$("$cli" settings set viewer slide_interval "$bad" 2>/dev/null; echo $?) $("$cli" settings get viewer slide_interval)"
done
check "bad number" "2" "$("$cli" settings set browser viewmode two 2>/dev/null; echo $?)"
check "missing value" "1" "$("$cli" settings get nosuch value 2>/dev/null; echo $?)"
check "bad usage" "2" "$("$cli" settings get 2>/dev/null; echo $?)"

# associate
mkdir -p "$work/bin" && cp /bin/true "$work/bin/qelvio"
check "associate message" "Image files will now be opened with Qelvio." \
    "$("$cli" associate --program "$work/bin/qelvio")"
check "xdg-mime default" "qelvio.desktop" "$(xdg-mime query default image/tiff 2>&1)"
check "classes root command of the four types" 4 \
    "$(grep -c "^@=\"\\\\\"$work/bin/qelvio\\\\\" \\\\\"%1\\\\\"\"$" "$XDG_CONFIG_HOME/qelvio/classes.reg")"

# open
check "no instance" "1" "$("$cli" open "$work/a.jpg" 2>/dev/null; echo $?)"
"$listener" 3 > "$work/listener.out" &
listener_pid=$!
for _ in $(seq 100); do grep -q listening "$work/listener.out" 2>/dev/null && break; sleep 0.05; done
(cd "$work" && "$cli" open a.jpg)
check "open relative path" "0" "$?"
"$cli" open '\My Documents\b.jpg'
check "open device path" "0" "$?"
"$cli" open 'FILE:\\\My Documents\c.jpg'
check "open a locator whose scheme is in capitals" "0" "$?"
wait "$listener_pid"
check "listener got the locators" "listening
file:\\\\${work//\//\\}\\a.jpg
file:\\\\\\My Documents\\b.jpg
file:\\\\\\My Documents\\c.jpg" "$(cat "$work/listener.out")"

finish "cli shell"
