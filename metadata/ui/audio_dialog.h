// The audio dialog (dialog 186, "Audio") as a window: a thin face over
// AudioDialogModel, which holds the states, the enabling rules and what each
// button does. Controls are named by their numbers ("c1054" record, "c1055"
// stop, "c1056" play, "c1057" status, "c1059" clear, "c3" revert, "c1077"
// load, "c1078" save, "c1109" read-only text, "c1" OK); the elapsed time of
// the 250 ms timer ("%dm, %ds") is shown beside the status ("elapsed").
//
// While open the dialog holds the record key: pressing it records or stops,
// releasing it stops. The recorder's buffers and the player's end arrive as
// numbered messages on the user-interface thread.
//
// How to use: run_audio_dialog() for the whole round (the caller takes the
// result only after OK and when the image is writable); tests construct the
// dialog with their own recorder or player and replace the hooks that would
// otherwise show modal boxes or file dialogs.
#pragma once

#include "metadata/audio_dialog_model.h"
#include "platform/ui/qt_message_target.h"
#include "shell/ui/dialog_base.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;

namespace qelvio::metadata {

class AudioDialog : public shell::DialogBase, private AudioDialogView {
    Q_OBJECT
public:
    // Opens on a copy of the audio (null or empty: none). Without a
    // recorder or player of the caller's, the sound device's are used.
    AudioDialog(QWidget* parent, std::u16string file_name, const uint8_t* audio, std::size_t length,
                bool record_at_once, bool read_only, std::unique_ptr<platform::AudioRecorder> recorder = nullptr,
                std::unique_ptr<platform::AudioPlayer> player = nullptr);
    ~AudioDialog() override;

    // The audio being edited (null: none); what the caller takes on OK.
    const std::vector<uint8_t>* audio() const { return model_->current_audio(); }
    AudioDialogModel& model() { return *model_; }

    // What the dialog asks of the user; the defaults show message boxes and
    // the standard file dialogs. `choose_file` returns a local path.
    struct Hooks {
        std::function<void(const QString& text, AudioDialogView::Icon icon)> message;
        std::function<bool(const QString& question)> ask;
        std::function<std::optional<QString>(bool save, const QString& suggested, const QString& filter)> choose_file;
    };
    Hooks hooks;

    void done(int result) override;

protected:
    bool event(QEvent* event) override;

private:
    void show_message(const std::u16string& text, Icon icon) override;
    bool ask_yes_no(int string_id) override;
    std::optional<std::u16string> choose_file(bool save, const std::u16string& suggested,
                                              const std::u16string& extension, int filter_id) override;
    void set_timer(bool running) override;
    void refresh() override;
    QPushButton* button(int control, const QString& text);

    std::unique_ptr<platform::AudioRecorder> recorder_;
    std::unique_ptr<platform::AudioPlayer> player_;
    platform::QtMessageTarget target_;
    std::unique_ptr<AudioDialogModel> model_;
    QTimer timer_;
    QLabel* status_;
    QLabel* elapsed_;
    QLabel* read_only_text_;
    bool released_ = false;
};

// The string table's filter ("Audio files (*.wav)|*.wav|All files...||")
// as a file dialog's filter ("Audio files (*.wav);;All files (*.*)").
QString file_dialog_filter(const QString& table_filter);

// Shows the dialog modally. Returns true when it ended with OK; `result`
// then holds the audio it ended with (empty: none).
bool run_audio_dialog(QWidget* parent, const std::u16string& file_name, const std::vector<uint8_t>* audio,
                      bool record_at_once, bool read_only, std::vector<uint8_t>& result);

}  // namespace qelvio::metadata
