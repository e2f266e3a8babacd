#include "metadata/wav_sound.h"

#include "metadata/wav_audio.h"

#include <cstring>
#include <new>
#include <vector>

namespace qelvio::metadata {
namespace {

constexpr uint16_t kPcm = 1, kMicrosoftAdpcm = 2, kImaAdpcm = 17, kGsm610 = 49;

uint32_t u32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

}  // namespace

int read_wav_sound(const uint8_t* wav, std::size_t length, platform::Sound& sound) {
    WavFormat format;
    if (read_wav_format(wav, length, format) != 0) return kWavNotSupported;
    if (format.format_tag == kMicrosoftAdpcm || format.format_tag == kImaAdpcm) {
        std::vector<uint8_t> pcm;
        int status = decode_adpcm(wav, length, pcm);
        if (status == kWavOtherFormat) status = kWavNotSupported;
        return status != 0 ? status : read_wav_sound(pcm.data(), pcm.size(), sound);
    }
    platform::Sound::Encoding encoding;
    if (format.format_tag == kPcm && format.bits_per_sample == 8)
        encoding = platform::Sound::Encoding::pcm8;
    else if (format.format_tag == kPcm && format.bits_per_sample == 16)
        encoding = platform::Sound::Encoding::pcm16;
    else if (format.format_tag == kGsm610 && format.channels == 1)
        encoding = platform::Sound::Encoding::gsm610;
    else
        return kWavNotSupported;
    if (format.channels == 0 || format.channels > 8 || format.samples_per_second == 0) return kWavNotSupported;
    // Chunks after the format chunk (its size may count padding, as in the
    // recorder's own files) up to "data"; its length is trusted only as far
    // as the image goes.
    std::size_t pos = 12;
    while (pos + 8 <= length) {
        uint32_t size = u32(wav + pos + 4);
        if (std::memcmp(wav + pos, "data", 4) == 0) {
            std::size_t available = length - pos - 8;
            std::size_t data = size < available ? size : available;
            if (data == 0) return kWavEmpty;
            try {
                sound.data.assign(wav + pos + 8, wav + pos + 8 + data);
            } catch (const std::bad_alloc&) {
                return kWavNoMemory;
            }
            sound.encoding = encoding;
            sound.channels = format.channels;
            sound.rate = format.samples_per_second;
            return 0;
        }
        if (size > length - pos - 8) break;
        pos += 8 + size + (size & 1);
    }
    return kWavNotSupported;
}

}  // namespace qelvio::metadata
