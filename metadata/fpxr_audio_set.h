// FpxrAudioSet: an audio annotation as the payloads of FlashPix stream-data
// APP2 segments ("FPXR", type 2, contents index 4). The stream bytes of the
// segments, in file order, are a complete WAV file; the first segment also
// carries a fixed 28-byte stream header.
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

    // Splits a WAV image into segment payloads; the number of segments, or
    // -1 when there is no memory for them (the set is then empty).
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
    void clear() { payloads.clear(), targets.clear(); }

private:
    std::vector<std::vector<uint8_t>> payloads;
    std::vector<int> targets;  // the APP2 number each payload goes to
};

}  // namespace qelvio::metadata
