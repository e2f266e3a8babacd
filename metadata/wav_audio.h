// WAV images of audio annotations: reading the format record, and turning
// 4-bit ADPCM sounds (IMA and Microsoft) into 16-bit PCM WAV files, which
// every player can play.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qelvio::metadata {

// The 16 bytes that follow the "fmt " chunk size.
struct WavFormat {
    uint16_t format_tag = 0;  // 1 PCM, 2 Microsoft ADPCM, 17 IMA ADPCM, 49 GSM 6.10
    uint16_t channels = 0;
    uint32_t samples_per_second = 0;
    uint32_t average_bytes_per_second = 0;
    uint16_t block_alignment = 0;
    uint16_t bits_per_sample = 0;
};

enum WavStatus : int {
    kWavTruncated = -1,    // the header is cut short
    kWavNotSupported = -3, // not a WAV file in a layout we read
    kWavNoMemory = -4,
    kWavEmpty = -5,        // no sound data
    kWavOtherFormat = -6,  // neither Microsoft nor IMA ADPCM
    kWavCannotWrite = -15, // the output file cannot be written
};

// Reads the format record of a WAV image: 0, or -3 when the bytes do not
// start with "RIFF", a size, "WAVE" and "fmt ".
int read_wav_format(const uint8_t* wav, std::size_t length, WavFormat& format);

// Decodes an IMA ADPCM (format 17) or Microsoft ADPCM (format 2) WAV image
// into a 16-bit PCM WAV image in memory: 0, or one of the WavStatus codes
// (out then empty).
int decode_adpcm(const uint8_t* wav, std::size_t length, std::vector<uint8_t>& out);

// Decodes an IMA ADPCM (format 17) or Microsoft ADPCM (format 2) WAV image
// into a 16-bit PCM WAV file at the device path output. 0 on success; on
// failure one of the WavStatus codes, and no output file remains.
int convert_adpcm(const uint8_t* wav, std::size_t length, std::u16string_view output);

}  // namespace qelvio::metadata
