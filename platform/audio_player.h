// Playing a sound on the sound device, asynchronously: play() returns at
// once and a worker thread of the player's own feeds the device, one period
// at a time, until the sound ends or stop() is called.
//
// The player takes sounds already taken out of their files (PCM or GSM 6.10
// samples with their format); turning a WAV image into a Sound, ADPCM
// included, is the business of the layer above.
//
// Threads: play(), stop() and the destructor come from one thread, the
// owner's; playing() from any. When a sound ends by itself the worker posts
// (message, 0, status) to the target given to play(), after the device is
// closed; a stopped sound posts nothing. The target must outlive the sound
// (stop() or the destructor ends it).
#pragma once

#include "platform/message_target.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qelvio::platform {

struct Sound {
    enum class Encoding {
        pcm8,    // unsigned 8-bit samples, interleaved
        pcm16,   // signed 16-bit little-endian samples, interleaved
        gsm610,  // GSM 6.10 in 65-byte WAV49 blocks, mono
    };
    Encoding encoding = Encoding::pcm16;
    unsigned channels = 1;
    unsigned rate = 8000;
    std::vector<uint8_t> data;
};

class AudioPlayer {
public:
    virtual ~AudioPlayer() = default;
    // Starts playing (a sound still playing is stopped first). An
    // AudioStatus: 0, kAudioBadSound (no channels or rate, GSM not mono),
    // kAudioNoDevice or kAudioDeviceFailed (audio_failure() says why).
    virtual int play(Sound sound, MessageTarget* done = nullptr, uint32_t message = 0) = 0;
    // Stops the sound and waits for the worker to end.
    virtual void stop() = 0;
    virtual bool playing() const = 0;
};

// A player on the sound device named by audio_device_name().
std::unique_ptr<AudioPlayer> make_audio_player();

}  // namespace qelvio::platform
