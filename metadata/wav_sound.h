// A WAV image as a sound the player plays: 8- and 16-bit PCM and GSM 6.10
// data as they are, 4-bit IMA and Microsoft ADPCM decoded to 16-bit PCM
// first (the player itself knows no ADPCM, and the platform layer sits
// below this one).
#pragma once

#include "platform/audio_player.h"

#include <cstddef>
#include <cstdint>

namespace qelvio::metadata {

// Reads the format and data chunks of a WAV image into sound. 0, or a
// WavStatus: -3 not a WAV image or a format the player does not play,
// -5 no sound data, -4 no memory.
int read_wav_sound(const uint8_t* wav, std::size_t length, platform::Sound& sound);

}  // namespace qelvio::metadata
