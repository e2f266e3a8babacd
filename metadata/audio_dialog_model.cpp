#include "metadata/audio_dialog_model.h"

#include "metadata/audio_recording.h"
#include "metadata/fpxr_audio_set.h"
#include "metadata/wav_sound.h"
#include "platform/file_system.h"
#include "qelvio/p_fileops.h"
#include "qelvio/p_status.h"

#include <fmt/printf.h>

#include <new>

namespace qelvio::metadata {
namespace {

constexpr int kIdleText = 35021, kRecordingText = 35022, kPlayingText = 35023;
constexpr int kRevertQuestion = 35027, kClearQuestion = 35028;
constexpr int kAudioFilter = 35042, kCannotSave = 35043, kCannotLoad = 35044;
constexpr int kRecorderError = 35072, kCannotPlay = 35211;

std::u16string text_of(int id) { return std::u16string(p_loadstring(id).view()); }

// "The image.jpg" → "The image.wav"; a name without a dot gains ".wav".
std::u16string wav_name(const std::u16string& file_name) {
    std::size_t dot = file_name.rfind(u'.');
    return (dot == std::u16string::npos ? file_name : file_name.substr(0, dot)) + u".wav";
}

}  // namespace

AudioDialogModel::AudioDialogModel(AudioDialogView& view, platform::AudioRecorder& recorder,
                                   platform::AudioPlayer& player, platform::MessageTarget& window, TickCount ticks)
    : view_(view), recorder_(recorder), player_(player), window_(window), ticks_(std::move(ticks)) {}

AudioDialogModel::~AudioDialogModel() { close(); }

void AudioDialogModel::open(std::u16string file_name, const uint8_t* audio, std::size_t length, bool record_at_once,
                            bool read_only) {
    file_name_ = std::move(file_name);
    read_only_ = read_only;
    if (audio && length)
        current_.emplace(audio, audio + length);
    else
        current_.reset();
    original_ = current_;
    set_state(kAudioIdle);
    if (record_at_once) record();
}

bool AudioDialogModel::enabled(int control) const {
    if (state_ == kAudioRecording) return control == kAudioStop;
    if (state_ == kAudioPlaying) return control == kAudioStop || control == kAudioOk;
    // Idle, but buffers of a stopped recording still on their way back:
    // the sound is not complete yet.
    if (recorder_open_) return false;
    bool audio = current_.has_value();
    switch (control) {
    case kAudioPlay:
    case kAudioSave: return audio;
    case kAudioClear: return audio && !read_only_;
    case kAudioRevert: return current_length() != (original_ ? original_->size() : 0) && !read_only_;
    case kAudioRecord:
    case kAudioLoad: return !read_only_;
    case kAudioOk: return true;
    default: return false;  // stop
    }
}

int AudioDialogModel::status_string() const {
    return state_ == kAudioRecording ? kRecordingText : state_ == kAudioPlaying ? kPlayingText : kIdleText;
}

void AudioDialogModel::set_state(AudioDialogState state) {
    bool was_idle = state_ == kAudioIdle;
    state_ = state;
    state_start_ = ticks_();
    elapsed_ = u"0m, 0s";
    if (state == kAudioIdle)
        view_.set_timer(false);
    else if (was_idle)
        view_.set_timer(true);
    view_.refresh();
}

void AudioDialogModel::timer_tick() {
    if (state_ == kAudioIdle) return;
    uint64_t seconds = (ticks_() - state_start_) / 1000;
    std::string text = fmt::sprintf("%dm, %ds", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
    elapsed_.assign(text.begin(), text.end());
    view_.refresh();
}

void AudioDialogModel::record() {
    if (state_ != kAudioIdle || read_only_ || recorder_open_) return;
    current_.reset();
    int status = recorder_.open(window_, kRecorderBufferMessage);
    bool started = false;
    if (status == 0) {
        try {
            current_ = recording_header();
            started = recorder_.queue(0) == 0 && recorder_.queue(1) == 0 && recorder_.start() == 0;
        } catch (const std::bad_alloc&) {
        }
    }
    if (!started) {
        if (status == 0) recorder_.close();
        view_.show_message(text_of(kRecorderError), AudioDialogView::Icon::error);
        current_.reset();
        set_state(kAudioIdle);
        return;
    }
    recorder_open_ = true;
    stopping_ = false;
    returned_after_stop_ = 0;
    set_state(kAudioRecording);
}

void AudioDialogModel::stop() {
    if (state_ == kAudioRecording) {
        stopping_ = true;
        recorder_.reset();
    } else if (state_ == kAudioPlaying) {
        player_.stop();
    } else {
        return;
    }
    set_state(kAudioIdle);
}

void AudioDialogModel::play() {
    if (!enabled(kAudioPlay)) return;
    platform::Sound sound;
    if (read_wav_sound(current_->data(), current_->size(), sound) != 0 ||
        player_.play(std::move(sound), &window_, kPlayerDoneMessage) != 0) {
        view_.show_message(text_of(kCannotPlay), AudioDialogView::Icon::exclamation);
        return;
    }
    set_state(kAudioPlaying);
}

void AudioDialogModel::record_key(bool down) {
    if (!down || state_ == kAudioRecording)
        stop();
    else if (state_ == kAudioIdle)
        record();
}

bool AudioDialogModel::handle_message(uint32_t number, std::intptr_t first, std::intptr_t second) {
    if (number == kPlayerDoneMessage) {
        if (state_ == kAudioPlaying && !player_.playing()) set_state(kAudioIdle);
        return true;
    }
    if (number != kRecorderBufferMessage) return false;
    if (!recorder_open_ || first < 0 || first >= platform::AudioRecorder::kBufferCount) return true;
    int buffer = static_cast<int>(first);
    std::size_t bytes = std::min<std::size_t>(static_cast<std::size_t>(std::max<std::intptr_t>(second, 0)),
                                              platform::AudioRecorder::kBufferSize);
    if (current_) {
        try {
            const uint8_t* data = recorder_.buffer(buffer);
            current_->insert(current_->end(), data, data + bytes);
        } catch (const std::bad_alloc&) {
            // What does not fit in memory is lost; the recording stops.
            if (!stopping_) stop();
        }
    }
    if (!stopping_) {
        recorder_.queue(buffer);
    } else if (++returned_after_stop_ == platform::AudioRecorder::kBufferCount) {
        finish_recording();
    }
    return true;
}

void AudioDialogModel::finish_recording() {
    recorder_.close();
    recorder_open_ = false;
    if (current_) set_recording_lengths(*current_);
    view_.refresh();
}

void AudioDialogModel::clear() {
    if (!enabled(kAudioClear) || !view_.ask_yes_no(kClearQuestion)) return;
    current_.reset();
    set_state(kAudioIdle);
}

void AudioDialogModel::revert() {
    if (!enabled(kAudioRevert) || !view_.ask_yes_no(kRevertQuestion)) return;
    current_ = original_;
    set_state(kAudioIdle);
}

void AudioDialogModel::save() {
    if (!enabled(kAudioSave)) return;
    auto path = view_.choose_file(true, wav_name(file_name_), u".wav", kAudioFilter);
    if (!path) return;
    if (save_audio_file(*current_, *path) != 0)
        view_.show_message(text_of(kCannotSave), AudioDialogView::Icon::exclamation);
}

void AudioDialogModel::load() {
    if (!enabled(kAudioLoad)) return;
    auto path = view_.choose_file(false, u"", u".wav", kAudioFilter);
    if (!path) return;
    std::vector<uint8_t> bytes;
    int status = load_audio_file(*path, bytes);
    if (status == P_NO_MEMORY) {
        view_.show_message(std::u16string(p_statusmessage(P_NO_MEMORY).view()), AudioDialogView::Icon::error);
        if (view_.ask_yes_no(kRevertQuestion)) current_ = original_;
        set_state(kAudioIdle);
        return;
    }
    if (status != 0) {
        std::u16string message = text_of(kCannotLoad);
        // Longer than a note an image can hold.
        if (status == P_INVALID_PARAMETER) message += u"\n(" + text_of(35210) + u")";
        view_.show_message(message, AudioDialogView::Icon::exclamation);
        return;
    }
    if (bytes.empty())
        current_.reset();  // an empty file is no sound
    else
        current_ = std::move(bytes);
    set_state(kAudioIdle);
}

void AudioDialogModel::close() {
    if (state_ == kAudioPlaying) player_.stop();
    if (recorder_open_) {
        // Closing resets the recorder, which posts its buffers to a window
        // about to go; they are not waited for.
        stopping_ = true;
        recorder_.close();
        recorder_open_ = false;
        if (current_) set_recording_lengths(*current_);
    }
    if (state_ != kAudioIdle) {
        state_ = kAudioIdle;
        view_.set_timer(false);
    }
}

int save_audio_file(const std::vector<uint8_t>& audio, std::u16string_view path) {
    p_string folder = p_temporaryfolder();
    auto temporary = platform::create_unique_file(folder.view(), u"OLM");
    if (!temporary) return P_CANNOT_CREATE;
    uint32_t file = platform::open_file(*temporary, platform::OpenMode::write_truncate);
    bool written = false;
    if (file) {
        written = platform::write_file(file, audio.data(), static_cast<uint32_t>(audio.size())) ==
                  static_cast<int64_t>(audio.size());
        written = platform::close_file(file) && written;
    }
    if (written && platform::replace_file(*temporary, path)) return P_OK;
    platform::delete_file(*temporary);
    return P_CANNOT_WRITE;
}

int load_audio_file(std::u16string_view path, std::vector<uint8_t>& audio) {
    auto size = platform::file_size(path);
    if (!size) return P_NOT_OPEN;
    if (static_cast<uint64_t>(*size) > FpxrAudioSet::kMaxAudioLength) return P_INVALID_PARAMETER;
    uint32_t file = platform::open_file(path, platform::OpenMode::read_existing);
    if (!file) return P_NOT_OPEN;
    try {
        audio.resize(static_cast<std::size_t>(*size));
    } catch (const std::bad_alloc&) {
        platform::close_file(file);
        return P_NO_MEMORY;
    }
    int64_t read = platform::read_file(file, audio.data(), static_cast<uint32_t>(audio.size()));
    platform::close_file(file);
    if (read != static_cast<int64_t>(audio.size())) {
        audio.clear();
        return P_NOT_OPEN;
    }
    return P_OK;
}

}  // namespace qelvio::metadata
