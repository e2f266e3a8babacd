#include "platform/audio_recorder.h"

#include "platform/alsa_pcm.h"
#include "platform/audio_device.h"
#include "platform/gsm_codec.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace qelvio::platform {
namespace {

constexpr unsigned kRate = 8000;

class AlsaRecorder final : public AudioRecorder {
public:
    ~AlsaRecorder() override { close(); }

    int open(MessageTarget& target, uint32_t message) override {
        if (pcm_) return kAudioBusy;
        alsa::OpenedPcm opened;
        int status = alsa::open_pcm(SND_PCM_STREAM_CAPTURE, kRate, 1, opened);
        if (status < 0) return status;
        if (!encoder_.ok()) {
            snd_pcm_close(opened.pcm);
            alsa::set_failure("no memory for the GSM encoder", 0);
            return kAudioDeviceFailed;
        }
        pcm_ = opened.pcm;
        period_ = opened.period_frames;
        target_ = &target;
        message_ = message;
        return kAudioOk;
    }

    int queue(int buffer) override {
        if (!pcm_ || buffer < 0 || buffer >= kBufferCount) return kAudioBusy;
        std::lock_guard lock(mutex_);
        if (std::find(queued_.begin(), queued_.end(), buffer) != queued_.end()) return kAudioBusy;
        queued_.push_back(buffer);
        wake_.notify_all();
        return kAudioOk;
    }

    int start() override {
        if (!pcm_ || worker_.joinable()) return kAudioBusy;
        int err = snd_pcm_start(pcm_);
        if (err < 0) {
            alsa::set_failure("cannot start capture", err);
            return kAudioDeviceFailed;
        }
        stopping_ = false;
        worker_ = std::thread([this] { capture(); });
        return kAudioOk;
    }

    void reset() override {
        if (!worker_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            wake_.notify_all();
        }
        worker_.join();
        snd_pcm_drop(pcm_);
        snd_pcm_prepare(pcm_);
    }

    const uint8_t* buffer(int index) const override { return buffers_[static_cast<std::size_t>(index)].data(); }

    void close() override {
        reset();
        if (pcm_) snd_pcm_close(pcm_);
        pcm_ = nullptr;
        std::lock_guard lock(mutex_);
        queued_.clear();
        fill_ = 0;
        samples_.clear();
        encoded_.clear();
    }

private:
    // Worker thread: reads at most one period per call, encodes whole
    // blocks, and fills the queued buffers with the encoded stream.
    void capture() {
        std::vector<int16_t> frames(period_);
        bool device_failed = false;
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                // Without a queued buffer nothing is read (a real device
                // overruns meanwhile and is recovered below); after a
                // failure of the device only a reset ends the wait.
                wake_.wait(lock, [&] { return stopping_ || (!queued_.empty() && !device_failed); });
                if (stopping_) break;
            }
            int ready = snd_pcm_wait(pcm_, 100);
            if (stopping_) break;
            if (ready < 0) {
                if (snd_pcm_recover(pcm_, ready, 1) < 0 || snd_pcm_start(pcm_) < 0) device_failed = true;
                continue;
            }
            snd_pcm_sframes_t n = snd_pcm_readi(pcm_, frames.data(), period_);
            if (n == -EAGAIN || n == 0) continue;
            if (n < 0) {
                if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0 || snd_pcm_start(pcm_) < 0) device_failed = true;
                continue;
            }
            samples_.insert(samples_.end(), frames.begin(), frames.begin() + n);
            encode_whole_blocks();
            std::lock_guard lock(mutex_);
            deliver();
        }
        // The samples of a block begun before the stop are kept, completed
        // with silence.
        if (!samples_.empty()) {
            samples_.resize(kGsmBlockSamples, 0);
            encode_whole_blocks();
        }
        std::lock_guard lock(mutex_);
        deliver();
        for (int buffer : queued_) {
            target_->post(message_, buffer, static_cast<std::intptr_t>(fill_));
            fill_ = 0;
        }
        queued_.clear();
        encoded_.clear();  // nowhere to put it
    }

    void encode_whole_blocks() {
        std::size_t used = 0;
        uint8_t block[kGsmBlockBytes];
        for (; used + kGsmBlockSamples <= samples_.size(); used += kGsmBlockSamples) {
            encoder_.encode(samples_.data() + used, block);
            encoded_.insert(encoded_.end(), block, block + kGsmBlockBytes);
        }
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(used));
    }

    // Moves encoded bytes into the queued buffers, posting each one filled.
    // Called with the lock held.
    void deliver() {
        while (!encoded_.empty() && !queued_.empty()) {
            auto& buffer = buffers_[static_cast<std::size_t>(queued_.front())];
            std::size_t n = std::min(encoded_.size(), kBufferSize - fill_);
            std::copy(encoded_.begin(), encoded_.begin() + static_cast<std::ptrdiff_t>(n), buffer.begin() + static_cast<std::ptrdiff_t>(fill_));
            encoded_.erase(encoded_.begin(), encoded_.begin() + static_cast<std::ptrdiff_t>(n));
            fill_ += n;
            if (fill_ == kBufferSize) {
                target_->post(message_, queued_.front(), static_cast<std::intptr_t>(kBufferSize));
                queued_.pop_front();
                fill_ = 0;
            }
        }
    }

    snd_pcm_t* pcm_ = nullptr;
    snd_pcm_uframes_t period_ = 0;
    MessageTarget* target_ = nullptr;
    uint32_t message_ = 0;
    GsmEncoder encoder_;
    std::array<std::array<uint8_t, kBufferSize>, kBufferCount> buffers_{};

    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::atomic<bool> stopping_ = false;
    std::deque<int> queued_;  // guarded by mutex_
    std::size_t fill_ = 0;    // bytes in queued_.front(); guarded by mutex_
    // Worker's own while it runs.
    std::vector<int16_t> samples_;
    std::deque<uint8_t> encoded_;
};

}  // namespace

std::unique_ptr<AudioRecorder> make_audio_recorder() { return std::make_unique<AlsaRecorder>(); }

}  // namespace qelvio::platform
