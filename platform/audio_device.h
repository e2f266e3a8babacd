// The sound device that recording and playing use: an ALSA device named by
// the environment variable QELVIO_AUDIO_DEVICE, "default" without it. When
// there is no such device the calls fail with a status and audio_failure()
// says why; nothing else is affected.
#pragma once

#include <string>

namespace qelvio::platform {

enum AudioStatus : int {
    kAudioOk = 0,
    kAudioNoDevice = -1,      // the device cannot be opened (none, unknown name, busy)
    kAudioDeviceFailed = -2,  // the device refused the format, or failed while running
    kAudioBadSound = -3,      // a sound in a form the player does not play
    kAudioBusy = -9,          // the call does not fit the current state
};

// The ALSA name of the sound device.
std::string audio_device_name();

// Why the calling thread's last failed audio call failed, in the sound
// library's words with the device name ("" when nothing failed).
std::string audio_failure();

}  // namespace qelvio::platform
