#include "platform/audio_device.h"

#include "platform/alsa_pcm.h"
#include "platform/debug_output.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace qelvio::platform {
namespace {

thread_local std::string failure;

// ALSA prints its complaints on stderr unless given a handler; they are
// diagnostics, so they go to the debug output instead.
void alsa_error_handler(const char* file, int line, const char* function, int err, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    debug_output(text::to_utf16(std::string("ALSA ") + (file ? file : "") + ":" + std::to_string(line) + " " +
                                (function ? function : "") + ": " + text +
                                (err ? std::string(" (") + snd_strerror(err) + ")" : std::string())));
}

void install_error_handler() {
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(alsa_error_handler); });
}

}  // namespace

std::string audio_device_name() {
    const char* name = std::getenv("QELVIO_AUDIO_DEVICE");
    return name && *name ? name : "default";
}

std::string audio_failure() { return failure; }

namespace alsa {

void set_failure(const std::string& what, int alsa_error) {
    failure = "\"" + audio_device_name() + "\": " + what + (alsa_error ? std::string(": ") + snd_strerror(alsa_error) : "");
    debug_output(text::to_utf16("audio: " + failure));
}

void clear_failure() { failure.clear(); }

int open_pcm(snd_pcm_stream_t stream, unsigned rate, unsigned channels, OpenedPcm& opened) {
    install_error_handler();
    clear_failure();
    std::string name = audio_device_name();
    snd_pcm_t* pcm = nullptr;
    // Opened without blocking, so a device another program holds fails at
    // once instead of hanging the caller.
    int err = snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK);
    if (err < 0) {
        set_failure(stream == SND_PCM_STREAM_CAPTURE ? "no recording device" : "no playback device", err);
        return kAudioNoDevice;
    }
    snd_pcm_hw_params_t* hw = nullptr;
    snd_pcm_hw_params_alloca(&hw);
    unsigned actual_rate = rate;
    unsigned buffer_time = 500000, period_time = 50000;  // microseconds
    const char* step = "no hardware parameters";
    if ((err = snd_pcm_hw_params_any(pcm, hw)) >= 0 &&
        (step = "no interleaved access", err = snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED)) >= 0 &&
        (step = "no 16-bit samples", err = snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE)) >= 0 &&
        (step = "channel count refused", err = snd_pcm_hw_params_set_channels(pcm, hw, channels)) >= 0 &&
        (step = "sample rate refused", err = snd_pcm_hw_params_set_rate_resample(pcm, hw, 1)) >= 0 &&
        (err = snd_pcm_hw_params_set_rate_near(pcm, hw, &actual_rate, nullptr)) >= 0 &&
        (step = "buffer size refused", err = snd_pcm_hw_params_set_buffer_time_near(pcm, hw, &buffer_time, nullptr)) >= 0 &&
        (err = snd_pcm_hw_params_set_period_time_near(pcm, hw, &period_time, nullptr)) >= 0 &&
        (step = "parameters refused", err = snd_pcm_hw_params(pcm, hw)) >= 0 &&
        (step = "cannot prepare", err = snd_pcm_prepare(pcm)) >= 0) {
        if (actual_rate != rate) {
            snd_pcm_close(pcm);
            set_failure("sample rate " + std::to_string(rate) + " Hz not available", 0);
            return kAudioDeviceFailed;
        }
        snd_pcm_hw_params_get_period_size(hw, &opened.period_frames, nullptr);
        if (opened.period_frames == 0) opened.period_frames = 400;
        opened.pcm = pcm;
        return kAudioOk;
    }
    set_failure(step, err);
    snd_pcm_close(pcm);
    return kAudioDeviceFailed;
}

}  // namespace alsa
}  // namespace qelvio::platform
