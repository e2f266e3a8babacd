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

# Copies, moves and deletions that must never lose a file (inside a device root).
dev=$work/dev
in_dev() { "$cli" --device-root "$dev" "$@"; }
tree() { (cd "$dev" && find . -mindepth 1 \( -type l -printf '%p -> %l\n' \) -o \( -type f -printf '%p ' -exec cat {} \; -printf '\n' \) | sort); }
mkdir -p "$dev/d" && printf 'abc' > "$dev/d/a.jpg"
in_dev cp --name a.jpg --overwrite yes 'file:\\\d\a.jpg' 'file:\\\d'
check "a copy onto itself (--overwrite yes) makes a Copy of" "0:./d/Copy of a.jpg abc
./d/a.jpg abc" "$?:$(tree)"
echo y | in_dev cp --name a.jpg 'file:\\\d\a.jpg' 'file:\\\d' 2>/dev/null
check "a copy onto itself (answer y) asks nothing" "0:./d/Copy (2) of a.jpg abc
./d/Copy of a.jpg abc
./d/a.jpg abc" "$?:$(tree)"
rm "$dev/d/Copy"*
in_dev cp --name A.JPG --overwrite yes 'file:\\\d\a.jpg' 'file:\\\d'
check "a copy named in another case is a second file" "0:./d/A.JPG abc
./d/a.jpg abc" "$?:$(tree)"
out=$(in_dev cp --move --name a.jpg --overwrite yes 'file:\\\d\a.jpg' 'file:\\\d' 2>&1)
check "a move onto itself is refused" "1:qelvio-cli cp: file:\\\\\\d\\a.jpg: The file already exists.:./d/A.JPG abc
./d/a.jpg abc" "$?:$out:$(tree)"

rm -rf "$dev" && mkdir -p "$dev/S" "$dev/T/x"
printf 's' > "$dev/S/s.jpg"; printf 'deep' > "$dev/T/x/y.jpg"; printf 'flat' > "$dev/T/y.jpg"
out=$(echo y | in_dev cp --name 'x\y.jpg' 'file:\\\S\s.jpg' 'file:\\\T' 2>&1)
check "a name that is a path is refused and nothing is deleted" "1:qelvio-cli cp: file:\\\\\\S\\s.jpg: The filename is invalid.:./S/s.jpg s
./T/x/y.jpg deep
./T/y.jpg flat" "$?:$out:$(tree)"
for bad in .. . 'a/b'; do
    check "name '$bad' is refused" "1" "$(in_dev cp --name "$bad" 'file:\\\S\s.jpg' 'file:\\\T' 2>/dev/null; echo $?)"
done
echo y | in_dev cp --name y.jpg 'file:\\\S\s.jpg' 'file:\\\T' 2>"$work/err"
check "yes replaces exactly the file the prompt named" "./S/s.jpg s
./T/x/y.jpg deep
./T/y.jpg s:1" "$(tree):$(grep -c 'Replace file:\\\\\\T\\y.jpg$' "$work/err")"

rm -rf "$dev" && mkdir -p "$dev/d" "$dev/e"
printf 'lower' > "$dev/d/a.jpg"; printf 'upper' > "$dev/d/A.jpg"
check "both case variants are listed" $'F\tA.jpg\t5\nF\ta.jpg\t5' "$(in_dev ls --ext jpg 'file:\\\d' | sort)"
in_dev cp 'file:\\\d\a.jpg' 'file:\\\d\A.jpg' 'file:\\\e'
check "both case variants are copied" "0:./d/A.jpg upper
./d/a.jpg lower
./e/A.jpg upper
./e/a.jpg lower" "$?:$(tree)"
rm "$dev/e/A.jpg"
in_dev cp --move --name A.jpg 'file:\\\e\a.jpg' 'file:\\\e'
check "renaming a.jpg to A.jpg" "0:lower:no" "$?:$(cat "$dev/e/A.jpg"):$([[ -e $dev/e/a.jpg ]] && echo yes || echo no)"

printf 'new' > "$dev/d/r.jpg"; printf 'keep' > "$dev/e/r.jpg"; chmod 444 "$dev/e/r.jpg"
for how in "--overwrite yes" "--move --overwrite yes"; do
    out=$(in_dev cp $how 'file:\\\d\r.jpg' 'file:\\\e' 2>&1)
    check "$how onto a read-only file" "1:qelvio-cli cp: file:\\\\\\d\\r.jpg: The file is read-only.:keep:new:444" \
        "$?:$out:$(cat "$dev/e/r.jpg"):$(cat "$dev/d/r.jpg"):$(stat -c %a "$dev/e/r.jpg")"
done

mkdir -p "$work/outside" && printf 'secret' > "$work/outside/s.jpg"
ln -s "$work/outside" "$dev/out"; ln -s "$work/outside/s.jpg" "$dev/d/link.jpg"
check "links that lead out of the device root are not listed" $'D\te' "$(in_dev ls --ext '*' 'file:\\\' | sort | grep -v '^D.d$')"
check "nor in a folder" "" "$(in_dev ls --ext '*' 'file:\\\d' | grep link)"
out=$(in_dev cp --overwrite yes 'file:\\\d\a.jpg' 'file:\\\out' 2>&1)
check "no copy through a link out of the device root" "1:qelvio-cli cp: file:\\\\\\out: The file was not found." "$?:$out"
in_dev cp --overwrite yes 'file:\\\d\link.jpg' 'file:\\\e' 2>/dev/null
check "no copy of a file outside through a link" "1:secret:no" "$?:$(cat "$work/outside/s.jpg"):$([[ -e $dev/e/link.jpg ]] && echo yes || echo no)"
check "outside is untouched" "s.jpg" "$(ls "$work/outside")"

truncate -s 3G "$dev/e/big.jpg"
check "ls prints the size of a file over 2 GB" $'F\tbig.jpg\t3221225472' "$(in_dev ls --ext jpg 'file:\\\e' | grep big)"

finish "cli storage"
