#include "metadata/wav_audio.h"

#include "platform/file_system.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace qelvio::metadata {
namespace {

constexpr uint16_t kMicrosoftAdpcm = 2;
constexpr uint16_t kImaAdpcm = 17;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t s16(const uint8_t* p) { return static_cast<int16_t>(u16(p)); }
uint32_t u32(const uint8_t* p) { return u16(p) | (static_cast<uint32_t>(u16(p + 2)) << 16); }
void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
int16_t clamp16(int v) { return static_cast<int16_t>(std::clamp(v, -32768, 32767)); }

constexpr std::array<int, 89> kImaSteps = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr std::array<int, 16> kImaIndexChange = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                 -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
    int predictor = 0;
    int index = 0;
    int16_t decode(int nibble) {
        int step = kImaSteps[static_cast<std::size_t>(index)];
        int diff = step >> 3;
        if (nibble & 4) diff += step;
        if (nibble & 2) diff += step >> 1;
        if (nibble & 1) diff += step >> 2;
        predictor = clamp16(nibble & 8 ? predictor - diff : predictor + diff);
        index = std::clamp(index + kImaIndexChange[static_cast<std::size_t>(nibble)], 0, 88);
        return static_cast<int16_t>(predictor);
    }
};

// One IMA block: a 4-byte header per channel, then per channel groups of 4
// bytes (8 samples, low nibble first) in turn.
void decode_ima_block(const uint8_t* block, std::size_t size, int channels, std::vector<int16_t>& out) {
    std::size_t header = 4u * static_cast<std::size_t>(channels);
    if (size < header) return;
    ImaChannel state[2];
    for (int c = 0; c < channels; ++c) {
        state[c].predictor = s16(block + 4 * c);
        state[c].index = std::clamp<int>(block[4 * c + 2], 0, 88);
        out.push_back(static_cast<int16_t>(state[c].predictor));
    }
    // Each round holds 4 bytes of every channel: 8 sample frames.
    std::size_t round = 4u * static_cast<std::size_t>(channels);
    for (std::size_t pos = header; pos + round <= size; pos += round) {
        int16_t frames[8][2];
        for (int c = 0; c < channels; ++c)
            for (int k = 0; k < 4; ++k) {
                uint8_t b = block[pos + 4 * static_cast<std::size_t>(c) + static_cast<std::size_t>(k)];
                frames[2 * k][c] = state[c].decode(b & 0x0F);
                frames[2 * k + 1][c] = state[c].decode(b >> 4);
            }
        for (auto& frame : frames)
            for (int c = 0; c < channels; ++c) out.push_back(frame[c]);
    }
}

constexpr int kMsCoefficients[7][2] = {{256, 0},  {512, -256}, {0, 0},     {192, 64},
                                       {240, 0},  {460, -208}, {392, -232}};
constexpr int kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                   768, 614, 512, 409, 307, 230, 230, 230};

constexpr int kMaxMsDelta = std::numeric_limits<int>::max() / 768;

struct MsChannel {
    int coefficient1 = 0, coefficient2 = 0;
    int delta = 0;
    int sample1 = 0, sample2 = 0;
    int16_t decode(int nibble) {
        int signed_nibble = nibble >= 8 ? nibble - 16 : nibble;
        // Rounds down (an arithmetic shift), as the common decoders do.
        int predicted = (sample1 * coefficient1 + sample2 * coefficient2) >> 8;
        int16_t sample = clamp16(predicted + signed_nibble * delta);
        sample2 = sample1;
        sample1 = sample;
        // Capped so a hostile block cannot overflow it; real streams stay far below.
        delta = std::clamp(kMsAdaptation[nibble] * delta / 256, 16, kMaxMsDelta);
        return sample;
    }
};

// One Microsoft ADPCM block: per channel a predictor number, then per
// channel the delta, the first and the second sample (second played
// first), then nibbles, high first, alternating between channels.
void decode_ms_block(const uint8_t* block, std::size_t size, int channels, std::vector<int16_t>& out) {
    std::size_t header = 7u * static_cast<std::size_t>(channels);
    if (size < header) return;
    MsChannel state[2];
    for (int c = 0; c < channels; ++c) {
        int predictor = std::min<int>(block[c], 6);  // the file's own table is not used
        state[c].coefficient1 = kMsCoefficients[predictor][0];
        state[c].coefficient2 = kMsCoefficients[predictor][1];
        state[c].delta = s16(block + channels + 2 * c);
        state[c].sample1 = s16(block + 3 * channels + 2 * c);
        state[c].sample2 = s16(block + 5 * channels + 2 * c);
    }
    for (int c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>(state[c].sample2));
    for (int c = 0; c < channels; ++c) out.push_back(static_cast<int16_t>(state[c].sample1));
    int channel = 0;
    for (std::size_t pos = header; pos < size; ++pos) {
        for (int nibble : {block[pos] >> 4, block[pos] & 0x0F}) {
            out.push_back(state[channel].decode(nibble));
            channel = (channel + 1) % channels;
        }
    }
}

}  // namespace

int read_wav_format(const uint8_t* wav, std::size_t length, WavFormat& format) {
    if (!wav || length < 36 || std::memcmp(wav, "RIFF", 4) != 0 || std::memcmp(wav + 8, "WAVE", 4) != 0 ||
        std::memcmp(wav + 12, "fmt ", 4) != 0)
        return kWavNotSupported;
    format.format_tag = u16(wav + 20);
    format.channels = u16(wav + 22);
    format.samples_per_second = u32(wav + 24);
    format.average_bytes_per_second = u32(wav + 28);
    format.block_alignment = u16(wav + 32);
    format.bits_per_sample = u16(wav + 34);
    return 0;
}

int decode_adpcm(const uint8_t* wav, std::size_t length, std::vector<uint8_t>& out) {
    out.clear();
    if (!wav || length < 22) return kWavTruncated;
    if (std::memcmp(wav, "RIFF", 4) != 0 || std::memcmp(wav + 8, "WAVE", 4) != 0 ||
        std::memcmp(wav + 12, "fmt ", 4) != 0)
        return kWavNotSupported;
    uint16_t tag = u16(wav + 20);
    if (tag != kImaAdpcm && tag != kMicrosoftAdpcm) return kWavOtherFormat;
    // Fixed layouts: the format chunk's size tells them apart.
    const std::size_t fmt_size = tag == kImaAdpcm ? 20 : 50;
    if (length < 20 + fmt_size || u32(wav + 16) != fmt_size) return kWavNotSupported;
    WavFormat format;
    read_wav_format(wav, length, format);
    int channels = format.channels;
    uint16_t samples_per_block = u16(wav + 38);
    if ((channels != 1 && channels != 2) || format.bits_per_sample != 4 || format.block_alignment == 0 ||
        samples_per_block == 0)
        return kWavNotSupported;
    std::size_t pos = 20 + fmt_size;
    if (pos + 12 <= length && std::memcmp(wav + pos, "fact", 4) == 0 && u32(wav + pos + 4) == 4) pos += 12;
    if (pos + 8 > length || std::memcmp(wav + pos, "data", 4) != 0) return kWavNotSupported;
    std::size_t data_size = std::min<std::size_t>(u32(wav + pos + 4), length - pos - 8);
    const uint8_t* data = wav + pos + 8;
    if (data_size == 0) return kWavEmpty;

    try {
        std::vector<int16_t> samples;
        std::size_t blocks = (data_size + format.block_alignment - 1) / format.block_alignment;
        samples.reserve(blocks * samples_per_block * static_cast<std::size_t>(channels));
        for (std::size_t offset = 0; offset < data_size; offset += format.block_alignment) {
            std::size_t size = std::min<std::size_t>(format.block_alignment, data_size - offset);
            std::size_t before = samples.size();
            if (tag == kImaAdpcm)
                decode_ima_block(data + offset, size, channels, samples);
            else
                decode_ms_block(data + offset, size, channels, samples);
            // A block never yields more than its declared number of samples.
            samples.resize(std::min(samples.size(),
                                    before + std::size_t{samples_per_block} * static_cast<std::size_t>(channels)));
        }
        out.reserve(44 + samples.size() * 2);
        uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
        out.insert(out.end(), {'R', 'I', 'F', 'F'});
        put32(out, 36 + data_bytes);
        out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
        put32(out, 16);
        put16(out, 1);
        put16(out, static_cast<uint32_t>(channels));
        put32(out, format.samples_per_second);
        put32(out, format.samples_per_second * static_cast<uint32_t>(channels) * 2);
        put16(out, static_cast<uint32_t>(channels) * 2);
        put16(out, 16);
        out.insert(out.end(), {'d', 'a', 't', 'a'});
        put32(out, data_bytes);
        for (int16_t s : samples) put16(out, static_cast<uint16_t>(s));
    } catch (const std::bad_alloc&) {
        out.clear();
        return kWavNoMemory;
    }
    return 0;
}

int convert_adpcm(const uint8_t* wav, std::size_t length, std::u16string_view output) {
    namespace fs = qelvio::platform;
    auto fail = [&](int status) {
        fs::delete_file(output);
        return status;
    };
    std::vector<uint8_t> out;
    if (int status = decode_adpcm(wav, length, out); status != 0) return fail(status);
    uint32_t handle = fs::open_file(output, fs::OpenMode::write_truncate);
    if (!handle) return fail(kWavCannotWrite);
    bool written = fs::write_file(handle, out.data(), static_cast<uint32_t>(out.size())) ==
                   static_cast<int64_t>(out.size());
    if (!fs::close_file(handle) || !written) return fail(kWavCannotWrite);
    return 0;
}

}  // namespace qelvio::metadata
