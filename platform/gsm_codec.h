// GSM 6.10 in WAV49 framing (format 49 of WAV files): blocks of 65 bytes,
// each two GSM frames of 160 samples packed as 32 + 33 bytes, at 8000 Hz
// mono. A wrapper over libgsm; one object per stream, since the frames of a
// block are chained. Not thread-safe: one thread per object.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qelvio::platform {

inline constexpr std::size_t kGsmBlockSamples = 320;
inline constexpr std::size_t kGsmBlockBytes = 65;

class GsmEncoder {
public:
    GsmEncoder();
    ~GsmEncoder();
    GsmEncoder(const GsmEncoder&) = delete;
    GsmEncoder& operator=(const GsmEncoder&) = delete;
    // False when libgsm had no memory for its state.
    bool ok() const { return state_ != nullptr; }
    // Encodes 320 samples into one 65-byte block.
    void encode(const int16_t* samples, uint8_t* block);

private:
    void* state_;
};

class GsmDecoder {
public:
    GsmDecoder();
    ~GsmDecoder();
    GsmDecoder(const GsmDecoder&) = delete;
    GsmDecoder& operator=(const GsmDecoder&) = delete;
    bool ok() const { return state_ != nullptr; }
    // Decodes one 65-byte block into 320 samples; false for a block libgsm
    // rejects (its samples are then silence).
    bool decode(const uint8_t* block, int16_t* samples);

private:
    void* state_;
};

}  // namespace qelvio::platform
