#!/usr/bin/env bash
# qelvio-cli thumbs, annotate and audio on a scratch folder, checked with
# exiftool, exiv2 and identify.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

mkdir -p "$work/pics/sub"
for i in 1 2 3; do convert -size 160x120 "plasma:fractal" -seed $i -quality 90 "$work/pics/p$i.jpg"; done
convert -size 80x60 xc:orange "$work/pics/o.bmp"
printf 'not an image' > "$work/pics/broken.gif"
printf 'text' > "$work/pics/readme.txt"

first=$("$cli" thumbs "$work/pics" 2>/dev/null)
check "first thumbs run" "4 thumbnails, 0 from stored thumbnails, 1 failed" "${first%,*}"
second=$("$cli" thumbs "$work/pics" 2>/dev/null)
check "second run uses the stored thumbnails" "4 thumbnails, 4 from stored thumbnails, 1 failed" "${second%,*}"
thumbs="$work/cache/qelvio/Qelvio Thumbnails"
check "stored thumbnails" "4 index" "$(cd "$thumbs" && ls OLM*.jpg | wc -l) $(ls "$thumbs" | grep -v OLM)"
check "thumbnail size and quality" "64x48 90" "$(identify -format '%wx%h %Q' "$thumbs/OLM1.jpg")"

before_scan=$(python3 -c 'import sys, hashlib; d=open(sys.argv[1],"rb").read(); print(hashlib.md5(d[d.index(b"\xff\xda"):]).hexdigest())' "$work/pics/p1.jpg")
"$cli" annotate "$work/pics/p1.jpg" --description "Harbour at dawn" --artist "Ann Painter" --copyright "(c) Ann"
check "annotation read by exiftool" $'Harbour at dawn\nAnn Painter\n(c) Ann' \
    "$(exiftool -s3 -ImageDescription -Artist -Copyright "$work/pics/p1.jpg")"
check "annotation read by exiv2" "Ann Painter" "$(exiv2 -q -K Exif.Image.Artist -Pv "$work/pics/p1.jpg")"
check "scan unchanged" "$before_scan" \
    "$(python3 -c 'import sys, hashlib; d=open(sys.argv[1],"rb").read(); print(hashlib.md5(d[d.index(b"\xff\xda"):]).hexdigest())' "$work/pics/p1.jpg")"
check "validates" "Validate                        : OK" \
    "$(exiftool -q -q -validate -warning -error -a "$work/pics/p1.jpg")"
"$cli" annotate "$work/pics/p1.jpg" --artist ""
check "an empty text removes the tag" "" "$(exiftool -s3 -Artist "$work/pics/p1.jpg")"

head -c 100000 /dev/urandom > "$work/note.raw"
sox -t raw -r 8000 -e signed -b 16 -c 1 "$work/note.raw" "$work/note.wav"
"$cli" audio "$work/pics/p2.jpg" --embed "$work/note.wav"
"$cli" audio "$work/pics/p2.jpg" --extract "$work/back.wav"
check "audio comes back identical" "same" "$(cmp -s "$work/note.wav" "$work/back.wav" && echo same || echo differs)"
check "exiftool reads the same audio" "same" \
    "$(exiftool -b -AudioStream "$work/pics/p2.jpg" | cmp -s - "$work/note.wav" && echo same || echo differs)"
check "no unlisted FlashPix segment" "" "$(exiftool -q -q -validate -warning -a "$work/pics/p2.jpg" | grep -i fpxr)"

# A note of more than 1024 segments (about 67 MB) is refused, the file unchanged.
cp "$work/pics/p3.jpg" "$work/p3.before"
head -c 70000000 /dev/zero > "$work/long.raw"
sox -t raw -r 8000 -e signed -b 16 -c 1 "$work/long.raw" "$work/long.wav"
rm -f "$work/long.raw"
message=$("$cli" audio "$work/pics/p3.jpg" --embed "$work/long.wav" 2>&1)
check "too long a note fails" "1" "$?"
check "too long a note says why" "qelvio-cli audio: $work/pics/p3.jpg: The image can't be saved.
(The audio note is too long to be stored in the image.)" "$message"
check "too long a note leaves the file" "same" "$(cmp -s "$work/p3.before" "$work/pics/p3.jpg" && echo same || echo differs)"
rm -f "$work/long.wav"
"$cli" audio "$work/pics/p2.jpg" --clear
"$cli" audio "$work/pics/p2.jpg" --extract "$work/none.wav" 2>/dev/null
check "cleared audio is gone" "1" "$?"
check "picture still decodes" "160x120" "$(identify -format '%wx%h' "$work/pics/p2.jpg")"

"$cli" annotate "$work/pics/o.bmp" --artist "Bea" --convert keep
check "a BMP is kept beside its JPEG" "o.bmp o.jpg" "$(cd "$work/pics" && echo o.*)"
check "the JPEG has the artist" "Bea" "$(exiftool -s3 -Artist "$work/pics/o.jpg")"

# A JPEG without any APPn segment (as scanners write them) takes an annotation.
python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); n=4+(d[4]<<8|d[5]); open(sys.argv[2],"wb").write(d[:2]+d[n:] if d[3]==0xE0 else d)' \
    "$work/pics/p3.jpg" "$work/pics/bare.jpg"
"$cli" annotate "$work/pics/bare.jpg" --description "Scanned"
check "a JPEG without APPn segments is annotated" "0 Scanned" "$? $(exiftool -s3 -ImageDescription "$work/pics/bare.jpg")"

check "no temporary files left" "" "$(ls -A "$work/cache/qelvio/tmp")"

finish "cli images"
