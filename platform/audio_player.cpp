#include "platform/audio_player.h"

#include "platform/alsa_pcm.h"
#include "platform/audio_device.h"
#include "platform/gsm_codec.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace qelvio::platform {
namespace {

// Yields the sound's samples as signed 16-bit, a piece at a time.
class SampleSource {
public:
    explicit SampleSource(const Sound& sound) : sound_(sound) {}
    // Appends up to `count` samples to out; false once the sound is used up.
    bool next(std::size_t count, std::vector<int16_t>& out) {
        const auto& data = sound_.data;
        switch (sound_.encoding) {
        case Sound::Encoding::pcm8:
            for (; count && pos_ < data.size(); --count, ++pos_)
                out.push_back(static_cast<int16_t>((data[pos_] - 128) * 256));
            break;
        case Sound::Encoding::pcm16:
            for (; count && pos_ + 1 < data.size(); --count, pos_ += 2)
                out.push_back(static_cast<int16_t>(data[pos_] | (data[pos_ + 1] << 8)));
            break;
        case Sound::Encoding::gsm610:
            while (out.size() < count && pos_ + kGsmBlockBytes <= data.size()) {
                int16_t block[kGsmBlockSamples];
                decoder_.decode(data.data() + pos_, block);
                out.insert(out.end(), block, block + kGsmBlockSamples);
                pos_ += kGsmBlockBytes;
            }
            break;
        }
        return !out.empty();
    }

private:
    const Sound& sound_;
    std::size_t pos_ = 0;
    GsmDecoder decoder_;
};

class AlsaPlayer final : public AudioPlayer {
public:
    ~AlsaPlayer() override { stop(); }

    int play(Sound sound, MessageTarget* done, uint32_t message) override {
        stop();
        if (sound.channels == 0 || sound.rate == 0 ||
            (sound.encoding == Sound::Encoding::gsm610 && sound.channels != 1)) {
            alsa::set_failure("sound format not playable", 0);
            return kAudioBadSound;
        }
        alsa::OpenedPcm opened;
        int status = alsa::open_pcm(SND_PCM_STREAM_PLAYBACK, sound.rate, sound.channels, opened);
        if (status < 0) return status;
        sound_ = std::move(sound);
        stopping_ = false;
        playing_ = true;
        worker_ = std::thread([this, opened, done, message] { run(opened, done, message); });
        return kAudioOk;
    }

    void stop() override {
        if (!worker_.joinable()) return;
        stopping_ = true;
        worker_.join();
        playing_ = false;
    }

    bool playing() const override { return playing_; }

private:
    // Worker thread: writes at most one period per call, waiting for room
    // in short steps so that stop() is heard within 100 ms.
    void run(alsa::OpenedPcm opened, MessageTarget* done, uint32_t message) {
        snd_pcm_t* pcm = opened.pcm;
        const std::size_t channels = sound_.channels;
        SampleSource source(sound_);
        std::vector<int16_t> samples;
        int status = kAudioOk;
        std::size_t written = 0;  // samples of `samples` already on the device
        for (;;) {
            if (stopping_) break;
            if (written == samples.size()) {
                samples.clear();
                written = 0;
                if (!source.next(opened.period_frames * channels, samples)) break;
                samples.resize(samples.size() - samples.size() % channels);
                if (samples.empty()) break;
            }
            int ready = snd_pcm_wait(pcm, 100);
            if (ready < 0 && snd_pcm_recover(pcm, ready, 1) < 0) {
                status = kAudioDeviceFailed;
                break;
            }
            snd_pcm_uframes_t frames = std::min<snd_pcm_uframes_t>(opened.period_frames, (samples.size() - written) / channels);
            snd_pcm_sframes_t n = snd_pcm_writei(pcm, samples.data() + written, frames);
            if (n == -EAGAIN) continue;
            if (n < 0) {
                if (snd_pcm_recover(pcm, static_cast<int>(n), 1) < 0) {
                    status = kAudioDeviceFailed;
                    break;
                }
                continue;
            }
            written += static_cast<std::size_t>(n) * channels;
        }
        bool stopped = stopping_;
        if (!stopped && status == kAudioOk) {
            // Let what was written play out, still listening for stop().
            snd_pcm_sframes_t delay = 0;
            while (!stopping_ && snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING && snd_pcm_delay(pcm, &delay) == 0 &&
                   delay > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            stopped = stopping_;
        }
        if (stopped)
            snd_pcm_drop(pcm);
        else {
            snd_pcm_nonblock(pcm, 0);
            snd_pcm_drain(pcm);
        }
        snd_pcm_close(pcm);
        playing_ = false;
        if (!stopped && done) done->post(message, 0, status);
    }

    Sound sound_;
    std::thread worker_;
    std::atomic<bool> stopping_ = false;
    std::atomic<bool> playing_ = false;
};

}  // namespace

std::unique_ptr<AudioPlayer> make_audio_player() { return std::make_unique<AlsaPlayer>(); }

}  // namespace qelvio::platform
