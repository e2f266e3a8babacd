#!/usr/bin/env bash
# Runs every fuzz target for FUZZ_SECONDS (default 30) from a seed corpus
# made here with the usual image tools; fails on any crash, leak, timeout
# or out-of-memory report.
#   usage: fuzz/run_fuzzers.sh BUILD_DIR
set -u
build=$(realpath "${1:-build/fuzz}")
seconds=${FUZZ_SECONDS:-30}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
artifacts="$build/fuzz/artifacts"
mkdir -p "$artifacts"
cd "$work" || exit 1

mkdir -p seeds/bmp seeds/gif seeds/jpeg seeds/tiff seeds/exif seeds/segments seeds/wav seeds/thumbindex
convert -size 23x17 gradient:red-blue -depth 8 pic.ppm
convert pic.ppm BMP3:seeds/bmp/a.bmp
convert pic.ppm -colors 12 BMP3:seeds/bmp/b.bmp
convert pic.ppm -colors 100 -compress RLE BMP3:seeds/bmp/c.bmp
convert pic.ppm -define bmp:subtype=RGB565 seeds/bmp/d.bmp
convert pic.ppm -colors 30 seeds/gif/a.gif
convert pic.ppm -colors 60 -interlace GIF seeds/gif/b.gif
convert -size 8x8 xc:red \( -size 4x4 xc:blue -repage +2+2 -dispose Previous \) -set delay 5 seeds/gif/c.gif
cjpeg pic.ppm > seeds/jpeg/a.jpg
cjpeg -progressive -grayscale pic.ppm > seeds/jpeg/b.jpg
convert pic.ppm -colorspace CMYK seeds/jpeg/c.jpg
cp seeds/jpeg/a.jpg seeds/jpeg/d.jpg
exiftool -q -overwrite_original -Make=X -FNumber=2 "-ThumbnailImage<=seeds/jpeg/b.jpg" seeds/jpeg/d.jpg
convert pic.ppm -depth 8 seeds/tiff/a.tif
convert pic.ppm -colors 16 -type Palette seeds/tiff/b.tif
convert pic.ppm -monochrome -compress Fax seeds/tiff/c.tif
convert pic.ppm -depth 8 -compress LZW seeds/tiff/d.tif
tiffcp -t -w 16 -l 16 seeds/tiff/a.tif seeds/tiff/e.tif
# Two directories, the second a reduced preview (in strips and in tiles):
# page choice, and broken second directories, are reached from these.
convert -size 100x80 gradient:red-blue -depth 8 -compress None main.tif
convert -size 10x8 xc:lime -depth 8 -compress None preview.tif
tiffcp main.tif preview.tif seeds/tiff/f.tif
tiffcp -t -w 16 -l 16 main.tif preview.tif seeds/tiff/g.tif
convert -size 40x30 gradient:white-black -colorspace Gray -depth 4 -compress None grey4.tif
tiffcp -t -w 16 -l 16 grey4.tif seeds/tiff/h.tif
# Exif payloads: the APP1 segment of the tagged JPEG, without its marker and length.
python3 - seeds/jpeg/d.jpg seeds/exif/a.bin <<'PY'
import sys
d = open(sys.argv[1], 'rb').read()
i = 2
while i + 4 <= len(d) and d[i] == 0xFF:
    n = d[i + 2] << 8 | d[i + 3]
    if d[i + 1] == 0xE1 and d[i + 4:i + 8] == b'Exif':
        open(sys.argv[2], 'wb').write(d[i + 4:i + 2 + n])
        break
    i += 2 + n
PY

cp seeds/jpeg/*.jpg seeds/segments/
sox -n -r 8000 -c 1 -e ima-adpcm seeds/wav/a.wav synth 0.05 sine 440
sox -n -r 8000 -c 2 -e ms-adpcm seeds/wav/b.wav synth 0.05 sine 440
# A thumbnail index of two entries, as the cache writes it.
python3 - seeds/thumbindex/a.bin <<'PY'
import struct, sys
out = struct.pack('<H', 2)
for path, name in (('file:\\\\\\a.jpg', 'OLM1.jpg'), ('file:\\\\\\b.jpg', '')):
    out += struct.pack('<I', len(path)) + path.encode('utf-16-le')
    out += name.encode('utf-16-le').ljust(24, b'\0') + struct.pack('<Q', 1234)
open(sys.argv[1], 'wb').write(out + struct.pack('<I', 0))
PY

mkdir -p seeds/jpeg_region
cjpeg -sample 2x2 -restart 1 pic.ppm > seeds/jpeg_region/a.jpg
cjpeg -sample 2x1 pic.ppm > seeds/jpeg_region/b.jpg
cjpeg -grayscale -restart 2B pic.ppm > seeds/jpeg_region/c.jpg
convert pic.ppm -colorspace CMYK -sampling-factor 1x1 seeds/jpeg_region/d.jpg
head -c 300 seeds/jpeg_region/a.jpg > seeds/jpeg_region/e.jpg

# A sender's side of a beaming session: hello, an announcement, a request,
# data and the end of the file (the first byte sets the fuzzer's piece size).
mkdir -p seeds/infrared
python3 - seeds/infrared/a.bin <<'PY'
import struct, sys
def packet(t, payload=b''):
    return struct.pack('<HH', t, len(payload)) + payload
name = 'a.jpg'.encode('utf-16-le') + b'\0\0'
out = bytes([7]) + packet(1, struct.pack('<H', 1000)) + packet(4, struct.pack('<H', 1)) + packet(5, name)
out += packet(7, struct.pack('<I', 600)) + packet(8, struct.pack('<Q', 1234)) + packet(9) + packet(10, struct.pack('<H', 1))
out += packet(11) + packet(12, b'x' * 512) + packet(12, b'y' * 88) + packet(13, struct.pack('<H', 1)) + packet(2)
open(sys.argv[1], 'wb').write(out)
PY

failures=0
for target in ${FUZZ_TARGETS:-bmp gif jpeg tiff exif segments wav thumbindex jpeg_region infrared}; do
    fuzzer="$build/fuzz/fuzz_$target"
    if [[ ! -x $fuzzer ]]; then
        echo "FAIL $target: $fuzzer not built"
        failures=$((failures + 1))
        continue
    fi
    mkdir -p "corpus/$target"
    if "$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "corpus/$target" "seeds/$target" > "$target.log" 2>&1; then
        echo "ok $target: $(grep -m1 'stat::number_of_executed_units' "$target.log")"
    else
        echo "FAIL $target (reproducer in $artifacts):"
        grep -m1 -A30 'ERROR:' "$target.log" || tail -40 "$target.log"
        failures=$((failures + 1))
    fi
done
exit $((failures > 0))
