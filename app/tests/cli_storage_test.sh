#!/usr/bin/env bash
# qelvio-cli ls and cp on a scratch folder.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

mkdir -p "$work/pics/sub"
for f in a.JPG b.jpeg README .hidden.jpg; do printf 'abc' > "$work/pics/$f"; done

check "ls with extensions" $'D\tsub\nF\ta.JPG\t3' "$("$cli" ls --ext "jpg gif" "$work/pics" | sort)"
check "ls folders only" $'D\tsub' "$("$cli" ls "$work/pics")"
check "ls through a locator inside a device root" $'D\tsub' \
    "$("$cli" --device-root "$work" ls 'file:\\\pics')"
check "unknown scheme" "qelvio-cli ls: ftp:\\\\\\x: The file source is invalid." \
    "$("$cli" ls 'ftp:\\\x' 2>&1)"
check "missing folder" "qelvio-cli ls: $work/none: The file was not found." \
    "$("$cli" ls "$work/none" 2>&1)"

"$cli" cp "$work/pics/a.JPG" "$work/pics" && "$cli" cp "$work/pics/a.JPG" "$work/pics"
check "copies onto the own folder" $'Copy (2) of a.JPG\nCopy of a.JPG' \
    "$(cd "$work/pics" && ls -1 Copy*)"

printf 'new' > "$work/new.JPG"
mkdir "$work/dst" && printf 'old' > "$work/dst/new.JPG"
echo n | "$cli" cp "$work/new.JPG" "$work/dst" 2>/dev/null
check "answer no keeps the target" "old" "$(cat "$work/dst/new.JPG")"
echo c | "$cli" cp "$work/new.JPG" "$work/dst" 2>/dev/null
check "cancel fails quietly" "1" "$?"
"$cli" cp --overwrite no "$work/new.JPG" "$work/dst"
check "--overwrite no" "old" "$(cat "$work/dst/new.JPG")"
"$cli" cp --overwrite yes --move "$work/new.JPG" "$work/dst"
check "--overwrite yes --move" "new:gone" "$(cat "$work/dst/new.JPG"):$([[ -e $work/new.JPG ]] && echo there || echo gone)"
"$cli" cp --name renamed.JPG "$work/dst/new.JPG" "$work/dst"
check "--name" "new" "$(cat "$work/dst/renamed.JPG")"

mkdir "$work/many" "$work/into"
for f in 1 2 3; do printf "src$f" > "$work/many/$f.JPG"; done
for f in 1 2; do printf "old$f" > "$work/into/$f.JPG"; done
printf 'N\n' | "$cli" cp "$work/many/1.JPG" "$work/many/2.JPG" "$work/many/3.JPG" "$work/into" 2>"$work/err"
check "None is asked once and holds for the rest" "1:old1old2src3" \
    "$(grep -o 'Replace' "$work/err" | wc -l):$(cat "$work/into/1.JPG" "$work/into/2.JPG" "$work/into/3.JPG")"
rm "$work/into/3.JPG"
printf 'c\n' | "$cli" cp "$work/many/1.JPG" "$work/many/3.JPG" "$work/into" 2>/dev/null
check "cancel stops the rest" "no" "$([[ -e $work/into/3.JPG ]] && echo yes || echo no)"

finish "cli storage"
