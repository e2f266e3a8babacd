#!/usr/bin/env bash
# qelvio-cli rename on a scratch folder: names and bytes left on disk.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
export LC_ALL=C  # the listings below sort byte by byte

# Every file of a folder with its content, sorted by name.
contents() { (cd "$1" && for f in *; do printf '%s=%s\n' "$f" "$(cat "$f")"; done); }

d=$work/d
mkdir -p "$d"
for i in 1 2 3; do printf "img$i" > "$d/IMG_$i.JPG"; done
"$cli" rename --name Trip --digits 3 "$d/IMG_3.JPG" "$d/IMG_1.JPG" "$d/IMG_2.JPG"
check "numbers in the order given, extensions kept" "0:Trip001.JPG=img3
Trip002.JPG=img1
Trip003.JPG=img2" "$?:$(contents "$d")"

"$cli" rename --name Trip "$d/Trip001.JPG" "$d/Trip002.JPG"
check "two digits by default" "Trip003.JPG=img2
Trip01.JPG=img3
Trip02.JPG=img1" "$(contents "$d")"

"$cli" rename --name Trip "$d/Trip02.JPG" "$d/Trip01.JPG" "$d/Trip003.JPG" </dev/null
check "numbered again in another order: swapped, nothing asked or replaced" "0:Trip01.JPG=img1
Trip02.JPG=img3
Trip03.JPG=img2" "$?:$(contents "$d")"

rm -f "$d"/*
printf 'ab' > "$d/a.b.jpg"
"$cli" rename --name c "$d/a.b.jpg"
check "one file: name and its extension, no number" "0:c.jpg=ab" "$?:$(contents "$d")"

rm -f "$d"/*
printf 'a' > "$d/a.jpg"; printf 'b' > "$d/b.jpg"; printf 'c' > "$d/c.jpg"
printf 'old1' > "$d/x01.jpg"; printf 'old3' > "$d/x03.jpg"
"$cli" rename --name x --overwrite no "$d/a.jpg" "$d/b.jpg" "$d/c.jpg"
check "--overwrite no keeps both files" "0:a.jpg=a
c.jpg=c
x01.jpg=old1
x02.jpg=b
x03.jpg=old3" "$?:$(contents "$d")"

printf 'c\ny\n' | "$cli" rename --name x "$d/a.jpg" "$d/c.jpg" 2>"$work/err"
check "cancel fails that file only; yes replaces the next" "1:a.jpg=a
x01.jpg=old1
x02.jpg=c
x03.jpg=old3" "$?:$(contents "$d")"
check "the cancelled file is reported" \
    "qelvio-cli rename: The image a.jpg can't be renamed to x01.jpg. (The operation was cancelled.)" \
    "$(grep -o 'qelvio-cli rename: .*' "$work/err")"

rm -f "$d"/*
printf 'p' > "$d/p.jpg"; printf 'q' > "$d/q.jpg"; printf 'ro' > "$d/y02.jpg"; chmod a-w "$d/y02.jpg"
out=$("$cli" rename --name y --overwrite yes "$d/p.jpg" "$d/q.jpg" 2>&1)
check "a read-only file is not replaced" "1:qelvio-cli rename: The image q.jpg can't be renamed to y02.jpg. (The file is read-only.):q.jpg=q
y01.jpg=p
y02.jpg=ro" "$?:$out:$(contents "$d")"

rm -f "$d"/*
printf 'k' > "$d/k.jpg"
for bad in "--digits 6 --name z" "--digits 0 --name z" "--name z --overwrite maybe" "--digits 2"; do
    # shellcheck disable=SC2086
    "$cli" rename $bad "$d/k.jpg" 2>/dev/null
    check "usage error for '$bad'" "2:k.jpg=k" "$?:$(contents "$d")"
done
out=$("$cli" rename --name z "$d/k.jpg" "$d/none.jpg" 2>&1)
check "a missing file renames nothing" "1:qelvio-cli rename: $d/none.jpg: The file was not found.:k.jpg=k" "$?:$out:$(contents "$d")"
out=$("$cli" rename --name 'a/b' "$d/k.jpg" 2>&1)
check "a name with a slash is refused" "1:qelvio-cli rename: The image k.jpg can't be renamed to a/b.jpg. (The filename is invalid.):k.jpg=k" "$?:$out:$(contents "$d")"

finish "cli rename"
