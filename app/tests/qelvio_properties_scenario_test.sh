#!/usr/bin/env bash
# A user's round with a camera photo's properties and a voice note, on a
# virtual X server: open Properties on the photo from the image list, type a
# description and an artist on the Annotation page, OK; view the photo, hold
# the record key for three seconds (the audio dialog opens recording and
# stops when the key comes up), play the note, OK, Esc back to the browser.
# Then exiftool reads the description, the artist and the note from the
# file, and every other tag as before; the note is the tone the microphone
# heard and what was played is the note. Each window leaves a screenshot.
#
# The sound device is ALSA's file plugin over its null device, with named
# pipes on both sides: recording reads a sox tone that a small writer feeds
# at the speed of a real microphone, and what is played is taken at the
# speed of a real loudspeaker into out.raw. (The null device itself keeps
# no time, so a plain file would give minutes of sound for a key held three
# seconds, and a note would play in an instant.)
#
# The program runs with a device root, so the folder tree shows only the
# scenario's folder and the places on the screen are known: the window is
# 800 x 560 at the screen's corner (there is no window manager), the image
# list 407 pixels across and 50 down; dialogs are centred on the window.
#
# usage: qelvio_properties_scenario_test.sh QELVIO [SCREENSHOT-FOLDER]
# Exit 77 (skipped) only when a tool it needs is not installed.
set -uo pipefail

qelvio=$(realpath "$1")
shots=${2:-}
here=$(dirname "$(realpath "$0")")

source "$here/scenario.sh"
run_under_xvfb "qelvio properties scenario" "exiftool sox soxi jpegtran python3" "$0" "$@"

scenario_folders "$shots"
export QELVIO_DEVICE_ROOT=$work/device

# ---- the sound device ----
cat > "$work/asound.conf" << CONF
pcm.!default { type asym
  playback.pcm { type file slave.pcm "null" file "$work/speaker" format "raw" }
  capture.pcm { type file slave.pcm "null" file "/dev/null" infile "$work/mic" format "raw" } }
CONF
export ALSA_CONFIG_PATH=/usr/share/alsa/alsa.conf:$work/asound.conf QELVIO_AUDIO_DEVICE=default
# 60 seconds of a 440 Hz tone, 16-bit mono at 8000 Hz, as the microphone hears it.
sox -n -r 8000 -c 1 -b 16 -e signed -t raw "$work/tone.raw" synth 60 sine 440 vol 0.5
mkfifo "$work/mic"
# The microphone: each time the program opens the capture device (and with
# it the pipe), the tone from its start, 50 ms (800 bytes, the device's
# period) at a time on a steady clock, until the program closes it. Every
# write is one period, so each read of the file plugin gets a whole one.
python3 - "$work/tone.raw" "$work/mic" "$work/mic.log" << 'PY' &
import sys, time
tone = open(sys.argv[1], "rb").read()
log = open(sys.argv[3], "a", buffering=1)
while True:
    pipe = open(sys.argv[2], "wb", buffering=0)  # waits for the program to open the device
    log.write("opened\n")
    start, sent = time.monotonic(), 0
    try:
        while sent + 800 <= len(tone):
            pipe.write(tone[sent:sent + 800])
            sent += 800
            time.sleep(max(0.0, start + sent / 16000 - time.monotonic()))
    except BrokenPipeError:
        pass
    log.write("closed %d\n" % sent)
    try:
        pipe.close()
    except BrokenPipeError:
        pass
PY
touch "$work/mic.log"
mkfifo "$work/speaker"
# The loudspeaker: what the program plays, taken at the speed of a real one
# (16000 bytes a second), into out.raw. The pipe holds a quarter of a
# second, so the program cannot run ahead of it.
python3 - "$work/speaker" "$work/out.raw" "$work/speaker.log" << 'PY' &
import fcntl, os, sys, time
log = open(sys.argv[3], "a", buffering=1)
while True:
    # Opened before the program opens it, so the pipe's size is set first.
    pipe = os.open(sys.argv[1], os.O_RDONLY | os.O_NONBLOCK)
    fcntl.fcntl(pipe, 1031, 4096)  # F_SETPIPE_SZ
    start, taken = None, 0
    with open(sys.argv[2], "ab", buffering=0) as out:
        while True:
            try:
                chunk = os.read(pipe, 800)
            except BlockingIOError:  # playing, nothing yet
                time.sleep(0.005)
                continue
            if not chunk:  # no program yet, or it closed the device
                if taken:
                    break
                time.sleep(0.01)
                continue
            start = start or time.monotonic()
            out.write(chunk)
            taken += len(chunk)
            time.sleep(max(0.0, start + taken / 16000 - time.monotonic()))
    os.close(pipe)
    log.write("closed %d\n" % taken)
PY

# ---- the camera photo ----
# Big-endian Exif as some cameras write it, with the camera's make and
# model, exposure, date, GPS position, orientation and a thumbnail of the
# picture in IFD1.
photos=$QELVIO_DEVICE_ROOT/Photos
photo=$photos/IMG_0042.jpg
mkdir -p "$photos"
convert -size 640x480 plasma:fractal -seed 42 -quality 88 "$photo" 2> /dev/null
convert "$photo" -resize 160x120 -quality 75 "$work/thumb.jpg"
exiftool -q -overwrite_original -ExifByteOrder=MM -Make=NIKON -Model="COOLPIX 5700" -Orientation#=1 \
    -Software="COOLPIX 5700 v1.0" -DateTimeOriginal="2003:07:19 11:42:05" -CreateDate="2003:07:19 11:42:05" \
    -ExposureTime=1/250 -FNumber=5.6 -ISO=100 -FocalLength=8.9 -Flash#=16 -WhiteBalance#=0 \
    -GPSLatitude=43.2965 -GPSLatitudeRef=N -GPSLongitude=5.3698 -GPSLongitudeRef=E -GPSAltitude=12 \
    "-ThumbnailImage<=$work/thumb.jpg" "$photo"
cp "$photo" "$work/original.jpg"

# Every tag exiftool finds, one a line with its group, without the lines of
# what this round edits (ImageDescription, Artist, the FlashPix audio) and
# of the file's own facts that any save changes: its size, its modify,
# access and change times, and the Directory and FileName that differ for
# the copy kept for comparison.
other_tags() {
    exiftool -a -u -G1 -s -n "$1" |
        grep -Ev '^\[System\] +(FileSize|FileModifyDate|FileAccessDate|FileInodeChangeDate|Directory|FileName) ' |
        grep -Ev '^\[IFD0\] +(ImageDescription|Artist) |^\[FlashPix\] +AudioStream '
}
tags_before=$(other_tags "$work/original.jpg")
check "the photo has its camera tags" "NIKON|COOLPIX 5700|MM|160x120" \
    "$(exiftool -s3 -Make "$photo")|$(exiftool -s3 -Model "$photo")|$(exiftool -s3 -n -ExifByteOrder "$photo")|$(exiftool -b -ThumbnailImage "$photo" | identify -format %wx%h -)"

scenario_logs=("$work/log" "$work/mic.log")

shot_prefix=properties-

exif() { exiftool -s3 "-$1" "$photo"; }
has() { [[ "$(exif "$1" 2> /dev/null)" == "$2" ]]; }  # has TAG VALUE
has_note() { [[ -n "$(exif AudioStream 2> /dev/null)" ]]; }

# ---- the browser: Properties from the image list ----
"$qelvio" '\Photos' 2> "$work/log" &
pid=$!
main=$(window_of $pid "^Qelvio Mobile$") || step "the main window appears"
wait_for 20 grep -q "folder listed 1" "$work/log" || step "the folder's photo is listed"
wait_for 20 grep -q "visible thumbnails drawn" "$work/log" || step "the visible thumbnail is drawn"
sleep 0.3
shot 1-list

# A click selects the photo (first cell of the grid); Alt+Enter opens its
# properties on the General page.
click "$main" $((407 + 4 + 36)) $((50 + 4 + 42))
sleep 0.3
keys "$main" alt+Return
sheet=$(window_of $pid "^Image properties$" "$main") || step "Alt+Enter opens the properties"
sleep 0.5
shot 2-general

# The sheet is 420 wide, its tabs along the top: General, Annotation,
# Metadata. On Annotation the description box is the big one at the top,
# the artist's box below it.
click "$sheet" 128 24
sleep 0.5
click "$sheet" 270 138
sleep 0.3
xdotool type --delay 60 "Old port of Marseille at noon"
click "$sheet" 260 256
sleep 0.3
xdotool type --delay 60 "Cy Walker"
sleep 0.3
shot 3-annotation
click "$sheet" 212 24
sleep 0.5
shot 4-metadata
# Nothing is written before OK.
cmp -s "$photo" "$work/original.jpg" || fail "the file is unchanged while the sheet is open"

# OK (the bottom row: OK, Cancel, Help) writes the texts into the file.
click "$sheet" 197 352
gone "$sheet" || step "OK closes the properties"
wait_for 30 has Artist "Cy Walker" || step "OK writes the artist into the file"
check "description after OK" "Old port of Marseille at noon" "$(exif ImageDescription)"
check "no note yet" "" "$(exif AudioStream)"
sleep 0.5
shot 5-list-after-ok

# ---- the viewer: a note with the record key ----
keys "$main" Return
wait_for 30 grep -q "image shown IMG_0042.jpg" "$work/log" || step "Enter shows the photo"
sleep 0.5
xdotool windowfocus --sync "$main" 2> /dev/null
sleep 0.3
xdotool keydown XF86AudioRecord
wait_for 20 grep -q opened "$work/mic.log" || { xdotool keyup XF86AudioRecord; step "the record key records at once"; }
held=$(date +%s.%N)
audio=$(window_of $pid "^Audio$" "$main") || { xdotool keyup XF86AudioRecord; step "the record key opens the audio dialog"; }
sleep 1.2
shot 6-audio-recording
# Let go of the key three seconds after the recording began.
sleep "$(python3 -c "import time; print(max(0.0, $held + 3 - time.time()))")"
xdotool keyup XF86AudioRecord
# Releasing the key stops the recording: the device is closed.
wait_for 20 grep -q closed "$work/mic.log" || step "releasing the record key stops the recording"
sleep 0.5
shot 7-audio-recorded

# Play (the third picture button) plays the note into out.raw; it takes
# as long as the note lasts.
click "$audio" 133 42
wait_for 20 test -s "$work/out.raw" || step "Play plays the note"
sleep 1.2
shot 8-audio-playing
# The user listens to the end: the program closes the device.
wait_for 30 grep -q closed "$work/speaker.log" || step "the note plays to its end"
sleep 0.5
shot 9-audio-played
# OK (bottom right) takes the note; Esc returns to the browser, and the
# viewer, letting go of the photo, writes the note into its file.
click "$audio" 148 128
gone "$audio" || step "OK closes the audio dialog"
sleep 0.5
keys "$main" Escape
if ! wait_for 15 has_note; then
    # Without a window manager the keyboard may still be on the closed
    # dialog's window when the first Esc is typed.
    echo "Esc typed again: the first one did not reach the viewer"
    keys "$main" Escape
    wait_for 30 has_note || step "Esc back to the browser writes the note"
fi
sleep 0.5
shot 10-list-with-note

keys "$main" alt+f x
wait_exit $pid
check "exit status" 0 $?

# ---- what is on disk ----
check "the folder holds the photo alone" "IMG_0042.jpg" "$(ls "$photos")"
check "description" "Old port of Marseille at noon" "$(exif ImageDescription)"
check "artist" "Cy Walker" "$(exif Artist)"
check "every other tag as before" "$tags_before" "$(other_tags "$photo")"
cmp -s <(exiftool -b -ThumbnailImage "$photo") <(exiftool -b -ThumbnailImage "$work/original.jpg") ||
    fail "the thumbnail is kept byte for byte"
# The picture itself: the same compressed data, markers aside.
cmp -s <(jpegtran -copy none "$photo") <(jpegtran -copy none "$work/original.jpg") ||
    fail "the picture's compressed data is kept"

# The note: a WAV file sox reads as GSM 6.10 at 8000 Hz, about as long as
# the key was held (between 2 and 8 seconds: the key's release reaches the
# program late on a loaded machine), the tone the microphone heard.
exiftool -b -AudioStream "$photo" > "$work/note.wav"
check "the note's format" "8000 1 GSM" \
    "$(soxi -r "$work/note.wav") $(soxi -c "$work/note.wav") $(soxi -e "$work/note.wav" | cut -c1-3)"
samples=$(soxi -s "$work/note.wav")
((samples >= 2 * 8000 && samples <= 8 * 8000)) || fail "the note lasts about three seconds ($samples samples)"
sox "$work/note.wav" -t raw -e signed -b 16 "$work/decoded.raw" 2> /dev/null
# Signal-to-noise ratio of the decoded note against the tone from its start
# (leaving out the codec's first 40 ms): GSM 6.10 keeps a steady tone above
# 20 dB; a gap or a repeated stretch would not.
snr=$(python3 - "$work/tone.raw" "$work/decoded.raw" << 'PY'
import sys, struct, math
a = open(sys.argv[1], "rb").read(); b = open(sys.argv[2], "rb").read()
n = min(len(a), len(b)) // 2
x = struct.unpack("<%dh" % n, a[:2 * n]); y = struct.unpack("<%dh" % n, b[:2 * n])
s = sum(v * v for v in x[320:]); e = sum((p - q) ** 2 for p, q in zip(x[320:], y[320:]))
print(int(10 * math.log10(s / e)) if e else 100)
PY
)
((snr >= 20)) || fail "the note is the microphone's tone (SNR $snr dB)"
# What was played is the note, sample for sample.
cmp -s "$work/out.raw" "$work/decoded.raw" || fail "the played sound is the note"

finish "qelvio properties scenario"
