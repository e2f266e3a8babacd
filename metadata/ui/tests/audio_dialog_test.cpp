// The audio dialog's window: its buttons, texts and record key drive the
// dialog's logic, and what it records on the sound device (the ALSA file
// plugin) ends up, header and all, in the file it saves.
#include "metadata/ui/audio_dialog.h"
#include "platform/audio_device.h"
#include "platform/device_root.h"
#include "platform/tests/alsa_fixture.h"
#include "platform/ui/message_box.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <filesystem>

namespace qm = qelvio::metadata;
namespace qp = qelvio::platform;

namespace {

uint32_t u32_at(const std::vector<uint8_t>& v, std::size_t at) {
    uint32_t x;
    std::memcpy(&x, v.data() + at, 4);
    return x;
}

// A recorder that captures nothing: reset hands the queued buffers back
// empty, so a recording stays running for as long as the test likes.
class SilentRecorder : public qp::AudioRecorder {
public:
    int open(qp::MessageTarget& target, uint32_t message) override {
        target_ = &target;
        message_ = message;
        return 0;
    }
    int queue(int buffer) override {
        queued_.push_back(buffer);
        return 0;
    }
    int start() override { return 0; }
    void reset() override {
        for (int b : queued_) target_->post(message_, b, 0);
        queued_.clear();
    }
    const uint8_t* buffer(int) const override { return bytes_; }
    void close() override { queued_.clear(); }

private:
    qp::MessageTarget* target_ = nullptr;
    uint32_t message_ = 0;
    std::deque<int> queued_;
    uint8_t bytes_[kBufferSize] = {};
};

// Waits, handling events, until the condition holds (false after 20 s).
template <class Condition>
bool wait_for(Condition done) {
    for (int i = 0; i < 2000 && !done(); ++i) QTest::qWait(10);
    return done();
}

class AudioDialogWindow : public ::testing::Test, protected AlsaFileDevice {
protected:
    void SetUp() override { qp::set_device_root(scratch.path()); }
    void TearDown() override { qp::set_device_root(""); }

    // The dialog with scripted answers: messages are noted, questions
    // answered with `yes`, file dialogs with `chosen`.
    std::unique_ptr<qm::AudioDialog> make(const std::vector<uint8_t>* audio, bool read_only,
                                          std::unique_ptr<qp::AudioRecorder> recorder = nullptr) {
        auto dialog = std::make_unique<qm::AudioDialog>(nullptr, u"\\pic.jpg", audio ? audio->data() : nullptr,
                                                        audio ? audio->size() : 0, false, read_only,
                                                        std::move(recorder));
        dialog->hooks.message = [this](const QString& text, qm::AudioDialogView::Icon icon) {
            messages.push_back(text);
            icons.push_back(icon);
        };
        dialog->hooks.ask = [this](const QString& question) {
            questions.push_back(question);
            return yes;
        };
        dialog->hooks.choose_file = [this](bool, const QString& suggested, const QString& filter) {
            suggestions.push_back(suggested);
            filters.push_back(filter);
            return chosen;
        };
        dialog->show();
        return dialog;
    }
    static QPushButton* button(QWidget& d, int control) {
        return d.findChild<QPushButton*>(QStringLiteral("c%1").arg(control));
    }
    static QString label(QWidget& d, const char* name) { return d.findChild<QLabel*>(name)->text(); }
    // Which of the dialog's buttons are enabled, in the order
    // record, stop, play, clear, revert, load, save, OK.
    static std::string enabled(QWidget& d) {
        std::string out;
        for (int c : {1054, 1055, 1056, 1059, 3, 1077, 1078, 1}) out += button(d, c)->isEnabled() ? '1' : '0';
        return out;
    }

    std::vector<QString> messages, questions, suggestions, filters;
    std::vector<qm::AudioDialogView::Icon> icons;
    bool yes = true;
    std::optional<QString> chosen;
};

TEST_F(AudioDialogWindow, RecordKeyRecordsWhatTheDeviceHearsAndSaveWritesIt) {
    std::vector<int16_t> input = tone_input(40);
    auto dialog = make(nullptr, false);
    EXPECT_EQ(label(*dialog, "c1057"), "Idle");
    EXPECT_EQ(enabled(*dialog), "10000101");
    EXPECT_FALSE(dialog->findChild<QLabel*>("c1109")->isVisible());

    // Held down: recording, only stop enabled, the timer's text shown.
    QTest::keyPress(dialog.get(), Qt::Key_MediaRecord);
    ASSERT_EQ(dialog->model().state(), qm::kAudioRecording) << qp::audio_failure();
    EXPECT_EQ(label(*dialog, "c1057"), "Recording");
    EXPECT_EQ(enabled(*dialog), "01000000");
    EXPECT_EQ(label(*dialog, "elapsed"), "0m, 0s");
    // Let three buffers or more arrive, then let go.
    ASSERT_TRUE(wait_for([&] { return dialog->audio() && dialog->audio()->size() >= 52 + 30000; }));
    QTest::keyRelease(dialog.get(), Qt::Key_MediaRecord);
    ASSERT_TRUE(wait_for([&] { return button(*dialog, 1)->isEnabled(); }));
    EXPECT_EQ(label(*dialog, "c1057"), "Idle");
    EXPECT_EQ(label(*dialog, "elapsed"), "");
    EXPECT_EQ(enabled(*dialog), "10111111");

    const std::vector<uint8_t> wav = *dialog->audio();
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(u32_at(wav, 4), wav.size() - 8);
    EXPECT_EQ(u32_at(wav, 48), wav.size() - 52);
    EXPECT_EQ(u32_at(wav, 16), 24u);
    EXPECT_EQ(wav[20], 49);

    // Save... offers the image's name as .wav with the table's filter; the
    // file on disk is the recording, which sox decodes to the tone.
    chosen = QString::fromStdString(scratch / "note.wav");
    QTest::mouseClick(button(*dialog, 1078), Qt::LeftButton);
    ASSERT_EQ(suggestions.size(), 1u);
    EXPECT_EQ(suggestions[0], QString::fromStdString(scratch / "pic.wav"));
    EXPECT_EQ(filters[0], "Audio files (*.wav);;All files (*.*)");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(read_file(scratch / "note.wav"), wav);
    EXPECT_GE(snr_db(input, sox_decode(scratch / "note.wav")), 20.0);

    // Play: the device gets the decoded note; the dialog is idle again when
    // the sound has ended.
    QTest::mouseClick(button(*dialog, 1056), Qt::LeftButton);
    ASSERT_TRUE(wait_for([&] { return dialog->model().state() == qm::kAudioIdle; })) << qp::audio_failure();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(read_file(out_raw()).size(), (wav.size() - 52) / 65 * 320 * 2);
    EXPECT_GE(snr_db(input, samples_of(read_file(out_raw()))), 20.0);

    // OK hands the recording to the caller.
    QTest::mouseClick(button(*dialog, 1), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ASSERT_NE(dialog->audio(), nullptr);
    EXPECT_EQ(*dialog->audio(), wav);
}

TEST_F(AudioDialogWindow, TimerShowsMinutesAndSecondsWhileRecording) {
    auto dialog = make(nullptr, false, std::make_unique<SilentRecorder>());
    QTest::mouseClick(button(*dialog, 1054), Qt::LeftButton);
    ASSERT_EQ(dialog->model().state(), qm::kAudioRecording);
    EXPECT_FALSE(button(*dialog, 1)->isEnabled());
    ASSERT_TRUE(wait_for([&] { return label(*dialog, "elapsed") == "0m, 1s"; }));
    QTest::mouseClick(button(*dialog, 1055), Qt::LeftButton);
    ASSERT_TRUE(wait_for([&] { return button(*dialog, 1)->isEnabled(); }));
    // Nothing was captured: the note is the bare header with its lengths.
    ASSERT_NE(dialog->audio(), nullptr);
    EXPECT_EQ(dialog->audio()->size(), 52u);
    EXPECT_EQ(u32_at(*dialog->audio(), 4), 44u);
    EXPECT_EQ(u32_at(*dialog->audio(), 48), 0u);
}

TEST_F(AudioDialogWindow, WithoutASoundDeviceRecordShowsTheRecorderError) {
    qelvio::testing::ScopedEnv missing("QELVIO_AUDIO_DEVICE", "qelvio_no_such_device");
    std::vector<uint8_t> note = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    auto dialog = make(&note, false);
    QTest::mouseClick(button(*dialog, 1054), Qt::LeftButton);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "An error occured while trying to access the recorder.");
    EXPECT_EQ(icons[0], qm::AudioDialogView::Icon::error);
    EXPECT_EQ(dialog->audio(), nullptr);
    EXPECT_EQ(label(*dialog, "c1057"), "Idle");
    // Only revert (to the note it opened with), record and load are left.
    EXPECT_EQ(enabled(*dialog), "10001101");
}

TEST_F(AudioDialogWindow, ClearRevertLoadAndTheirMessages) {
    std::vector<uint8_t> note = {'R', 'I', 'F', 'F', 1, 2, 3};
    auto dialog = make(&note, false);
    EXPECT_EQ(enabled(*dialog), "10110111");

    yes = false;  // a No keeps the note
    QTest::mouseClick(button(*dialog, 1059), Qt::LeftButton);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], "Do you want to clear the audio?");
    ASSERT_NE(dialog->audio(), nullptr);
    yes = true;
    QTest::mouseClick(button(*dialog, 1059), Qt::LeftButton);
    EXPECT_EQ(dialog->audio(), nullptr);
    EXPECT_EQ(enabled(*dialog), "10001101");

    QTest::mouseClick(button(*dialog, 3), Qt::LeftButton);
    EXPECT_EQ(questions.back(), "Do you want to revert to the original audio and lose your changes?");
    ASSERT_NE(dialog->audio(), nullptr);
    EXPECT_EQ(*dialog->audio(), note);

    // Any file is taken as it is, WAV or not.
    std::ofstream(scratch / "text.wav", std::ios::binary) << "not a sound";
    chosen = QString::fromStdString(scratch / "text.wav");
    QTest::mouseClick(button(*dialog, 1077), Qt::LeftButton);
    ASSERT_NE(dialog->audio(), nullptr);
    EXPECT_EQ(std::string(dialog->audio()->begin(), dialog->audio()->end()), "not a sound");

    // A file that cannot be read, a file that cannot be written.
    chosen = QString::fromStdString(scratch / "missing.wav");
    QTest::mouseClick(button(*dialog, 1077), Qt::LeftButton);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "The image can't be loaded.");
    chosen = QString::fromStdString(scratch / "no folder/x.wav");
    QTest::mouseClick(button(*dialog, 1078), Qt::LeftButton);
    EXPECT_EQ(messages.back(), "The image can't be saved.");
    EXPECT_EQ(icons.back(), qm::AudioDialogView::Icon::exclamation);
    EXPECT_FALSE(std::filesystem::exists(scratch / "no folder"));
}

TEST_F(AudioDialogWindow, ReadOnlyImageOnlyPlaysAndSaves) {
    std::vector<uint8_t> note = {'R', 'I', 'F', 'F'};
    auto dialog = make(&note, true);
    EXPECT_TRUE(dialog->findChild<QLabel*>("c1109")->isVisible());
    EXPECT_EQ(label(*dialog, "c1109"), "The image is read-only.");
    EXPECT_EQ(enabled(*dialog), "00100011");
    // The record key does not record either.
    QTest::keyPress(dialog.get(), Qt::Key_MediaRecord);
    QTest::keyRelease(dialog.get(), Qt::Key_MediaRecord);
    EXPECT_EQ(dialog->model().state(), qm::kAudioIdle);
    EXPECT_EQ(*dialog->audio(), note);
}

// The standard file dialog itself: the chosen local file becomes the saved
// note's place on the device.
TEST_F(AudioDialogWindow, SaveThroughTheFileDialog) {
    std::vector<uint8_t> note = {'R', 'I', 'F', 'F', 9, 9};
    qm::AudioDialog dialog(nullptr, u"\\pic.jpg", note.data(), note.size(), false, false);
    dialog.show();
    QString target = QString::fromStdString(scratch / "typed");
    QTimer::singleShot(0, [&] {
        auto* files = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(files, nullptr);
        files->selectFile(target);
        static_cast<QDialog*>(files)->accept();
    });
    QTest::mouseClick(button(dialog, 1078), Qt::LeftButton);
    EXPECT_EQ(read_file(scratch / "typed.wav"), note);
}

}  // namespace
