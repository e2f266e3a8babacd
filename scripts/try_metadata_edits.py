#!/usr/bin/env python3
"""Tries qelvio-cli's metadata edits on a folder of real JPEG files and
compares every result with the original through outside tools.

usage: try_metadata_edits.py QELVIO_CLI SOURCE_FOLDER SCRATCH_FOLDER

For every JPEG under SOURCE_FOLDER (copied into SCRATCH_FOLDER first, the
source is never written): annotate with a longer text, a shorter text and an
empty text (removal), embed a WAV made by sox and clear it, rotate by 90.
After each step it compares with the original:
  - exiftool -a -G1 -s -n and exiv2 -pa: only the edited tags may differ;
  - exiftool -validate -warning -a: no new warning;
  - djpeg: the same pixels (after the rotation: the same as
    jpegtran -copy all -trim -rotate 90);
  - the entropy-coded data (from the first SOS on) byte for byte;
  - the permission bits, and no file left in the temporary folder.
Prints one line per difference found; exit 0 always (it is a tool for
looking, not a test).
"""
import os
import re
import shutil
import stat
import subprocess
import sys

CLI, SOURCE, SCRATCH = sys.argv[1:4]
CACHE = os.path.join(SCRATCH, "cache")
TMP = os.path.join(CACHE, "qelvio", "tmp")
ENV = dict(os.environ, XDG_CACHE_HOME=CACHE, XDG_CONFIG_HOME=os.path.join(SCRATCH, "config"))

LONG = "A much longer description text than any camera would have written, " * 3
# Values that legitimately follow a moved directory or value.
MOVABLE = {"ExifOffset", "GPSInfo", "InteropOffset", "ThumbnailOffset", "Exif.Image.ExifTag",
           "Exif.Image.GPSTag", "Exif.Photo.InteroperabilityTag", "Exif.Thumbnail.JPEGInterchangeFormat"}
IGNORED_GROUPS = {"[System]", "[ExifTool]"}
IGNORED_FILE_TAGS = {"FileSize"}


def run(args, **kw):
    return subprocess.run(args, capture_output=True, env=ENV, timeout=120, **kw)


def exiftool_tags(path):
    out = {}
    for line in run(["exiftool", "-a", "-G1", "-s", "-n", path]).stdout.decode("latin-1").splitlines():
        group, _, rest = line.partition(" ")
        name, _, value = rest.strip().partition(":")
        name = name.strip()
        if group in IGNORED_GROUPS or (group == "[File]" and name in IGNORED_FILE_TAGS):
            continue
        out.setdefault((group, name), []).append(value.strip())
    return out


def exiv2_tags(path):
    out = {}
    for line in run(["exiv2", "-pa", path]).stdout.decode("latin-1").splitlines():
        parts = line.split(None, 3)
        if not parts:
            continue
        out.setdefault(parts[0], []).append(" ".join(parts[1:]))
    return out


def warnings(path):
    # The summary line ("Validate: N Warnings") and sizes inside messages
    # are left out, so that only a new kind of warning counts.
    lines = run(["exiftool", "-validate", "-warning", "-a", path]).stdout.decode("latin-1").splitlines()
    return {re.sub(r"[0-9]+ bytes", "N bytes", l) for l in lines
            if ("Warning" in l or "Error" in l) and not l.startswith("Validate")}


def pixels(path):
    r = run(["djpeg", "-ppm", path])  # exit status 2: decoded with warnings
    return r.stdout if r.returncode in (0, 2) and r.stdout else b"djpeg failed: " + r.stderr


def entropy(data):
    """The bytes from the first SOS marker on (scans, and what follows)."""
    i = 2
    while i + 4 <= len(data):
        if data[i] != 0xFF:
            return None
        m = data[i + 1]
        if m == 0xFF:
            i += 1
            continue
        if m == 0xDA:
            return data[i:]
        i += 2 + (data[i + 2] << 8 | data[i + 3])
    return None


def diff_maps(a, b, allowed):
    diffs = []
    for k in sorted(set(a) | set(b), key=str):
        name = k[1] if isinstance(k, tuple) else k
        if name in allowed or name in MOVABLE:
            continue
        if a.get(k) != b.get(k):
            diffs.append(f"{k}: {a.get(k)} -> {b.get(k)}")
    return diffs


def check(name, step, orig, result, allowed_exiftool, allowed_exiv2, reference_pixels, mode, rc, err):
    problems = []
    if rc != 0:
        problems.append(f"rc {rc}: {err.strip()[:200]}")
    problems += ["exiftool " + d for d in diff_maps(exiftool_tags(orig), exiftool_tags(result), allowed_exiftool)]
    problems += ["exiv2 " + d for d in diff_maps(exiv2_tags(orig), exiv2_tags(result), allowed_exiv2)]
    problems += ["new warning " + w for w in sorted(warnings(result) - warnings(orig))]
    if pixels(result) != reference_pixels:
        problems.append("pixels differ")
    if step != "rotate":
        with open(orig, "rb") as f:
            e0 = entropy(f.read())
        with open(result, "rb") as f:
            e1 = entropy(f.read())
        if e0 != e1:
            problems.append("entropy-coded data differs")
    if stat.S_IMODE(os.stat(result).st_mode) != mode:
        problems.append(f"mode {oct(stat.S_IMODE(os.stat(result).st_mode))} != {oct(mode)}")
    if os.path.isdir(TMP) and os.listdir(TMP):
        problems.append(f"left in tmp: {os.listdir(TMP)}")
        for f in os.listdir(TMP):
            os.remove(os.path.join(TMP, f))
    for p in problems:
        print(f"{name}\t{step}\t{p}")
    sys.stdout.flush()


def main():
    work = os.path.join(SCRATCH, "edits")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    wav = os.path.join(SCRATCH, "note.wav")
    subprocess.run(["sox", "-n", "-r", "8000", "-c", "1", "-b", "16", wav, "synth", "1.5", "sine", "440"], check=True)
    jpegs = []
    for root, _, files in os.walk(SOURCE):
        for f in files:
            if f.lower().endswith((".jpg", ".jpeg", ".mpo")):
                jpegs.append(os.path.join(root, f))
    for source in sorted(jpegs):
        name = os.path.relpath(source, SOURCE)
        orig = os.path.join(work, name.replace("/", "_") + ".orig.jpg")
        shutil.copyfile(source, orig)
        os.chmod(orig, 0o640)
        base_pixels = pixels(orig)
        steps = [
            ("long", ["annotate", None, "--description", LONG, "--artist", "Artist of some length"],
             {"ImageDescription", "Artist"}, {"Exif.Image.ImageDescription", "Exif.Image.Artist"}),
            ("short", ["annotate", None, "--description", "Short", "--artist", "A"],
             {"ImageDescription", "Artist"}, {"Exif.Image.ImageDescription", "Exif.Image.Artist"}),
            ("remove", ["annotate", None, "--description", "", "--artist", ""],
             {"ImageDescription", "Artist"}, {"Exif.Image.ImageDescription", "Exif.Image.Artist"}),
        ]
        for step, args, allowed1, allowed2 in steps:
            target = orig.replace(".orig.jpg", f".{step}.jpg")
            shutil.copyfile(orig, target)
            os.chmod(target, 0o640)
            args = [CLI] + [a if a is not None else target for a in args]
            r = run(args)
            check(name, step, orig, target, allowed1, allowed2, base_pixels, 0o640, r.returncode, r.stderr.decode())
        # Audio: embed, then clear; the clear result must be like the original.
        target = orig.replace(".orig.jpg", ".audio.jpg")
        shutil.copyfile(orig, target)
        os.chmod(target, 0o640)
        r = run([CLI, "audio", target, "--embed", wav])
        flashpix = {k[1] for k in exiftool_tags(target) if k[0] == "[FlashPix]"}
        check(name, "embed", orig, target, flashpix, set(), base_pixels, 0o640, r.returncode, r.stderr.decode())
        back = run(["exiftool", "-b", "-AudioStream", target]).stdout
        with open(wav, "rb") as f:
            if r.returncode == 0 and back != f.read():
                print(f"{name}\tembed\texiftool -b -AudioStream differs ({len(back)} bytes)")
        r = run([CLI, "audio", target, "--clear"])
        check(name, "clear", orig, target, set(), set(), base_pixels, 0o640, r.returncode, r.stderr.decode())
        # Lossless rotation against jpegtran.
        target = orig.replace(".orig.jpg", ".rotate.jpg")
        shutil.copyfile(orig, target)
        os.chmod(target, 0o640)
        reference = orig.replace(".orig.jpg", ".jpegtran.jpg")
        jt = run(["jpegtran", "-copy", "all", "-trim", "-rotate", "90", "-outfile", reference, orig])
        r = run([CLI, "transform", "--rotate", "90", target])
        ref_pixels = pixels(reference) if jt.returncode == 0 else b"jpegtran failed"
        rotated = {"Orientation", "ImageWidth", "ImageHeight", "ExifImageWidth", "ExifImageHeight",
                   "ImageSize", "Megapixels", "ThumbnailImage", "ThumbnailLength", "XResolution",
                   "YResolution", "FocalPlaneXResolution", "FocalPlaneYResolution"}
        rotated2 = {"Exif.Image.Orientation", "Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension",
                    "Exif.Thumbnail.JPEGInterchangeFormatLength"}
        check(name, "rotate", orig, target, rotated, rotated2, ref_pixels, 0o640, r.returncode, r.stderr.decode())


main()
