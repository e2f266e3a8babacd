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
# A damaged stored thumbnail is made again from its image, and stored anew.
truncate -s 100 "$thumbs/OLM1.jpg"
third=$("$cli" thumbs "$work/pics" 2>/dev/null)
check "damaged stored thumbnail decoded from the image" "4 thumbnails, 3 from stored thumbnails, 1 failed" "${third%,*}"
fourth=$("$cli" thumbs "$work/pics" 2>/dev/null)
check "and stored again" "4 thumbnails, 4 from stored thumbnails, 1 failed 4" \
    "${fourth%,*} $(cd "$thumbs" && ls OLM*.jpg | wc -l)"
# More images than the in-memory window of 64: all of them stored.
mkdir -p "$work/many"
for i in $(seq 1 100); do cp "$work/pics/p2.jpg" "$work/many/m$i.jpg"; done
"$cli" thumbs "$work/many" > /dev/null
many=$("$cli" thumbs "$work/many")
check "a folder of 100 visited again" "100 thumbnails, 100 from stored thumbnails, 0 failed" "${many%,*}"

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
# The annotations hold 8-bit text: a character beyond it is refused, the file
# untouched; a Latin-1 letter is stored as its one byte.
cp "$work/pics/p1.jpg" "$work/p1.before"
check "a text the annotations cannot hold is refused" "2" \
    "$("$cli" annotate "$work/pics/p1.jpg" --artist "Łucja" 2>/dev/null; echo $?)"
check "the refused file is unchanged" "same" "$(cmp -s "$work/p1.before" "$work/pics/p1.jpg" && echo same || echo differs)"
"$cli" annotate "$work/pics/p1.jpg" --artist "Müller"
check "a Latin-1 letter is one byte" "Müller" "$(exiftool -charset exif=latin -s3 -Artist "$work/pics/p1.jpg")"

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

# Converting in place of the original: the original goes only once its JPEG
# exists complete, and only when the question before replacing another JPEG
# is answered yes.
mkdir -p "$work/conv"
fresh() { rm -f "$work/conv/"*; convert -size 80x60 xc:orange "$work/conv/pic.bmp"; chmod 600 "$work/conv/pic.bmp"
          convert -size 16x16 xc:blue -quality 90 "$work/conv/pic.jpg"; sums=$(cd "$work/conv" && md5sum pic.bmp pic.jpg); }
for how in "--overwrite no" "--overwrite ask:n" "--overwrite ask:c" "--overwrite ask:"; do
    fresh
    echo "${how#*:}" | "$cli" annotate "$work/conv/pic.bmp" --artist "Bea" --convert replace ${how%%:*} 2>/dev/null
    check "convert replace, $how, keeps both files" "1:$sums" "$?:$(cd "$work/conv" && md5sum pic.bmp pic.jpg)"
done
fresh
"$cli" annotate "$work/conv/pic.bmp" --artist "Bea" --convert replace --overwrite yes
check "convert replace, --overwrite yes" "0:pic.jpg:JPEG 80x60:Bea" \
    "$?:$(ls "$work/conv"):$(identify -format '%m %wx%h' "$work/conv/pic.jpg"):$(exiftool -s3 -Artist "$work/conv/pic.jpg")"
fresh
echo y | "$cli" annotate "$work/conv/pic.bmp" --artist "Bea" --convert replace 2>/dev/null
check "convert replace, answered y" "0:pic.jpg:Bea" "$?:$(ls "$work/conv"):$(exiftool -s3 -Artist "$work/conv/pic.jpg")"
fresh
rm "$work/conv/pic.jpg"
"$cli" annotate "$work/conv/pic.bmp" --artist "Bea" --convert replace
check "convert replace without a JPEG keeps the permission bits" "0:pic.jpg:600" \
    "$?:$(ls "$work/conv"):$(stat -c %a "$work/conv/pic.jpg")"
check "bad --overwrite" "2" "$("$cli" annotate "$work/conv/pic.jpg" --artist X --overwrite maybe 2>/dev/null; echo $?)"

# Annotating and transforming keep the file: a link stays a link to the
# changed picture, the permission bits stay, a read-only file is refused.
mkdir -p "$work/id/real"
convert -size 64x48 plasma:fractal -seed 5 -quality 90 "$work/id/real/pic.jpg"
ln -s real/pic.jpg "$work/id/link.jpg"
convert -size 64x48 plasma:fractal -seed 6 -quality 90 "$work/id/private.jpg"; chmod 600 "$work/id/private.jpg"
convert -size 64x48 plasma:fractal -seed 7 -quality 90 "$work/id/locked.jpg"; chmod 444 "$work/id/locked.jpg"
locked=$(md5sum < "$work/id/locked.jpg")
for f in link private; do "$cli" annotate "$work/id/$f.jpg" --artist "Cy"; done
"$cli" transform --rotate 90 "$work/id/link.jpg" "$work/id/private.jpg" >/dev/null
check "annotate and transform through a link" "link:Cy:48x64" \
    "$([[ -L $work/id/link.jpg ]] && echo link):$(exiftool -s3 -Artist "$work/id/real/pic.jpg"):$(identify -format '%wx%h' "$work/id/real/pic.jpg")"
check "annotate and transform keep mode 600" "600:Cy:48x64" \
    "$(stat -c %a "$work/id/private.jpg"):$(exiftool -s3 -Artist "$work/id/private.jpg"):$(identify -format '%wx%h' "$work/id/private.jpg")"
"$cli" annotate "$work/id/locked.jpg" --artist "Cy" 2>/dev/null; a=$?
"$cli" transform --rotate 90 "$work/id/locked.jpg" >/dev/null 2>&1; t=$?
check "a read-only file is neither annotated nor transformed" "1:1:$locked:444" \
    "$a:$t:$(md5sum < "$work/id/locked.jpg"):$(stat -c %a "$work/id/locked.jpg")"
check "the folders hold nothing else" "link.jpg locked.jpg private.jpg real:pic.jpg" \
    "$(cd "$work/id" && ls -A | tr '\n' ' ' | sed 's/ $//'):$(ls -A "$work/id/real")"

# A JPEG without any APPn segment (as scanners write them) takes an annotation.
python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); n=4+(d[4]<<8|d[5]); open(sys.argv[2],"wb").write(d[:2]+d[n:] if d[3]==0xE0 else d)' \
    "$work/pics/p3.jpg" "$work/pics/bare.jpg"
"$cli" annotate "$work/pics/bare.jpg" --description "Scanned"
check "a JPEG without APPn segments is annotated" "0 Scanned" "$? $(exiftool -s3 -ImageDescription "$work/pics/bare.jpg")"

check "no temporary files left" "" "$(ls -A "$work/cache/qelvio/tmp")"

finish "cli images"
