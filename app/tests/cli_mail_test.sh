#!/usr/bin/env bash
# qelvio-cli mail into a Maildir outbox, read back by Python's e-mail parser
# and by mutt; the attachments checked with cmp and identify.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
export QELVIO_MAILDIR=$work/Maildir EMAIL=tester@example.org
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
reader=$(dirname "${BASH_SOURCE[0]}")/../../sharing/mail/tests/read_outbox.py

mkdir -p "$work/pics" "$work/parts"
convert -size 1600x1200 plasma:fractal -seed 1 -quality 90 "$work/pics/dsc00012.jpg"
exiftool -q -overwrite_original -Make=Canon '-Model=Canon EOS D30' "$work/pics/dsc00012.jpg"
convert -size 2048x1536 plasma:fractal -seed 2 -quality 85 "$work/pics/big.jpg"
convert -size 400x300 gradient:navy-gold "$work/pics/small gif.gif"

out=$("$cli" mail --to "ann@example.org; Bob <bob@example.net>" --subject "Harbour photos" \
      --text "Two from the harbour" --reduce 2 "$work/pics/dsc00012.jpg" "$work/pics/small gif.gif" 2>/dev/null)
check "mail: stored" "The e-mail has been stored in your Outbox." "$(head -1 <<<"$out")"
message=$(sed -n 2p <<<"$out")
check "mail: one message in new/, none in tmp/" "1 0" \
    "$(ls "$QELVIO_MAILDIR/.Outbox/new" | wc -l) $(ls "$QELVIO_MAILDIR/.Outbox/tmp" | wc -l)"
parsed=$(python3 "$reader" "$message" "$work/parts")
check "mail: parsed without defects" $'defects\t0\nfrom\ttester@example.org\nto\tann@example.org, Bob <bob@example.net>\nsubject\tHarbour photos\ndate\tyes\nmessage-id\tyes\nbody\tutf-8\tTwo from the harbour\nattachment\t1\tdsc00012.jpg\timage/jpeg\tbase64\nattachment\t2\tsmall gif.gif\timage/gif\tbase64' "$parsed"
check "mail: Small gives 576x432 at quality 50" "JPEG 576x432 50" "$(identify -format '%m %wx%h %Q' "$work/parts/1")"
cmp -s "$work/parts/2" "$work/pics/small gif.gif" || fail "mail: the smaller image attached unchanged"
check "mail: temporary files removed" "" "$(ls -A "$work/cache/qelvio/tmp" 2>/dev/null)"

rm -rf "$QELVIO_MAILDIR"
out=$("$cli" mail --to ann@example.org --reduce 1 "$work/pics/big.jpg" 2>/dev/null)
python3 "$reader" "$(sed -n 2p <<<"$out")" "$work/parts" > "$work/parsed"
check "mail: default subject" $'subject\tImages from Qelvio' "$(grep '^subject' "$work/parsed")"
check "mail: Extra Small gives 512x384" "JPEG 512x384 50" "$(identify -format '%m %wx%h %Q' "$work/parts/1")"

# mutt opens the Outbox and lists the message: one new message, its index
# line with the recipient and the subject.
rm -rf "$QELVIO_MAILDIR"
"$cli" mail --to ann@example.org --subject "Seen by mutt" --reduce 0 "$work/pics/big.jpg" > /dev/null 2>&1
screen=$(TERM=xterm HOME=$work timeout 20 script -qec \
    "mutt -n -F /dev/null -R -e 'set folder=$QELVIO_MAILDIR' -f '$QELVIO_MAILDIR/.Outbox' -e 'push <exit>'" /dev/null 2>&1)
grep -q "Msgs:1 New:1" <<<"$screen" || fail "mutt: opens the Outbox with one new message"
grep -Eq "1 N .* To ann@.*Seen by mutt" <<<"$screen" || fail "mutt: lists the message"

# No recipients: the semicolon hint, nothing sent.
rm -rf "$QELVIO_MAILDIR"
err=$("$cli" mail --to " ; " "$work/pics/big.jpg" 2>&1 >/dev/null); status=$?
check "mail: no recipients" "2 qelvio-cli mail: Provide one or more recipients, each separated by a semicolon." "$status $err"
check "mail: nothing stored" "no" "$([[ -e $QELVIO_MAILDIR ]] && echo yes || echo no)"

# A store that cannot be opened.
printf x > "$work/notadir"
err=$(QELVIO_MAILDIR=$work/notadir "$cli" mail --to a@example.org "$work/pics/big.jpg" 2>&1 >/dev/null); status=$?
check "mail: store not accessible" "1 qelvio-cli mail: The mail store is not accessible; the e-mail cannot be sent." \
    "$status $(tail -1 <<<"$err")"
check "mail: temporary files removed after a failure" "" "$(ls -A "$work/cache/qelvio/tmp" 2>/dev/null)"

finish cli.mail
