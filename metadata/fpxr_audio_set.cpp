#include "metadata/fpxr_audio_set.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>

namespace qelvio::metadata {
namespace {

constexpr uint8_t kApp2 = 0xE2;
constexpr std::size_t kHeaderSize = 13;        // "FPXR\0", version, type, index, offset
constexpr std::size_t kFirstHeaderSize = 41;   // with the stream header
constexpr uint8_t kStreamHeader[28] = {0xFE, 0xFF, 0x00, 0x00, 0x00, 0x04, 0x02, 0x00, 0x01, 0x01,
                                       0x00, 0x10, 0xC0, 0x6F, 0xD0, 0x11, 0xBD, 0x01, 0x00, 0x60,
                                       0x97, 0x19, 0xA1, 0x80, 0x01, 0x00, 0x00, 0x00};

constexpr uint16_t kAudioIndex = 4;
// Contents lists are small; a longer type-1 segment is not looked into.
constexpr uint32_t kMaxContentsList = 4096;

// A stream-data segment of the audio stream (contents index 4).
bool is_audio(const uint8_t* p, std::size_t n) {
    return n >= kHeaderSize && std::memcmp(p, "FPXR\0", 5) == 0 && p[5] == 0 && p[6] == 2 &&
           p[7] == 0 && p[8] == kAudioIndex;
}

bool is_contents_list(const uint8_t* p, std::size_t n) {
    return n >= 9 && std::memcmp(p, "FPXR\0", 5) == 0 && p[5] == 0 && p[6] == 1;
}

// Where the size field of the audio stream's entry lies in a contents list:
// each entry is a 32-bit big-endian size, a default byte, a zero-terminated
// little-endian UTF-16 name, and a 16-byte class identifier for a storage
// (size 0xFFFFFFFF). 0 when the list has no well-formed entry 4.
std::size_t audio_size_field(const std::vector<uint8_t>& list) {
    std::size_t count = std::size_t{list[7]} << 8 | list[8];
    std::size_t pos = 9;
    for (std::size_t entry = 0; entry < count && entry <= kAudioIndex; ++entry) {
        if (pos + 7 > list.size()) return 0;
        std::size_t size_at = pos;
        bool storage = list[pos] == 0xFF && list[pos + 1] == 0xFF && list[pos + 2] == 0xFF && list[pos + 3] == 0xFF;
        pos += 5;
        if (list[pos] != '/' || list[pos + 1] != 0) return 0;
        while (pos + 1 < list.size() && (list[pos] != 0 || list[pos + 1] != 0)) pos += 2;
        if (pos + 1 >= list.size()) return 0;
        pos += 2;
        if (storage) pos += 16;
        if (entry == kAudioIndex) return storage ? 0 : size_at;
    }
    return 0;
}

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

uint32_t get32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

struct Found {
    std::vector<int> audio;     // APP2 numbers of the audio segments
    int contents = -1;          // APP2 number of the first contents list
    std::vector<uint8_t> list;  // its payload
    int app2_count = 0;
};

// The file's audio segments and contents list; 0 or a negative status.
int find_audio(JpegSegmentEditor& editor, Found& found) {
    int count = 0;
    for (const JpegSegment& s : editor.segments()) {
        if (s.marker != kApp2) continue;
        int n = count++;
        if (s.inserted || s.source_size < 9) continue;
        uint8_t head[kHeaderSize];
        int32_t got = editor.read_segment(kApp2, n, head, kHeaderSize);
        if (got < 0) return got;
        auto length = static_cast<std::size_t>(got);
        if (s.source_size > 12 && is_audio(head, length)) {
            found.audio.push_back(n);
        } else if (found.contents < 0 && is_contents_list(head, length) && s.source_size <= kMaxContentsList) {
            found.list.resize(s.source_size);
            got = editor.read_segment(kApp2, n, found.list.data(), s.source_size);
            if (got != static_cast<int32_t>(s.source_size)) return got < 0 ? got : kSegmentShortTransfer;
            found.contents = n;
        }
    }
    found.app2_count = count;
    return 0;
}

}  // namespace

std::vector<uint8_t> FpxrAudioSet::contents_list(uint32_t stream_size) {
    // The root storage, three empty entries and the audio stream at index 4.
    std::vector<uint8_t> p = {'F', 'P', 'X', 'R', 0, 0, 1, 0, kAudioIndex + 1};
    auto entry = [&](std::u16string_view name, uint32_t size) {
        std::size_t at = p.size();
        p.resize(at + 5);
        put32(&p[at], size);
        for (char16_t c : name) p.insert(p.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
        p.insert(p.end(), {0, 0});
        if (size == 0xFFFFFFFF) p.insert(p.end(), 16, 0);  // class identifier
    };
    entry(u"/", 0xFFFFFFFF);
    entry(u"/Reserved 000001", 0);
    entry(u"/Reserved 000002", 0);
    entry(u"/Reserved 000003", 0);
    entry(u"/Audio Stream 000000", stream_size);
    return p;
}

uint32_t FpxrAudioSet::stream_size() const {
    return payloads.empty() ? 0 : static_cast<uint32_t>(sizeof kStreamHeader + audio_bytes(nullptr));
}

std::vector<std::vector<uint8_t>> FpxrAudioSet::file_segments() const {
    std::vector<std::vector<uint8_t>> out;
    if (payloads.empty()) return out;
    out.push_back(contents_list(stream_size()));
    out.insert(out.end(), payloads.begin(), payloads.end());
    return out;
}

int FpxrAudioSet::build(const uint8_t* audio, std::size_t length) {
    clear();
    if (length > kMaxAudioLength) return kTooLong;
    try {
        for (std::size_t done = 0; done < length && payloads.size() < kMaxEntries;) {
            bool first = payloads.empty();
            std::size_t piece = std::min(length - done, first ? kFirstPieceSize : kLaterPieceSize);
            std::vector<uint8_t> p(kHeaderSize, 0);
            std::memcpy(p.data(), "FPXR\0", 5);
            p[6] = 2;  // stream data, version 0
            p[8] = 4;  // the audio stream's contents index
            // The segment's offset within the stream (which starts with the
            // stream header). Readers here ignore it; other programs check it.
            uint32_t offset = first ? 0 : static_cast<uint32_t>(sizeof kStreamHeader + done);
            for (int i = 0; i < 4; ++i) p[9 + i] = static_cast<uint8_t>(offset >> (24 - 8 * i));
            if (first) p.insert(p.end(), std::begin(kStreamHeader), std::end(kStreamHeader));
            p.insert(p.end(), audio + done, audio + done + piece);
            payloads.push_back(std::move(p));
            done += piece;
        }
    } catch (const std::bad_alloc&) {
        clear();
        return -1;
    }
    return static_cast<int>(payloads.size());
}

int FpxrAudioSet::read(JpegSegmentEditor& editor) {
    clear();
    int n = 0;
    for (const JpegSegment& s : editor.segments()) {
        if (s.marker != kApp2) continue;
        int number = n++;
        if (s.inserted || s.source_size <= 12 || payloads.size() >= kMaxEntries) continue;
        uint8_t head[128];
        int32_t got = editor.read_segment(kApp2, number, head, sizeof head);
        if (got < 0) return got;
        if (!is_audio(head, static_cast<std::size_t>(got))) continue;
        // Before the first segment with stream bytes, short ones are skipped.
        if (payloads.empty() ? s.source_size <= 40 : s.source_size < kHeaderSize) continue;
        std::vector<uint8_t> payload(s.source_size);
        got = editor.read_segment(kApp2, number, payload.data(), s.source_size);
        if (got != static_cast<int32_t>(s.source_size)) return got < 0 ? got : kSegmentShortTransfer;
        payloads.push_back(std::move(payload));
    }
    return static_cast<int>(payloads.size());
}

std::size_t FpxrAudioSet::audio_bytes(uint8_t* buffer) const {
    std::size_t total = 0;
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        std::size_t skip = i == 0 ? kFirstHeaderSize : kHeaderSize;
        const std::vector<uint8_t>& p = payloads[i];
        if (p.size() <= skip) continue;
        if (buffer) std::memcpy(buffer + total, p.data() + skip, p.size() - skip);
        total += p.size() - skip;
    }
    return total;
}

int FpxrAudioSet::place(JpegSegmentEditor& editor) {
    Found found;
    if (int status = find_audio(editor, found); status < 0) return status;
    std::vector<int>& audio = found.audio;
    int app2_count = found.app2_count;
    targets.clear();
    contents.clear();
    contents_target = -1;
    uint32_t size = stream_size();
    if (found.contents >= 0) {
        std::size_t field = audio_size_field(found.list);
        if (payloads.empty() && field && found.list == contents_list(get32(&found.list[field]))) {
            // The list this program added goes with the audio.
            if (int32_t status = editor.set_segment(kApp2, found.contents, 0); status < 0) return status;
        } else if (field) {
            // Another program's list: only the audio stream's size changes.
            contents = found.list;
            put32(&contents[field], size);
            if (contents != found.list) {
                int32_t status = editor.set_segment(kApp2, found.contents, static_cast<uint32_t>(contents.size()));
                if (status < 0) return status;
                contents_target = found.contents;
            }
        }
    } else if (!payloads.empty()) {
        contents = contents_list(size);
        auto length = static_cast<uint32_t>(contents.size());
        int32_t status;
        if (!audio.empty()) {
            // Before the file's first audio segment, which moves up one.
            status = editor.insert_segment_before(kApp2, audio.front(), length);
            contents_target = audio.front();
            for (int& n : audio) ++n;
            ++app2_count;
        } else {
            contents_target = app2_count++;
            status = editor.set_segment(kApp2, contents_target, length);
        }
        if (status < 0) return status;
    }
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        // Reuse the file's audio segments in order; new ones go after the
        // last APP2 segment.
        int number = i < audio.size() ? audio[i] : app2_count++;
        int32_t status = editor.set_segment(kApp2, number, static_cast<uint32_t>(payloads[i].size()));
        if (status < 0) return status;
        targets.push_back(number);
    }
    for (std::size_t i = payloads.size(); i < audio.size(); ++i) {
        int32_t status = editor.set_segment(kApp2, audio[i], 0);
        if (status < 0) return status;
    }
    return 0;
}

int FpxrAudioSet::write(JpegSegmentEditor& editor) {
    if (targets.size() != payloads.size()) return kSegmentNone;
    for (std::size_t i = 0; i <= payloads.size(); ++i) {
        // The contents list first, when it is written, then the audio.
        if (i == 0 && contents_target < 0) continue;
        int32_t size = editor.open_segment(kApp2, i == 0 ? contents_target : targets[i - 1]);
        if (size < 0) return size;
        const std::vector<uint8_t>& p = i == 0 ? contents : payloads[i - 1];
        bool complete = size == static_cast<int32_t>(p.size()) &&
                        editor.write_to_segment(p.data(), static_cast<uint32_t>(p.size())) ==
                            static_cast<int32_t>(p.size());
        editor.close_segment();
        if (!complete) return 0;
    }
    return 1;
}

}  // namespace qelvio::metadata
