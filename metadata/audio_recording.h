// The WAV image the audio dialog records: a 52-byte header (format 49,
// GSM 6.10 at 8000 Hz mono, 65-byte blocks of 320 samples, a 24-byte format
// chunk that counts 4 bytes of padding) followed by the captured data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qelvio::metadata {

inline constexpr std::size_t kRecordingHeaderSize = 52;

// The header with both lengths zero, as a recording starts.
std::vector<uint8_t> recording_header();

// Writes the two lengths of a finished recording: at offset 4 the total
// length − 8, at offset 48 the total length − 52. Shorter images are left.
void set_recording_lengths(std::vector<uint8_t>& wav);

}  // namespace qelvio::metadata
