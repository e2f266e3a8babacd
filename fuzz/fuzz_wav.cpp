// Fuzzes the WAV format reader and the ADPCM to PCM conversion.
#include "metadata/wav_audio.h"
#include "fuzz/scratch_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchDevice device;
    qelvio::metadata::WavFormat format;
    qelvio::metadata::read_wav_format(data, size, format);
    qelvio::metadata::convert_adpcm(data, size, u"\\out.wav");
    return 0;
}
