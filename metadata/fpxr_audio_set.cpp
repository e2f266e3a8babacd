#include "metadata/fpxr_audio_set.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace qelvio::metadata {
namespace {

constexpr uint8_t kApp2 = 0xE2;
constexpr std::size_t kHeaderSize = 13;        // "FPXR\0", version, type, index, offset
constexpr std::size_t kFirstHeaderSize = 41;   // with the stream header
constexpr uint8_t kStreamHeader[28] = {0xFE, 0xFF, 0x00, 0x00, 0x00, 0x04, 0x02, 0x00, 0x01, 0x01,
                                       0x00, 0x10, 0xC0, 0x6F, 0xD0, 0x11, 0xBD, 0x01, 0x00, 0x60,
                                       0x97, 0x19, 0xA1, 0x80, 0x01, 0x00, 0x00, 0x00};

// A stream-data segment of the audio stream (contents index 4).
bool is_audio(const uint8_t* p, std::size_t n) {
    return n >= kHeaderSize && std::memcmp(p, "FPXR\0", 5) == 0 && p[5] == 0 && p[6] == 2 &&
           p[7] == 0 && p[8] == 4;
}

// The APP2 numbers of the file's audio segments, and how many APP2 there are.
int find_audio(JpegSegmentEditor& editor, std::vector<int>& audio) {
    int count = 0;
    for (const JpegSegment& s : editor.segments()) {
        if (s.marker != kApp2) continue;
        int n = count++;
        if (s.inserted || s.source_size <= 12) continue;
        uint8_t head[kHeaderSize];
        int32_t got = editor.read_segment(kApp2, n, head, kHeaderSize);
        if (got < 0) return got;
        if (is_audio(head, static_cast<std::size_t>(got))) audio.push_back(n);
    }
    return count;
}

}  // namespace

int FpxrAudioSet::build(const uint8_t* audio, std::size_t length) {
    clear();
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
    std::vector<int> audio;
    int app2_count = find_audio(editor, audio);
    if (app2_count < 0) return app2_count;
    targets.clear();
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
    for (std::size_t i = 0; i < payloads.size(); ++i) {
        int32_t size = editor.open_segment(kApp2, targets[i]);
        if (size < 0) return size;
        const std::vector<uint8_t>& p = payloads[i];
        bool complete = size == static_cast<int32_t>(p.size()) &&
                        editor.write_to_segment(p.data(), static_cast<uint32_t>(p.size())) ==
                            static_cast<int32_t>(p.size());
        editor.close_segment();
        if (!complete) return 0;
    }
    return 1;
}

}  // namespace qelvio::metadata
