#!/usr/bin/env bash
# Times `qelvio-cli find --subfolders` over a tree of small images against
# the usual tools asked the same question: by name part against
# `find -iname`, by metadata words against `exiftool -r -if`. Each figure is
# the median of RUNS warm runs; the match counts must agree.
#
#   bench/find_vs_find.sh QELVIO_CLI [FOLDERS] [FILES_PER_FOLDER] [WORK_DIR] [RUNS]
#
# Defaults: 100 folders of 100 files (10000 files), 3 runs. Ten distinct
# 64x48 JPEGs with Exif make, model and description are made with
# ImageMagick and exiftool; the tree holds copies of them.
set -euo pipefail
cli=$(realpath "$1")
folders=${2:-100}
per_folder=${3:-100}
work=${4:-/tmp/qelvio-find-bench}
runs=${5:-3}
tree=$work/tree

if [[ ! -e "$work/ready-$folders-$per_folder" ]]; then
    rm -rf "$work"
    mkdir -p "$work/base" "$tree"
    makes=(Canon Nikon Canon Sony Canon Olympus Nikon Canon Fujifilm Pentax)
    models=("Canon EOS D30" "E995" "PowerShot S40" "DSC-P9" "Canon EOS 10D" "C-4000" "D100" "IXUS 400" "FinePix" "Optio")
    for i in $(seq 0 9); do
        convert -size 64x48 "plasma:fractal" -seed $i -quality 80 "$work/base/$i.jpg"
        exiftool -q -overwrite_original "-Make=${makes[$i]}" "-Model=${models[$i]}" \
            "-ImageDescription=Picture $i of the harbour walk" "$work/base/$i.jpg"
    done
    for f in $(seq 1 "$folders"); do
        d="$tree/folder$f"
        mkdir -p "$d"
        for n in $(seq 1 "$per_folder"); do
            b=$(( (f * 7 + n) % 10 ))
            # Every 25th file is named like a camera's.
            if (( n % 25 == 0 )); then name="DSC$(printf %05d $n).jpg"; else name="img_$(printf %04d $n).jpg"; fi
            cp "$work/base/$b.jpg" "$d/$name"
        done
    done
    touch "$work/ready-$folders-$per_folder"
fi
files=$(find "$tree" -type f | wc -l)

export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data

# median_ms COMMAND...: runs it RUNS times (output to $work/out), prints the median in ms.
median_ms() {
    local times=()
    for _ in $(seq 1 "$runs"); do
        local start end
        start=$(date +%s%N)
        "$@" > "$work/out" 2>/dev/null
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

run_case() {  # run_case LABEL -- QELVIO_ARGS... -- REFERENCE...
    local label=$1; shift; shift
    local ours=() ref=()
    while [[ $1 != -- ]]; do ours+=("$1"); shift; done
    shift
    ref=("$@")
    local t_ours t_ref n_ours n_ref
    t_ours=$(median_ms "$cli" find "$tree" "${ours[@]}" --subfolders)
    n_ours=$(wc -l < "$work/out")
    t_ref=$(median_ms "${ref[@]}")
    n_ref=$(wc -l < "$work/out")
    printf '%-28s qelvio-cli %6d ms (%d matches)   %-16s %6d ms (%d matches)\n' \
        "$label" "$t_ours" "$n_ours" "${ref[0]}" "$t_ref" "$n_ref"
    [[ $n_ours == "$n_ref" ]] || echo "  the match counts differ"
}

echo "tree: $files files in $folders folders ($tree), median of $runs runs"
run_case "name contains 'dsc'" -- --name dsc -- find "$tree" -type f -iname '*dsc*'
run_case "words 'canon eos'" -- --words "canon eos" -- \
    exiftool -q -r -if '(join " ", grep defined, $Make, $Model, $ImageDescription, $Artist, $Copyright) =~ /canon/i and (join " ", grep defined, $Make, $Model, $ImageDescription, $Artist, $Copyright) =~ /eos/i' \
    -p '$Directory/$FileName' "$tree"
