#!/usr/bin/env bash
# qelvio-cli transform on scratch JPEG files, against jpegtran.
set -u
cli=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CACHE_HOME="$work/cache"
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

convert -size 100x75 gradient:red-blue -depth 8 "$work/pic.ppm"
cjpeg -quality 90 -outfile "$work/a.jpg" "$work/pic.ppm"
cp "$work/a.jpg" "$work/b.jpg"
cp "$work/a.jpg" "$work/orig.jpg"

check "new sizes" $'a.jpg: 64 x 100\nb.jpg: 64 x 100' \
    "$(cd "$work" && "$cli" transform --rotate 90 a.jpg b.jpg)"
jpegtran -copy all -trim -rotate 90 -outfile "$work/ref.jpg" "$work/orig.jpg"
check "same pixels as jpegtran" "$(djpeg -pnm "$work/ref.jpg" | md5sum)" "$(djpeg -pnm "$work/a.jpg" | md5sum)"

check "flip v" "$work/b.jpg: 64 x 96" "$("$cli" transform --flip v "$work/b.jpg")"
check "code 6" "$work/b.jpg: 64 x 96" "$("$cli" transform --code 6 "$work/b.jpg")"

printf 'not a jpeg' > "$work/bad.jpg"
out=$("$cli" transform --code 1 "$work/bad.jpg" "$work/orig.jpg" 2>"$work/err")
check "bad file fails, the next one still runs" "1:$work/orig.jpg: 96 x 75" "$?:$out"
check "bad file message" "qelvio-cli transform: $work/bad.jpg: The image format is invalid." \
    "$(sed 's/ (.*//' "$work/err")"
check "bad file untouched" "not a jpeg" "$(cat "$work/bad.jpg")"
check "no temporary file left" "" "$(ls "$work/cache/qelvio/tmp" 2>/dev/null)"

"$cli" transform --rotate 45 "$work/a.jpg" 2>/dev/null
check "bad angle" "2" "$?"
"$cli" transform --code 3 "$work/a.jpg" 2>/dev/null
check "bad code" "2" "$?"
"$cli" transform --flip h --rotate 90 "$work/a.jpg" 2>/dev/null
check "two transformations" "2" "$?"

finish "cli transform"
