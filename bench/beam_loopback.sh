#!/usr/bin/env bash
# Times beaming on the loopback address: `qelvio-cli beam send` of a 50 MB
# file (512-byte packets) to `qelvio-cli beam receive --once`, and the resume
# of its last 10 % (the receiver holds the first 45 MB as a partial file).
# Each time runs from the sender's start to its end, discovery included; the
# receiver has the file in place (flushed) before the sender ends.
#   usage: bench/beam_loopback.sh path/to/qelvio-cli [runs]
set -eu
cli=$(realpath "$1")
runs=${2:-3}
work=$(mktemp -d)
receiver=
trap '[[ -n $receiver ]] && kill $receiver 2>/dev/null; rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" QELVIO_BEAM_LISTEN=127.0.0.1 QELVIO_BEAM_PORT=0
unset QELVIO_BEAM_PEERS
mkdir -p "$work/in"
size=$((50 * 1000 * 1000))
head -c $size /dev/urandom > "$work/big.jpg"
partials="$XDG_DATA_HOME/qelvio/Temporary IR Directory"

# one_run: starts a receiver, times one send, checks the file; prints ms.
one_run() {
    rm -f "$work/in/big.jpg"
    "$cli" beam receive --folder "$work/in" --once > /dev/null 2> "$work/r.err" &
    receiver=$!
    local port=
    for _ in $(seq 200); do
        port=$(sed -n 's/.*discovery port \([0-9]*\)).*/\1/p' "$work/r.err" 2>/dev/null)
        [[ -n $port ]] && break
        sleep 0.02
    done
    sync  # what an earlier session left is on disk, as it would be
    local start end
    start=$(date +%s%N)
    QELVIO_BEAM_PEERS="127.0.0.1:$port" "$cli" beam send "$work/big.jpg" > /dev/null 2>&1
    end=$(date +%s%N)
    wait $receiver
    receiver=
    cmp -s "$work/big.jpg" "$work/in/big.jpg" || { echo "received file differs" >&2; exit 1; }
    echo $(((end - start) / 1000000))
}

report() {  # report WHAT BYTES MS...
    local what=$1 bytes=$2
    shift 2
    local best=$(printf '%s\n' "$@" | sort -n | head -1)
    printf '%-28s runs(ms): %s  best %d ms  %.1f MB/s\n' "$what" "$*" "$best" \
        "$(echo "$bytes / 1000 / $best" | bc -l)"
}

full=()
for _ in $(seq "$runs"); do full+=("$(one_run)"); done
report "50 MB whole file" $size "${full[@]}"

resumed=()
for _ in $(seq "$runs"); do
    mkdir -p "$partials"
    head -c $((size * 9 / 10)) "$work/big.jpg" > "$partials/big.jpg"
    resumed+=("$(one_run)")
done
report "last 10 % resumed (5 MB)" $((size / 10)) "${resumed[@]}"
