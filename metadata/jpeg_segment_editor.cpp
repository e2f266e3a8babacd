#include "metadata/jpeg_segment_editor.h"

#include <algorithm>
#include <climits>
#include <new>

namespace qelvio::metadata {
namespace {

constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;
constexpr uint8_t kComment = 0xFE;
constexpr uint32_t kCopyBufferSize = 32000;

bool is_app(uint8_t marker) { return marker >= 0xE0 && marker <= 0xEF; }
bool has_length(uint8_t marker) {
    return marker != kStartOfImage && marker != kEndOfImage && marker != kStartOfScan;
}
// Bytes of an unchanged segment in the file: its markers, lengths and
// payloads.
uint64_t source_span(const JpegSegment& s) {
    if (s.pieces.empty()) return 2 + uint64_t{s.source_size};
    return uint64_t{s.source_size} + 4 * uint64_t{s.pieces.size()};
}
// Physical segments needed for a payload (at least one).
uint32_t physical_count(uint32_t size) {
    return size == 0 ? 1 : (size + kMaxSegmentPayload - 1) / kMaxSegmentPayload;
}

}  // namespace

JpegSegmentEditor::~JpegSegmentEditor() {
    if (rewritten || open_index >= 0) finish(false);
}

int32_t JpegSegmentEditor::parse() {
    list.clear();
    rewritten = false;
    open_index = -1;
    int32_t file_size = stream.size();
    if (file_size < 0) return file_size;
    int32_t status = stream.open(0);
    if (status < 0) return status;
    auto fail = [&]() {
        stream.close(0);
        list.clear();
        return kSegmentNotJpeg;
    };
    auto read_at = [&](uint32_t pos, uint8_t* bytes, uint32_t n) {
        return stream.seek(0, 1, static_cast<int32_t>(pos)) == P_OK &&
               stream.read(0, bytes, n) == static_cast<int32_t>(n);
    };
    const auto size = static_cast<uint32_t>(file_size);
    uint32_t pos = 0;
    bool scan_passed = false;
    for (;;) {
        uint8_t head[4];
        if (pos + 2 > size || !read_at(pos, head, 2) || head[0] != 0xFF || head[1] == 0 ||
            head[1] == 0xFF) {
            if (scan_passed) break;
            return fail();
        }
        uint8_t marker = head[1];
        if (list.empty() && marker != kStartOfImage) return fail();
        if (marker == kStartOfScan) {
            // The scan runs to the end-of-image marker in the last two bytes;
            // a file without one (cut short, or with data after its end) keeps
            // every byte in the scan, so a rewrite loses nothing.
            uint8_t tail[2] = {};
            uint32_t end = size;
            if (size >= pos + 4 && read_at(size - 2, tail, 2) && tail[0] == 0xFF &&
                tail[1] == kEndOfImage)
                end = size - 2;
            list.push_back({marker, pos + 2, end - (pos + 2), 0, 0, 0, false, false, false, {}});
            scan_passed = true;
            pos = end;
            if (end == size) break;
            continue;
        }
        if (!has_length(marker)) {
            if (marker == kEndOfImage && !scan_passed) return fail();
            list.push_back({marker, pos + 2, 0, 0, 0, 0, false, false, false, {}});
            pos += 2;
            if (marker == kEndOfImage) break;
            continue;
        }
        if (!read_at(pos + 2, head + 2, 2)) return fail();
        uint32_t length = (uint32_t{head[2]} << 8) | head[3];
        if (length < 2 || pos + 2 + length > size) return fail();
        uint32_t payload = length - 2;
        JpegSegment* previous = list.empty() ? nullptr : &list.back();
        if (previous && previous->marker == marker && previous->source_size > 0 &&
            previous->source_size % kMaxSegmentPayload == 0 && !previous->pieces.empty()) {
            previous->source_size += payload;  // continues the previous segment
            previous->pieces.push_back(payload);
        } else {
            list.push_back({marker, pos + 4, payload, 0, 0, 0, false, false, false, {payload}});
        }
        pos += 2 + length;
    }
    stream.close(0);
    return P_OK;
}

const JpegSegment* JpegSegmentEditor::find(uint8_t marker, int n) const {
    for (const JpegSegment& s : list)
        if (s.marker == marker && n-- == 0) return &s;
    return nullptr;
}

JpegSegment* JpegSegmentEditor::find_mutable(uint8_t marker, int n) {
    return const_cast<JpegSegment*>(find(marker, n));
}

int32_t JpegSegmentEditor::set_segment(uint8_t marker, int n, uint32_t size) {
    if (!is_app(marker)) return kSegmentNone;
    if (rewritten) return kSegmentBusy;
    if (JpegSegment* s = find_mutable(marker, n)) {
        s->deleted = size == 0;
        s->replaced = size != 0;
        s->replacement_size = size;
        return P_OK;
    }
    if (size == 0) return P_OK;
    // A new segment is numbered after every existing one with its marker, so
    // it goes right after the last of them wherever they are (an APP13 may
    // lie between an APP1 and an ICC APP2, for one): placed before one of
    // them, it would take its number and the caller's writes would miss it.
    auto last = std::find_if(list.rbegin(), list.rend(), [&](const JpegSegment& s) { return s.marker == marker; });
    if (last != list.rend()) {
        JpegSegment s;
        s.marker = marker;
        s.inserted = true;
        s.replaced = true;
        s.replacement_size = size;
        list.insert(last.base(), s);
        return P_OK;
    }
    // Otherwise after the first APPn segment, pass over comments and APPn
    // segments of lower markers; insert before the first other segment.
    auto it = std::find_if(list.begin(), list.end(), [](const JpegSegment& s) { return is_app(s.marker); });
    if (it == list.end()) {
        // No APPn segment at all (scanners and web tools write such files):
        // the new one goes right after the start-of-image marker.
        if (list.empty()) return kSegmentNotJpeg;
        it = list.begin() + 1;
    }
    while (it != list.end() && (it->marker == kComment || (is_app(it->marker) && it->marker <= marker)))
        ++it;
    JpegSegment s;
    s.marker = marker;
    s.inserted = true;
    s.replaced = true;
    s.replacement_size = size;
    list.insert(it, s);
    return P_OK;
}

int32_t JpegSegmentEditor::insert_segment_before(uint8_t marker, int n, uint32_t size) {
    if (!is_app(marker) || size == 0) return kSegmentNone;
    if (rewritten) return kSegmentBusy;
    const JpegSegment* at = find(marker, n);
    if (!at) return kSegmentNone;
    JpegSegment s;
    s.marker = marker;
    s.inserted = true;
    s.replaced = true;
    s.replacement_size = size;
    list.insert(list.begin() + (at - list.data()), s);
    return P_OK;
}

uint32_t JpegSegmentEditor::physical(const JpegSegment& s, bool output, uint32_t k, uint32_t* left) const {
    uint32_t start = output ? s.new_offset : s.source_offset;
    uint32_t size = output ? s.new_size : s.source_size;
    if (output && s.replaced) {
        // Written here: physical segments of kMaxSegmentPayload bytes.
        uint32_t in_piece = k % kMaxSegmentPayload;
        if (left) *left = std::min(kMaxSegmentPayload - in_piece, size - k);
        return start + (k / kMaxSegmentPayload) * 4 + k;
    }
    if (s.pieces.empty()) {
        if (left) *left = size - k;
        return start + k;
    }
    // As the input has them (unchanged segments keep their pieces).
    uint32_t position = start;
    for (std::size_t i = 0; i < s.pieces.size(); ++i) {
        bool last = i + 1 == s.pieces.size();
        if (k < s.pieces[i] || last) {
            if (left) *left = k <= s.pieces[i] ? s.pieces[i] - k : 0;
            return position + k;
        }
        k -= s.pieces[i];
        position += s.pieces[i] + 4;
    }
    return position;
}

int32_t JpegSegmentEditor::read_segment(uint8_t marker, int n, void* buffer, uint32_t length) {
    const JpegSegment* s = find(marker, n);
    if (!s || s->inserted) return kSegmentNone;
    if (!buffer) return static_cast<int32_t>(s->source_size);
    int32_t size = open_segment(marker, n);
    if (size < 0) return size;
    int32_t got = read_from_segment(buffer, std::min<uint32_t>(length, static_cast<uint32_t>(size)));
    close_segment();
    return got;
}

int32_t JpegSegmentEditor::open_segment(uint8_t marker, int n) {
    if (open_index >= 0) return kSegmentAlreadyOpen;
    const JpegSegment* s = find(marker, n);
    if (!s || s->deleted || (!rewritten && s->inserted)) return kSegmentNone;
    if (!rewritten) {
        int32_t status = stream.open(0);
        if (status < 0) return status;
    }
    open_index = static_cast<int>(s - list.data());
    open_for_writing = rewritten;
    open_position = 0;
    int32_t status = seek_segment(1, 0);
    if (status < 0) {
        close_segment();
        return status;
    }
    return static_cast<int32_t>(rewritten ? s->new_size : s->source_size);
}

int32_t JpegSegmentEditor::seek_segment(int origin, int32_t offset) {
    if (open_index < 0) return kSegmentNoneOpen;
    const JpegSegment& s = list[static_cast<std::size_t>(open_index)];
    uint32_t size = open_for_writing ? s.new_size : s.source_size;
    int64_t base = origin == 0 ? open_position : origin == 2 ? size : 0;
    int64_t target = base + offset;
    if (target < 0 || target > size) return kSegmentOutside;
    open_position = static_cast<uint32_t>(target);
    int32_t status = stream.seek(open_for_writing ? 1 : 0, 1,
                                 static_cast<int32_t>(physical(s, open_for_writing, open_position, nullptr)));
    return status < 0 ? status : P_OK;
}

int32_t JpegSegmentEditor::read_from_segment(void* buffer, uint32_t count) {
    if (open_index < 0 || open_for_writing) return kSegmentNoneOpen;
    const JpegSegment& s = list[static_cast<std::size_t>(open_index)];
    if (count > s.source_size - open_position) return kSegmentOutside;
    auto* out = static_cast<uint8_t*>(buffer);
    for (uint32_t done = 0; done < count;) {
        // Stay within one physical segment; its header lies between them.
        uint32_t left = 0;
        physical(s, false, open_position, &left);
        uint32_t piece = std::min(count - done, left);
        if (piece == 0 || seek_segment(1, static_cast<int32_t>(open_position)) < 0) return kSegmentShortTransfer;
        if (stream.read(0, out + done, piece) != static_cast<int32_t>(piece)) return kSegmentShortTransfer;
        done += piece;
        open_position += piece;
    }
    return static_cast<int32_t>(count);
}

int32_t JpegSegmentEditor::write_to_segment(const void* buffer, uint32_t count) {
    if (open_index < 0 || !open_for_writing) return kSegmentNoneOpen;
    const JpegSegment& s = list[static_cast<std::size_t>(open_index)];
    if (count > s.new_size - open_position) return kSegmentOutside;
    const auto* in = static_cast<const uint8_t*>(buffer);
    for (uint32_t done = 0; done < count;) {
        uint32_t left = 0;
        physical(s, true, open_position, &left);
        uint32_t piece = std::min(count - done, left);
        if (piece == 0 || seek_segment(1, static_cast<int32_t>(open_position)) < 0) return kSegmentShortTransfer;
        if (stream.write(in + done, piece) != static_cast<int32_t>(piece)) return kSegmentShortTransfer;
        done += piece;
        open_position += piece;
    }
    return static_cast<int32_t>(count);
}

int32_t JpegSegmentEditor::close_segment() {
    if (open_index < 0) return kSegmentNoneOpen;
    if (!open_for_writing) stream.close(0);
    open_index = -1;
    return P_OK;
}

int32_t JpegSegmentEditor::copy_range(uint32_t from, uint32_t length, std::vector<char>& buffer) {
    if (stream.seek(0, 1, static_cast<int32_t>(from)) < 0) return kSegmentShortTransfer;
    while (length > 0) {
        uint32_t piece = std::min<uint32_t>(length, static_cast<uint32_t>(buffer.size()));
        if (stream.read(0, buffer.data(), piece) != static_cast<int32_t>(piece)) return kSegmentShortTransfer;
        if (stream.write(buffer.data(), piece) != static_cast<int32_t>(piece)) return kSegmentShortTransfer;
        length -= piece;
    }
    return P_OK;
}

int32_t JpegSegmentEditor::write_placeholder(const JpegSegment& s, std::vector<char>& buffer) {
    std::fill(buffer.begin(), buffer.end(), 0);
    for (uint32_t left = s.replacement_size; left > 0;) {
        uint32_t payload = std::min(left, kMaxSegmentPayload);
        uint32_t length = payload + 2;
        const char header[4] = {char(0xFF), char(s.marker), char(length >> 8), char(length & 0xFF)};
        if (stream.write(header, 4) != 4) return kSegmentShortTransfer;
        for (uint32_t part = payload; part > 0;) {
            uint32_t piece = std::min<uint32_t>(part, static_cast<uint32_t>(buffer.size()));
            if (stream.write(buffer.data(), piece) != static_cast<int32_t>(piece)) return kSegmentShortTransfer;
            part -= piece;
        }
        left -= payload;
    }
    return P_OK;
}

int32_t JpegSegmentEditor::rewrite() {
    if (open_index >= 0 || rewritten) return kSegmentBusy;
    if (list.empty()) return kSegmentNotJpeg;
    // The whole layout is checked before anything is written.
    uint64_t total = 0;
    for (const JpegSegment& s : list) {
        if (s.deleted) continue;
        total += s.replaced ? uint64_t{s.replacement_size} + 4 * uint64_t{physical_count(s.replacement_size)}
                            : source_span(s);
    }
    if (total > static_cast<uint64_t>(INT32_MAX)) return kSegmentTooLarge;
    std::vector<char> buffer;
    try {
        buffer.resize(kCopyBufferSize);
    } catch (const std::bad_alloc&) {
        return kSegmentNoMemory;
    }
    int32_t status = stream.open(0);
    if (status >= 0) status = stream.open(1);
    uint32_t out = 0;
    for (JpegSegment& s : list) {
        if (status < 0) break;
        if (s.deleted) continue;
        if (s.replaced) {
            s.new_offset = out + 4;
            s.new_size = s.replacement_size;
            status = write_placeholder(s, buffer);
            out += s.replacement_size + 4 * physical_count(s.replacement_size);
            continue;
        }
        // Every byte of its physical segments, headers included, as it was.
        uint32_t header = has_length(s.marker) ? 4 : 2;
        uint32_t span = static_cast<uint32_t>(source_span(s));
        s.new_offset = out + header;
        s.new_size = s.source_size;
        status = copy_range(s.source_offset - header, span, buffer);
        out += span;
    }
    if (status < 0) {
        stream.close(0);
        stream.close(1, false);
        return status;
    }
    rewritten = true;
    return P_OK;
}

int32_t JpegSegmentEditor::finish(bool commit) {
    if (open_index >= 0) close_segment();
    stream.close(0);
    if (!rewritten) return P_OK;
    rewritten = false;
    int32_t status = stream.close(1, commit);
    if (status < 0 || !commit) return status;
    list.erase(std::remove_if(list.begin(), list.end(), [](const JpegSegment& s) { return s.deleted; }),
               list.end());
    for (JpegSegment& s : list) {
        if (s.replaced) {
            s.pieces.clear();
            for (uint32_t left = s.new_size; left > 0; left -= std::min(left, kMaxSegmentPayload))
                s.pieces.push_back(std::min(left, kMaxSegmentPayload));
            if (s.pieces.empty()) s.pieces.push_back(0);
        }
        s.source_offset = s.new_offset;
        s.source_size = s.new_size;
        s.replaced = s.inserted = false;
        s.replacement_size = 0;
    }
    return P_OK;
}

}  // namespace qelvio::metadata
