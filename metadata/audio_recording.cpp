#include "metadata/audio_recording.h"

namespace qelvio::metadata {
namespace {

void put32(std::vector<uint8_t>& wav, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) wav[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> recording_header() {
    return {'R', 'I', 'F', 'F', 0,    0,    0, 0, 'W', 'A', 'V', 'E', 'f',  'm',  't', ' ', 24,  0,
            0,   0,   49,  0,   1,    0,    0x40, 0x1F, 0, 0, 0x59, 0x06, 0,   0,   65,  0,   0,  0,
            2,   0,   0x40, 0x01, 0, 0, 0, 0, 'd', 'a', 't', 'a', 0,    0,    0,   0};
}

void set_recording_lengths(std::vector<uint8_t>& wav) {
    if (wav.size() < kRecordingHeaderSize) return;
    put32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
    put32(wav, 48, static_cast<uint32_t>(wav.size() - kRecordingHeaderSize));
}

}  // namespace qelvio::metadata
