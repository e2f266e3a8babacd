#!/usr/bin/env bash
# qelvio-cli beam send and receive between two processes, on 127.0.0.1 only:
# files arrive identical, an existing file is kept when the answer is no, a
# partial file resumes, a hidden name is refused, usage errors.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
receiver=
cleanup() {
    [[ -n $receiver ]] && kill "$receiver" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_DATA_HOME="$work/data" XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config"
export QELVIO_BEAM_LISTEN=127.0.0.1 QELVIO_BEAM_PORT=0
unset QELVIO_BEAM_PEERS
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

mkdir -p "$work/send" "$work/in"
convert -size 64x48 gradient:red-blue "$work/send/a.jpg"
head -c 70000 /dev/urandom > "$work/send/b.jpg"
cp "$work/send/a.jpg" "$work/send/.hidden.jpg"
partials="$XDG_DATA_HOME/qelvio/Temporary IR Directory"

# start_receiver NAME ARGS...: beam receive in the background, its output in
# $work/NAME.out and .err; sets port to its discovery port.
start_receiver() {
    local name=$1
    shift
    "$cli" beam receive "$@" > "$work/$name.out" 2> "$work/$name.err" &
    receiver=$!
    port=
    for _ in $(seq 100); do
        port=$(sed -n 's/.*discovery port \([0-9]*\)).*/\1/p' "$work/$name.err" 2>/dev/null)
        [[ -n $port ]] && return 0
        sleep 0.05
    done
    fail "$name: receiver did not start: $(cat "$work/$name.err")"
    return 1
}

# wait_receiver: the receiver's exit status once it ended by itself (at most 10 s).
wait_receiver() {
    for _ in $(seq 200); do
        if ! kill -0 "$receiver" 2>/dev/null; then
            wait "$receiver"
            local status=$?
            receiver=
            return $status
        fi
        sleep 0.05
    done
    kill "$receiver"
    receiver=
    return 124
}

send() { QELVIO_BEAM_PEERS="127.0.0.1:$port" timeout 20 "$cli" beam send "$@"; }

start_receiver first --folder "$work/in" --once
out=$(send "$work/send/a.jpg" "$work/send/b.jpg" 2>"$work/send.err")
check "sender: both sent" $'0\na.jpg: sent\nb.jpg: sent' "$?"$'\n'"$out"
wait_receiver
check "receiver --once ends after the sender" "0" "$?"
check "receiver lines" $'a.jpg: received\nb.jpg: received' "$(cat "$work/first.out")"
cmp -s "$work/send/a.jpg" "$work/in/a.jpg" || fail "a.jpg differs"
cmp -s "$work/send/b.jpg" "$work/in/b.jpg" || fail "b.jpg differs"
check "no partial file left" "" "$(ls -A "$partials")"

# The answer no keeps the existing file; the next file still comes.
printf 'old' > "$work/in/a.jpg"
rm "$work/in/b.jpg"
start_receiver second --folder "$work/in" --once --overwrite no
out=$(timeout 20 "$cli" beam send --peer "127.0.0.1:$port" "$work/send/a.jpg" "$work/send/b.jpg" 2>/dev/null)
check "sender: a refused, b sent" $'1\na.jpg: not received: the existing file was kept\nb.jpg: sent' "$?"$'\n'"$out"
wait_receiver
check "existing file kept" "old" "$(cat "$work/in/a.jpg")"
cmp -s "$work/send/b.jpg" "$work/in/b.jpg" || fail "b.jpg differs after the refusal"

# A partial file whose start matches resumes at its size.
rm "$work/in/b.jpg"
head -c 30000 "$work/send/b.jpg" > "$partials/b.jpg"
start_receiver third --folder "$work/in" --once
out=$(send "$work/send/b.jpg" 2>/dev/null)
check "resumed file sent" $'0\nb.jpg: sent' "$?"$'\n'"$out"
wait_receiver
check "receiver says where it resumed" "qelvio-cli beam: b.jpg resumed at 30000 bytes" \
    "$(grep resumed "$work/third.err")"
cmp -s "$work/send/b.jpg" "$work/in/b.jpg" || fail "resumed b.jpg differs"

# A name that is not a plain file name is refused by the receiver.
start_receiver fourth --folder "$work/in" --once
out=$(send "$work/send/.hidden.jpg" 2>/dev/null)
check "hidden name refused" $'1\n.hidden.jpg: not received: the file could not be created' "$?"$'\n'"$out"
wait_receiver
check "nothing hidden written" "a.jpg b.jpg" "$(cd "$work/in" && echo $(ls -A))"

"$cli" beam 2>/dev/null
check "beam without a command" "2" "$?"
"$cli" beam send 2>/dev/null
check "send without files" "2" "$?"
"$cli" beam send "$work/send/missing.jpg" 2>"$work/err"
check "missing file" "1:qelvio-cli beam: $work/send/missing.jpg: no such file" "$?:$(cat "$work/err")"
"$cli" beam receive --folder "$work/none" 2>"$work/err"
check "missing folder" "1:qelvio-cli beam: $work/none: no such folder" "$?:$(cat "$work/err")"

finish "cli beam"
