#!/usr/bin/env bash
# qelvio-cli audio --record and --play on the sound device, with ALSA's file
# plugin over its null device standing in for sound hardware: recording
# reads in.raw, playing writes out.raw. Checked with sox and exiftool.
set -u
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache XDG_DATA_HOME=$work/data
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

cat > "$work/asound.conf" <<CONF
pcm.!default { type asym
  playback.pcm { type file slave.pcm "null" file "$work/out.raw" format "raw" }
  capture.pcm { type file slave.pcm "null" file "/dev/null" infile "$work/in.raw" format "raw" } }
CONF
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$work/asound.conf
export QELVIO_AUDIO_DEVICE=default
# More tone than is recorded: past its end the device repeats stale data.
sox -n -r 8000 -c 1 -b 16 -e signed -t raw "$work/in.raw" synth 40 sine 440 vol 0.5

u32() { python3 -c 'import sys,struct; d=open(sys.argv[1],"rb").read(); print(struct.unpack_from("<I",d,int(sys.argv[2]))[0])' "$1" "$2"; }
# SNR in dB of a sound file sox decodes against in.raw (after 40 ms).
snr() {
    sox "$1" -t raw -e signed -b 16 "$work/decoded.raw" 2>/dev/null
    python3 - "$work/in.raw" "$work/decoded.raw" <<'PY'
import sys, struct, math
a = open(sys.argv[1], "rb").read(); b = open(sys.argv[2], "rb").read()
n = min(len(a), len(b)) // 2
x = struct.unpack("<%dh" % n, a[:2 * n]); y = struct.unpack("<%dh" % n, b[:2 * n])
s = sum(v * v for v in x[320:]); e = sum((p - q) ** 2 for p, q in zip(x[320:], y[320:]))
print("%d" % (10 * math.log10(s / e)) if e else 100)
PY
}

# A 3-second note into a WAV file: 3 × 1625 bytes of GSM 6.10 after the header.
"$cli" audio --record 3 --out "$work/note.wav"
check "record exit status" "0" "$?"
check "note size and lengths" "4927 4919 4875" \
    "$(stat -c %s "$work/note.wav") $(u32 "$work/note.wav" 4) $(u32 "$work/note.wav" 48)"
check "sox reads the note" "8000 1 GSM" \
    "$(soxi -r "$work/note.wav") $(soxi -c "$work/note.wav") $(soxi -e "$work/note.wav" | cut -c1-3)"
check "at least 20 dB after GSM" "yes" "$( (( $(snr "$work/note.wav") >= 20 )) && echo yes || echo no)"
check "the note lasts 3 s" "24000" "$(soxi -s "$work/note.wav")"

# Played back: out.raw holds the samples sox decodes from the note.
"$cli" audio "$work/note.wav" --play
check "play exit status" "0" "$?"
sox "$work/note.wav" -t raw -e signed -b 16 "$work/expected.raw" 2>/dev/null
check "played samples" "same" "$(cmp -s "$work/out.raw" "$work/expected.raw" && echo same || echo differs)"
for enc in "-b 16 -e signed" "-b 8 -e unsigned" "-e ima-adpcm" "-e ms-adpcm"; do
    sox -n -r 8000 -c 1 $enc "$work/other.wav" synth 0.5 sine 300 vol 0.7
    "$cli" audio "$work/other.wav" --play
    sox "$work/other.wav" -t raw -e signed -b 16 "$work/expected.raw"
    check "plays $enc" "0 same" "$? $(cmp -s "$work/out.raw" "$work/expected.raw" && echo same || echo differs)"
done

# A note recorded into a camera photo: exiftool reads it byte for byte, and
# it survives a lossless rotate and an annotation edit; the other tags stay.
convert -size 160x120 plasma:fractal -seed 3 -quality 90 "$work/pic.jpg"
exiftool -q -overwrite_original -Make=Canon -Model="Canon PowerShot S40" -DateTimeOriginal="2002:05:01 10:00:00" \
    -GPSLatitude=48.85 -GPSLatitudeRef=N -ExposureTime=1/60 "$work/pic.jpg"
tags() { exiftool -s -s -Make -Model -DateTimeOriginal -GPSLatitude -ExposureTime "$work/pic.jpg"; }
before=$(tags)
"$cli" audio "$work/pic.jpg" --record 3
check "record into the image" "0" "$?"
check "exiftool extracts the recorded note" "same" \
    "$(exiftool -b -AudioStream "$work/pic.jpg" | cmp -s - "$work/note.wav" && echo same || echo differs)"
"$cli" transform --rotate 90 "$work/pic.jpg" > /dev/null
check "rotated" "120x160" "$(identify -format '%wx%h' "$work/pic.jpg")"
check "the note survives the rotate" "same" \
    "$(exiftool -b -AudioStream "$work/pic.jpg" | cmp -s - "$work/note.wav" && echo same || echo differs)"
"$cli" annotate "$work/pic.jpg" --description "Harbour" --artist "Ann"
check "the note survives an annotation edit" "same Harbour" \
    "$(exiftool -b -AudioStream "$work/pic.jpg" | cmp -s - "$work/note.wav" && echo same || echo differs) $(exiftool -s3 -ImageDescription "$work/pic.jpg")"
check "the other tags stay" "$before" "$(tags)"
"$cli" audio "$work/pic.jpg" --play
check "the image's note plays" "0 same" \
    "$? $(sox "$work/note.wav" -t raw -e signed -b 16 - 2>/dev/null | cmp -s - "$work/out.raw" && echo same || echo differs)"

# Without a sound device: a clear message, exit 1, nothing written.
cp "$work/pic.jpg" "$work/pic.before"
msg=$(QELVIO_AUDIO_DEVICE=qelvio_no_such_device "$cli" audio --record 1 --out "$work/none.wav" 2>&1)
check "no device: record fails" "1" "$?"
check "no device: the recorder message" "yes yes" \
    "$([[ $msg == *"An error occured while trying to access the recorder."* ]] && echo yes) $([[ $msg == *qelvio_no_such_device* ]] && echo yes)"
check "no device: no file" "no" "$([[ -e $work/none.wav ]] && echo yes || echo no)"
QELVIO_AUDIO_DEVICE=qelvio_no_such_device "$cli" audio "$work/pic.jpg" --record 1 2>/dev/null
check "no device: the image is unchanged" "1 same" "$? $(cmp -s "$work/pic.jpg" "$work/pic.before" && echo same || echo differs)"
msg=$(QELVIO_AUDIO_DEVICE=qelvio_no_such_device "$cli" audio "$work/note.wav" --play 2>&1)
check "no device: play fails" "1 yes" "$? $([[ $msg == *"The sound can't be played."* ]] && echo yes)"
printf 'not a sound' > "$work/text.wav"
"$cli" audio "$work/text.wav" --play 2>/dev/null
check "a file that is no sound" "1" "$?"

for bad in "--record 0 --out x.wav" "--record 1.5 --out x.wav" "--record abc --out x.wav" "--record 3"; do
    "$cli" audio $bad 2>/dev/null
    check "bad usage: $bad" "2" "$?"
done
"$cli" audio "$work/pic.jpg" --record 9999 2>/dev/null
check "bad usage: too long" "2" "$?"
check "no temporary files left" "" "$(ls -A "$work/cache/qelvio/tmp" 2>/dev/null)"

finish "cli audio"
