// Opening the sound device through ALSA, shared by the recorder and the
// player. Internal to the platform's audio files.
#pragma once

#include <alsa/asoundlib.h>

#include <string>

namespace qelvio::platform::alsa {

struct OpenedPcm {
    snd_pcm_t* pcm = nullptr;
    snd_pcm_uframes_t period_frames = 0;  // the most one transfer moves
};

// Opens the device for interleaved signed 16-bit samples at exactly `rate`
// and `channels`, non-blocking, prepared. An AudioStatus; on failure nothing
// stays open and audio_failure() says why.
int open_pcm(snd_pcm_stream_t stream, unsigned rate, unsigned channels, OpenedPcm& opened);

// Remembers why an audio call failed, for audio_failure().
void set_failure(const std::string& what, int alsa_error);
void clear_failure();

}  // namespace qelvio::platform::alsa
