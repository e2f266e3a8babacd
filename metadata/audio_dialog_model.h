// The audio dialog (dialog 186, "Audio") without its widgets: its state
// (idle, playing, recording), which controls are enabled, the status text,
// the elapsed time of the 250 ms timer, and what record, stop, play, clear,
// revert, load, save and the record key do to the sound being edited.
//
// The dialog's window implements AudioDialogView and forwards its buttons,
// timer ticks, record-key presses and the messages posted to it here; the
// recorder and the player come from the platform (tests give their own).
//
// Threads: everything runs on the dialog's thread. The recorder hands its
// capture buffers back as kRecorderBufferMessage and the player its end as
// kPlayerDoneMessage, both posted to the message target given to the model
// (the dialog's window), which passes them to handle_message().
#pragma once

#include "platform/audio_player.h"
#include "platform/audio_recorder.h"
#include "platform/message_target.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qelvio::metadata {

// Controls of dialog 186 by number.
enum AudioDialogControl : int {
    kAudioOk = 1,
    kAudioRevert = 3,
    kAudioRecord = 1054,
    kAudioStop = 1055,
    kAudioPlay = 1056,
    kAudioStatus = 1057,
    kAudioClear = 1059,
    kAudioLoad = 1077,
    kAudioSave = 1078,
    kAudioReadOnlyText = 1109,
};

enum AudioDialogState : int { kAudioIdle = 0, kAudioPlaying = 1, kAudioRecording = 2 };

// The wave-input data message and the sound-finished message of the
// platform's sound services.
inline constexpr uint32_t kRecorderBufferMessage = 0x3C0;
inline constexpr uint32_t kPlayerDoneMessage = 0x3BD;
inline constexpr int kAudioTimerMs = 250;

class AudioDialogView {
public:
    enum class Icon { error, exclamation, question };
    virtual ~AudioDialogView() = default;
    // A message box with an OK button.
    virtual void show_message(const std::u16string& text, Icon icon) = 0;
    // A yes/no question with the question icon: true for yes.
    virtual bool ask_yes_no(int string_id) = 0;
    // The standard save (or open) file dialog with that suggested name,
    // default extension and filter string: the chosen device path, or none.
    virtual std::optional<std::u16string> choose_file(bool save, const std::u16string& suggested,
                                                      const std::u16string& extension, int filter_id) = 0;
    // Starts or stops the 250 ms timer whose ticks call timer_tick().
    virtual void set_timer(bool running) = 0;
    // The state, status text or enabled controls changed.
    virtual void refresh() = 0;
};

class AudioDialogModel {
public:
    using TickCount = std::function<uint64_t()>;  // milliseconds, steady

    AudioDialogModel(AudioDialogView& view, platform::AudioRecorder& recorder, platform::AudioPlayer& player,
                     platform::MessageTarget& window, TickCount ticks);
    ~AudioDialogModel();

    // Opening: the given audio (null or empty for none) becomes both the
    // current and the original audio; records at once when asked.
    void open(std::u16string file_name, const uint8_t* audio, std::size_t length, bool record_at_once,
              bool read_only);

    AudioDialogState state() const { return state_; }
    bool enabled(int control) const;
    // String number of the status text (1057).
    int status_string() const;
    bool read_only_text_shown() const { return read_only_; }
    // "%dm, %ds": the time since playing or recording began, at the last tick.
    const std::u16string& elapsed_text() const { return elapsed_; }

    void record();
    void stop();
    void play();
    void clear();
    void revert();
    void load();
    void save();
    // The record key: down while idle records, down while recording stops;
    // up stops.
    void record_key(bool down);
    void timer_tick();
    // A message posted to the dialog's window; false when it is none of the
    // model's.
    bool handle_message(uint32_t number, std::intptr_t first, std::intptr_t second);
    // Closing: stops recording or playing; the recorder is closed.
    void close();

    // The audio being edited: what the caller takes on OK (none: null).
    const std::vector<uint8_t>* current_audio() const { return current_ ? &*current_ : nullptr; }

private:
    void set_state(AudioDialogState state);
    void finish_recording();
    std::size_t current_length() const { return current_ ? current_->size() : 0; }

    AudioDialogView& view_;
    platform::AudioRecorder& recorder_;
    platform::AudioPlayer& player_;
    platform::MessageTarget& window_;
    TickCount ticks_;

    std::u16string file_name_;
    std::optional<std::vector<uint8_t>> current_, original_;
    bool read_only_ = false;
    AudioDialogState state_ = kAudioIdle;
    uint64_t state_start_ = 0;
    std::u16string elapsed_;
    bool recorder_open_ = false;   // from record until both buffers came back after stop
    bool stopping_ = false;        // the recorder was reset; returned buffers are not queued again
    int returned_after_stop_ = 0;
};

// Writes a WAV image to a device path through a temporary file that
// replaces the file only once complete: 0, or -11 (no temporary file),
// -15 (short write or the replacement failed); the old file, if any, is
// then unchanged and no temporary file is left.
int save_audio_file(const std::vector<uint8_t>& audio, std::u16string_view path);
// Reads a whole file as it is: 0, -3 when it cannot be opened or read,
// -12 without memory for it, -1 when it is longer than an image can hold.
int load_audio_file(std::u16string_view path, std::vector<uint8_t>& audio);

}  // namespace qelvio::metadata
