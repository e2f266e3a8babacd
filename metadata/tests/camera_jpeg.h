// Camera-like JPEG files for the tests, and what outside tools say about
// them. A camera file here carries what cameras and phones write: IFD0 with
// a description and an artist, an Exif directory with a Canon-style maker
// note (an IFD whose value offsets count from the TIFF header, so that
// moving it breaks it), an Interop directory, GPS, an IFD1 JPEG thumbnail,
// an ICC profile and XMP. exiftool writes all of it but the maker note's
// contents, which are written here over a placeholder block.
#pragma once

#include "storage/tests/command_output.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace camera_jpeg {

using Bytes = std::vector<std::uint8_t>;

inline void put_be(Bytes& b, std::uint64_t v, int width) {
    for (int i = width - 1; i >= 0; --i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A display profile of about `size` bytes (a large tone curve fills it),
// valid enough for exiftool and libjpeg to carry it.
inline Bytes icc_profile(std::size_t size) {
    Bytes desc = {'d', 'e', 's', 'c', 0, 0, 0, 0};
    const char text[] = "Test profile";
    put_be(desc, sizeof text, 4);
    desc.insert(desc.end(), text, text + sizeof text);
    desc.resize(desc.size() + 4 + 4 + 3 + 67, 0);
    while (desc.size() % 4) desc.push_back(0);
    Bytes white = {'X', 'Y', 'Z', ' ', 0, 0, 0, 0};
    for (std::uint32_t v : {0xF6D6u, 0x10000u, 0xD32Du}) put_be(white, v, 4);
    std::size_t fixed = 128 + 4 + 36 + desc.size() + white.size() + 12;
    std::size_t n = size > fixed + 2 ? (size - fixed) / 2 : 1;
    Bytes curve = {'c', 'u', 'r', 'v', 0, 0, 0, 0};
    put_be(curve, n, 4);
    for (std::size_t i = 0; i < n; ++i) put_be(curve, n > 1 ? i * 65535 / (n - 1) : 0, 2);
    while (curve.size() % 4) curve.push_back(0);

    Bytes table;
    put_be(table, 3, 4);
    std::size_t offset = 128 + 4 + 36;
    for (auto [sig, data] : {std::pair{"desc", &desc}, {"wtpt", &white}, {"rTRC", &curve}}) {
        table.insert(table.end(), sig, sig + 4);
        put_be(table, offset, 4);
        put_be(table, data->size(), 4);
        offset += data->size();
    }
    Bytes p;
    put_be(p, offset, 4);
    for (const char* s : {"lcms"}) p.insert(p.end(), s, s + 4);
    put_be(p, 0x02100000, 4);
    for (const char* s : {"mntr", "RGB ", "XYZ "}) p.insert(p.end(), s, s + 4);
    for (int v : {2024, 1, 1, 0, 0, 0}) put_be(p, static_cast<std::uint64_t>(v), 2);
    for (const char* s : {"acsp", "APPL"}) p.insert(p.end(), s, s + 4);
    p.resize(p.size() + 4 + 8 + 8 + 4, 0);
    for (std::uint32_t v : {0xF6D6u, 0x10000u, 0xD32Du}) put_be(p, v, 4);
    p.insert(p.end(), {'l', 'c', 'm', 's'});
    p.resize(128, 0);
    p.insert(p.end(), table.begin(), table.end());
    for (const Bytes* d : {&desc, &white, &curve}) p.insert(p.end(), d->begin(), d->end());
    return p;
}

inline constexpr char kMakerNotePlaceholder[] = "QELVIO-MAKERNOTE";
inline constexpr std::size_t kMakerNoteSize = 160;

// A Canon-style maker note placed at `base` (offset from the TIFF header):
// camera settings, image type, firmware, owner and serial number.
inline Bytes canon_maker_note(std::uint32_t base, bool big) {
    Bytes note, data;
    auto put = [&](Bytes& b, std::uint64_t v, int width) {
        for (int i = 0; i < width; ++i)
            b.push_back(static_cast<std::uint8_t>(v >> (8 * (big ? width - 1 - i : i))));
    };
    const int entries = 5;
    std::uint32_t data_start = base + 2 + 12 * entries + 4;
    put(note, entries, 2);
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, const Bytes& value) {
        put(note, tag, 2);
        put(note, type, 2);
        put(note, count, 4);
        if (value.size() <= 4) {
            Bytes v = value;
            v.resize(4, 0);
            note.insert(note.end(), v.begin(), v.end());
        } else {
            put(note, data_start + data.size(), 4);
            data.insert(data.end(), value.begin(), value.end());
            if (data.size() & 1) data.push_back(0);
        }
    };
    auto text = [](const char* s, std::size_t count) {
        Bytes b(s, s + std::strlen(s));
        b.resize(count, 0);
        return b;
    };
    Bytes settings, serial;
    for (int v : {12, 2, 0, 4, 0, 1}) put(settings, static_cast<std::uint64_t>(v), 2);
    put(serial, 1234567, 4);
    entry(1, 3, 6, settings);
    entry(6, 2, 16, text("IMG:EOS 5D JPEG", 16));
    entry(7, 2, 24, text("Firmware Version 1.1.1", 24));
    entry(9, 2, 32, text("Ann Painter", 32));
    entry(12, 4, 1, serial);
    put(note, 0, 4);
    note.insert(note.end(), data.begin(), data.end());
    note.resize(kMakerNoteSize, 0);
    return note;
}

inline bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

inline std::string in_quotes(const std::string& path) { return "'" + path + "'"; }

// Makes `path` a camera-like JPEG (640 x 480) with Exif in the byte order
// "MM" or "II". The description is "original description text here".
inline bool make_camera_jpeg(const std::string& path, const std::string& order, int orientation = 1) {
    std::string thumb = path + ".thumb.jpg", icc = path + ".icc", note = path + ".mn";
    write_file(icc, icc_profile(3000));
    Bytes placeholder(kMakerNotePlaceholder, kMakerNotePlaceholder + sizeof kMakerNotePlaceholder - 1);
    placeholder.resize(kMakerNoteSize, 0);
    write_file(note, placeholder);
    bool ok = run("convert -size 640x480 plasma:fractal -seed 7 -quality 92 " + in_quotes(path)) &&
              run("convert -size 160x120 plasma:fractal -seed 2 -quality 80 " + in_quotes(thumb)) &&
              run("exiftool -q -q -n -overwrite_original -ExifByteOrder=" + order +
                  " -Make=Canon '-Model=Canon EOS 5D' '-ImageDescription=original description text here'"
                  " '-Artist=Ann Painter' -Orientation=" + std::to_string(orientation) + " -XResolution=300 -YResolution=300 -ResolutionUnit=2"
                  " -ExposureTime=0.004 -FNumber=2.8 -ISO=200 '-DateTimeOriginal=2024:05:01 10:20:30'"
                  " -ExifImageWidth=640 -ExifImageHeight=480"
                  " -GPSLatitude=12.5 -GPSLatitudeRef=N -GPSLongitude=45.25 -GPSLongitudeRef=E"
                  " -GPSAltitude=123.4 -InteropIndex=R98 '-ThumbnailImage<=" + thumb + "' '-ICC_Profile<=" +
                  icc + "' -XMP-dc:Title=Lake '-MakerNotes<=" + note + "' " + in_quotes(path));
    std::remove(thumb.c_str());
    std::remove(icc.c_str());
    std::remove(note.c_str());
    if (!ok) return false;
    // The maker note's contents, written where exiftool put the block.
    Bytes file = read_file(path);
    std::string s(file.begin(), file.end());
    std::size_t tiff = s.find(std::string("Exif\0\0", 6));
    std::size_t at = s.find(kMakerNotePlaceholder);
    if (tiff == std::string::npos || at == std::string::npos) return false;
    tiff += 6;
    Bytes mn = canon_maker_note(static_cast<std::uint32_t>(at - tiff), s.compare(tiff, 2, "MM") == 0);
    std::copy(mn.begin(), mn.end(), file.begin() + static_cast<long>(at));
    write_file(path, file);
    return true;
}

// exiftool's listing of every tag (-a -G1 -s -n), one "[group] name: value"
// line each, without the lines about the file itself and the tool.
inline std::vector<std::string> exiftool_tags(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(command_output("exiftool -a -G1 -s -n " + in_quotes(path) + " 2>&1"));
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("[System]", 0) == 0 || line.rfind("[ExifTool]", 0) == 0) continue;
        lines.push_back(line);
    }
    return lines;
}

// exiv2's listing (-pa), maker-note values included.
inline std::vector<std::string> exiv2_tags(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(command_output("exiv2 -pa " + in_quotes(path) + " 2>&1"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The warnings of exiftool's validation.
inline std::set<std::string> validation_warnings(const std::string& path) {
    std::set<std::string> warnings;
    std::istringstream in(command_output("exiftool -validate -warning -a -s -s -s " + in_quotes(path) + " 2>&1"));
    for (std::string line; std::getline(in, line);) warnings.insert(line);
    return warnings;
}

// Lines of `after` that are not in `before`, and the other way round.
inline std::pair<std::vector<std::string>, std::vector<std::string>> difference(
    std::vector<std::string> before, std::vector<std::string> after) {
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    std::vector<std::string> added, gone;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    std::set_difference(before.begin(), before.end(), after.begin(), after.end(), std::back_inserter(gone));
    return {added, gone};
}

// Physical segments up to the scan: marker and the whole segment's bytes.
inline std::vector<std::pair<int, std::string>> segments(const Bytes& file) {
    std::vector<std::pair<int, std::string>> out;
    for (std::size_t pos = 2; pos + 4 <= file.size() && file[pos] == 0xFF;) {
        int marker = file[pos + 1];
        std::size_t length = std::size_t{file[pos + 2]} << 8 | file[pos + 3];
        if (marker == 0xDA) break;
        if (pos + 2 + length > file.size()) break;
        out.emplace_back(marker, std::string(file.begin() + static_cast<long>(pos),
                                             file.begin() + static_cast<long>(pos + 2 + length)));
        pos += 2 + length;
    }
    return out;
}

// Everything from the start-of-scan marker on: the entropy-coded data.
inline std::string scan(const Bytes& file) {
    std::size_t pos = 2;
    while (pos + 4 <= file.size() && file[pos] == 0xFF && file[pos + 1] != 0xDA)
        pos += 2 + (std::size_t{file[pos + 2]} << 8 | file[pos + 3]);
    return pos < file.size() ? std::string(file.begin() + static_cast<long>(pos), file.end()) : std::string();
}

// The segments of `after` that are not byte for byte in `before`, by marker.
inline std::multiset<int> changed_segments(const Bytes& before, const Bytes& after) {
    auto old = segments(before);
    std::multiset<std::string> kept;
    for (auto& [marker, bytes] : old) kept.insert(bytes);
    std::multiset<int> changed;
    for (auto& [marker, bytes] : segments(after)) {
        auto it = kept.find(bytes);
        if (it == kept.end()) changed.insert(marker);
        else kept.erase(it);
    }
    return changed;
}

// The segments of `before` that are gone from `after`, by marker.
inline std::multiset<int> lost_segments(const Bytes& before, const Bytes& after) {
    return changed_segments(after, before);
}

// Whether the bytes hold the needle's bytes (compared as unsigned bytes, so
// that needles with bytes above 0x7F are found too).
inline bool contains(const Bytes& haystack, const std::string& needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); }) != haystack.end();
}

}  // namespace camera_jpeg
