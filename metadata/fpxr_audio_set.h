// FpxrAudioSet: an audio annotation as the payloads of FlashPix stream-data
// APP2 segments ("FPXR", type 2, contents index 4). The stream bytes of the
// segments, in file order, are a complete WAV file; the first segment also
// carries a fixed 28-byte stream header.
//
// Other programs find the stream through a FlashPix contents list (an APP2
// "FPXR" segment of type 1) whose entry 4 names the audio stream and gives
// its size (the stream header and the WAV bytes). Placing a set writes one
// before the audio segments when the file has none, updates the size in an
// existing one, and removes the list again with the audio when the list is
// the one this program writes.
//
// Writing: build from the WAV bytes, place into a parsed editor (before its
// rewrite), then write after the rewrite. Reading: read from a parsed
// editor, then take the audio bytes.
#pragma once

#include "metadata/jpeg_segment_editor.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qelvio::metadata {

class FpxrAudioSet {
public:
    static constexpr std::size_t kMaxEntries = 1024;
    // Stream bytes per segment: the first one also has the stream header.
    static constexpr std::size_t kFirstPieceSize = 65489;
    static constexpr std::size_t kLaterPieceSize = 65517;
    // The longest WAV image that fits in kMaxEntries segments.
    static constexpr std::size_t kMaxAudioLength = kFirstPieceSize + (kMaxEntries - 1) * kLaterPieceSize;
    // build's result for a WAV image longer than kMaxAudioLength.
    static constexpr int kTooLong = -2;

    // Splits a WAV image into segment payloads; the number of segments, -1
    // when there is no memory for them, or kTooLong when the image needs
    // more than kMaxEntries segments (the set is then empty).
    int build(const uint8_t* audio, std::size_t length);
    // Collects the audio segments of a parsed file; their number, or a
    // negative status.
    int read(JpegSegmentEditor& editor);
    // The total stream length; with a buffer, also copies the stream there.
    std::size_t audio_bytes(uint8_t* buffer) const;
    // Sizes the file's APP2 segments to hold this set: the file's audio
    // segments are replaced in order, more are inserted, the rest deleted.
    // Other APP2 segments are never touched. 0 or a negative status.
    int place(JpegSegmentEditor& editor);
    // After the editor's rewrite, fills the placed segments; 1 when every
    // one was written completely, else 0 or a negative status.
    int write(JpegSegmentEditor& editor);

    const std::vector<std::vector<uint8_t>>& entries() const { return payloads; }
    // The APP2 payloads of a new file: the contents list naming the stream,
    // then the entries; none for an empty set.
    std::vector<std::vector<uint8_t>> file_segments() const;
    void clear() { payloads.clear(), targets.clear(), contents.clear(), contents_target = -1; }

    // The contents list this program writes for a stream of that size
    // (the 28-byte stream header included).
    static std::vector<uint8_t> contents_list(uint32_t stream_size);

private:
    // The stream's size as the contents list gives it; 0 for an empty set.
    uint32_t stream_size() const;

    std::vector<std::vector<uint8_t>> payloads;
    std::vector<int> targets;  // the APP2 number each payload goes to
    std::vector<uint8_t> contents;  // the contents list's new payload
    int contents_target = -1;       // its APP2 number, -1 when it is not written
};

}  // namespace qelvio::metadata
