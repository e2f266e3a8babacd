#!/usr/bin/env bash
# qelvio-cli ls and cp on a scratch folder.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check NAME EXPECTED ACTUAL
    if [[ "$2" != "$3" ]]; then
        printf 'FAIL %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

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

if ((failures)); then echo "0 passed, $failures failed"; exit 1; fi
echo "cli storage checks passed"
