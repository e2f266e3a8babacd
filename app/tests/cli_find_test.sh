#!/usr/bin/env bash
# qelvio-cli find over a folder tree: name parts, sizes, metadata words
# written by exiftool, the walk through subfolders and select-all mode.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

t=$work/t
mkdir -p "$t/sub/deep"
convert -size 64x48 xc:gray "$t/dsc00012.jpg"
convert -size 64x48 xc:gray "$t/MyDsc.gif"
convert -size 64x48 xc:gray "$t/other.jpg"
head -c 102400 /dev/zero > "$t/exact.bmp"
head -c 103423 /dev/zero > "$t/almost.bmp"
head -c 103424 /dev/zero > "$t/over.bmp"
cp "$t/other.jpg" "$t/sub/camera.jpg"
exiftool -q -overwrite_original -Make=Canon '-Model=Canon EOS D30' "$t/sub/camera.jpg"
cp "$t/other.jpg" "$t/sub/deep/harbour.jpg"
exiftool -q -overwrite_original '-ImageDescription=Boats in the harbour' "$t/sub/deep/harbour.jpg"
cp "$t/other.jpg" "$t/sub/deep/dsc_deep.jpg"

check "find: name part" "$t/dsc00012.jpg
$t/MyDsc.gif" "$("$cli" find "$t" --name DSC)"
check "find: subfolders walked depth-first" "$t/dsc00012.jpg
$t/MyDsc.gif
$t/sub/deep/dsc_deep.jpg" "$("$cli" find "$t" --name dsc --subfolders)"
check "find: greater than 100 kilobytes" "$t/almost.bmp
$t/exact.bmp
$t/over.bmp" "$("$cli" find "$t" --size '>100')"
check "find: less than 100 kilobytes" "$t/almost.bmp
$t/dsc00012.jpg
$t/exact.bmp
$t/MyDsc.gif
$t/other.jpg" "$("$cli" find "$t" --size '<100')"
check "find: words across entries" "$t/sub/camera.jpg" "$("$cli" find "$t" --words "canon eos" --subfolders)"
check "find: a word of the description" "$t/sub/deep/harbour.jpg" "$("$cli" find "$t" --words HARBOUR --subfolders)"
err=$("$cli" find "$t" --size '>1.5' 2>&1); status=$?
check "find: 1.5 refused" "2 qelvio-cli find: Please enter a positive number for the size." "$status $err"
err=$("$cli" find "$t" --size '<' 2>&1); status=$?
check "find: empty size refused" "2 qelvio-cli find: To search for images of a certain size, you must enter a number in the 'size' field." "$status $err"
out=$("$cli" find "$t" --name dsc --select-all 2>"$work/err")
check "find: select-all stays in the folder" "$t/dsc00012.jpg
$t/MyDsc.gif
2 images selected." "$out
$(cat "$work/err")"
err=$("$cli" find "$t" --name nothing-like-this 2>&1); status=$?
check "find: nothing found" "0 No images were found." "$status $err"

finish cli.find
