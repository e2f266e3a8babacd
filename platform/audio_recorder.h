// Recording from the sound device as a wave-input device does it: 8000 Hz
// mono 16-bit samples captured through ALSA, encoded GSM 6.10 (WAV49
// framing) into two capture buffers of 10000 bytes that the owner queues and
// gets back, full, as messages.
//
// Threads: every call comes from one thread, the owner's (the dialog's).
// Capture and encoding run on a worker thread of the recorder's own, which
// posts (message, buffer number, bytes recorded) to the target when a
// buffer is full, and, when reset() stops the capture, once for every buffer
// still queued (the one being filled with what it holds, the others empty).
// A posted buffer belongs to the owner until queued again: the worker does
// not touch it. A buffer of 10000 bytes ends wherever the encoded stream
// reaches that size, in the middle of a block if need be; the buffers'
// contents in posting order are the stream.
//
// How to get one: make_audio_recorder() for the sound device; tests of the
// owners may use their own implementation.
#pragma once

#include "platform/message_target.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qelvio::platform {

class AudioRecorder {
public:
    static constexpr std::size_t kBufferSize = 10000;
    static constexpr int kBufferCount = 2;

    virtual ~AudioRecorder() = default;
    // Opens the device; the buffers will come back as `message` to target,
    // which must outlive the recording (close() ends it). An AudioStatus:
    // 0, kAudioNoDevice or kAudioDeviceFailed (audio_failure() says why),
    // kAudioBusy when already open.
    virtual int open(MessageTarget& target, uint32_t message) = 0;
    // Queues buffer 0 or 1, empty, for filling. kAudioBusy when it is queued
    // already or the device is not open.
    virtual int queue(int buffer) = 0;
    // Starts capturing into the queued buffers.
    virtual int start() = 0;
    // Stops capturing and hands back every queued buffer (posted before
    // reset returns). The device stays open.
    virtual void reset() = 0;
    // The bytes of a buffer the owner holds (kBufferSize of them).
    virtual const uint8_t* buffer(int index) const = 0;
    // Stops capturing when needed and closes the device.
    virtual void close() = 0;
};

// A recorder on the sound device named by audio_device_name().
std::unique_ptr<AudioRecorder> make_audio_recorder();

}  // namespace qelvio::platform
