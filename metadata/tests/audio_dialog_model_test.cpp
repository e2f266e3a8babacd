// The audio dialog's logic driven without widgets: its states and enabled
// controls, the timer text, recording into the 52-byte header, the record
// key, clear, revert, load and save with what they leave on disk; then the
// same logic over the real sound device path (the ALSA file plugin).
#include "metadata/audio_dialog_model.h"
#include "metadata/fpxr_audio_set.h"
#include "platform/audio_device.h"
#include "platform/message_queue.h"
#include "platform/tests/alsa_fixture.h"
#include "qelvio/p_status.h"
#include "storage/tests/device_fixture.h"

#include <array>
#include <cstring>
#include <deque>

namespace qm = qelvio::metadata;
namespace qp = qelvio::platform;
using namespace std::chrono_literals;

namespace {

std::u16string text_of(int id) { return std::u16string(p_loadstring(id).view()); }

uint32_t u32_at(const std::vector<uint8_t>& v, std::size_t at) {
    uint32_t x;
    std::memcpy(&x, v.data() + at, 4);
    return x;
}

// A recorder whose buffers the test fills: every start or reset is noted,
// and the test decides what each returned buffer holds.
class ScriptedRecorder : public qp::AudioRecorder {
public:
    int open(qp::MessageTarget& target, uint32_t message) override {
        if (open_status) return open_status;
        target_ = &target;
        message_ = message;
        is_open = true;
        return 0;
    }
    int queue(int buffer) override {
        if (queue_status) return queue_status;
        queued.push_back(buffer);
        return 0;
    }
    int start() override {
        ++starts;
        return start_status;
    }
    void reset() override {
        ++resets;
        // The queued buffers come back: the first with `partial` bytes.
        for (int b : queued) {
            target_->post(message_, b, partial);
            partial = 0;
        }
        queued.clear();
    }
    const uint8_t* buffer(int index) const override { return buffers[static_cast<std::size_t>(index)].data(); }
    void close() override {
        if (is_open) reset();
        is_open = false;
        ++closes;
    }
    // The device fills the first queued buffer completely with `byte`.
    void fill(uint8_t byte) {
        int b = queued.front();
        queued.pop_front();
        buffers[static_cast<std::size_t>(b)].fill(byte);
        target_->post(message_, b, kBufferSize);
    }

    int open_status = 0, queue_status = 0, start_status = 0;
    int starts = 0, resets = 0, closes = 0;
    bool is_open = false;
    std::intptr_t partial = 0;
    std::deque<int> queued;
    std::array<std::array<uint8_t, kBufferSize>, kBufferCount> buffers{};

private:
    qp::MessageTarget* target_ = nullptr;
    uint32_t message_ = 0;
};

class ScriptedPlayer : public qp::AudioPlayer {
public:
    int play(qp::Sound sound, qp::MessageTarget* done, uint32_t message) override {
        if (status) return status;
        played.push_back(std::move(sound));
        done_ = done;
        message_ = message;
        is_playing = true;
        return 0;
    }
    void stop() override {
        ++stops;
        is_playing = false;
    }
    bool playing() const override { return is_playing; }
    void finish() {
        is_playing = false;
        done_->post(message_, 0, 0);
    }
    int status = 0, stops = 0;
    bool is_playing = false;
    std::vector<qp::Sound> played;

private:
    qp::MessageTarget* done_ = nullptr;
    uint32_t message_ = 0;
};

class ScriptedView : public qm::AudioDialogView {
public:
    void show_message(const std::u16string& text, Icon icon) override { messages.push_back({text, icon}); }
    bool ask_yes_no(int id) override {
        questions.push_back(id);
        return answer;
    }
    std::optional<std::u16string> choose_file(bool save, const std::u16string& suggested,
                                              const std::u16string& extension, int filter) override {
        choices.push_back({save, suggested, extension, filter});
        return chosen;
    }
    void set_timer(bool running) override { timer.push_back(running); }
    void refresh() override { ++refreshes; }

    struct Shown {
        std::u16string text;
        Icon icon;
    };
    struct Choice {
        bool save;
        std::u16string suggested, extension;
        int filter;
    };
    std::vector<Shown> messages;
    std::vector<int> questions;
    std::vector<Choice> choices;
    std::vector<bool> timer;
    bool answer = true;
    std::optional<std::u16string> chosen;
    int refreshes = 0;
};

// The dialog with scripted devices, over a scratch device folder.
class AudioDialog : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        make_folder("Windows/Temp");
    }
    // Delivers what was posted to the dialog's window.
    void pump() {
        while (auto m = window.take(0ms)) model.handle_message(m->number, m->first, m->second);
    }
    void open(const std::vector<uint8_t>& audio, bool read_only = false, bool record_at_once = false) {
        model.open(u"a.b.jpg", audio.data(), audio.size(), record_at_once, read_only);
    }
    // The enabled controls in a fixed order, for comparing states at once.
    std::string enabled() const {
        std::string out;
        for (auto [id, name] : {std::pair{qm::kAudioRecord, "record"}, {qm::kAudioStop, "stop"},
                                {qm::kAudioPlay, "play"}, {qm::kAudioClear, "clear"}, {qm::kAudioRevert, "revert"},
                                {qm::kAudioLoad, "load"}, {qm::kAudioSave, "save"}, {qm::kAudioOk, "ok"}})
            if (model.enabled(id)) out += std::string(out.empty() ? "" : " ") + name;
        return out;
    }

    uint64_t now = 1000;
    ScriptedRecorder recorder;
    ScriptedPlayer player;
    ScriptedView view;
    qp::MessageQueue window;
    qm::AudioDialogModel model{view, recorder, player, window, [this] { return now; }};
    const std::vector<uint8_t> pcm_wav = [] {
        std::vector<uint8_t> w = {'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                  16,  0,   0,   0,   1,  0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0,
                                  2,   0,   16,  0,   'd', 'a', 't', 'a', 4, 0, 0, 0, 1, 2, 3, 4};
        return w;
    }();
};

TEST_F(AudioDialog, StatesEnableTheirControls) {
    struct Case {
        const char* what;
        bool audio, read_only;
        std::string expected;
    };
    const Case cases[] = {
        {"idle without audio", false, false, "record load ok"},
        {"idle with audio", true, false, "record play clear load save ok"},
        {"read-only with audio", true, true, "play save ok"},
        {"read-only without audio", false, true, "ok"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.audio ? pcm_wav : std::vector<uint8_t>{}, c.read_only);
        EXPECT_EQ(model.state(), qm::kAudioIdle);
        EXPECT_EQ(model.status_string(), 35021);
        EXPECT_EQ(model.read_only_text_shown(), c.read_only);
        EXPECT_EQ(enabled(), c.expected);
    }
    open(pcm_wav);
    model.play();
    EXPECT_EQ(model.status_string(), 35023);
    EXPECT_EQ(enabled(), "stop ok");
    model.stop();
    EXPECT_EQ(player.stops, 1);
    model.record();
    EXPECT_EQ(model.status_string(), 35022);
    EXPECT_EQ(enabled(), "stop");
}

TEST_F(AudioDialog, TwoFullBuffersMakeA20052ByteRecording) {
    open({}, false, /*record_at_once=*/true);
    ASSERT_EQ(model.state(), qm::kAudioRecording);
    EXPECT_EQ(recorder.starts, 1);
    EXPECT_EQ(recorder.queued, (std::deque<int>{0, 1}));
    ASSERT_TRUE(model.current_audio());
    EXPECT_EQ(model.current_audio()->size(), 52u);
    recorder.fill(0xA1);
    recorder.fill(0xB2);
    pump();  // both are queued again while recording
    EXPECT_EQ(recorder.queued, (std::deque<int>{0, 1}));
    recorder.fill(0xC3);
    recorder.fill(0xD4);
    // Stop with both buffers in flight: they come back after the stop, and
    // only then is the recording complete.
    model.stop();
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    EXPECT_EQ(recorder.resets, 1);
    EXPECT_EQ(enabled(), "") << "buffers still out";
    pump();
    // Two full buffers returned after the stop: 20000 bytes of data.
    const std::vector<uint8_t>* wav = model.current_audio();
    ASSERT_TRUE(wav);
    // Four buffers were filled before the stop: the first two appended
    // while recording, the last two returned after it.
    EXPECT_EQ(wav->size(), 52u + 40000u);
    EXPECT_EQ(recorder.closes, 1);
    EXPECT_EQ(u32_at(*wav, 4), wav->size() - 8);
    EXPECT_EQ(u32_at(*wav, 48), wav->size() - 52);
    EXPECT_EQ((*wav)[52], 0xA1);
    EXPECT_EQ((*wav)[52 + 30000], 0xD4);
    EXPECT_EQ(enabled(), "record play clear revert load save ok");

    // Exactly two full buffers: the 20052-byte file of the recorder's layout.
    model.record();
    recorder.fill(0x11);
    pump();
    recorder.fill(0x22);
    model.stop();  // buffer 0 is queued again and comes back empty
    pump();
    wav = model.current_audio();
    ASSERT_TRUE(wav);
    ASSERT_EQ(wav->size(), 20052u);
    EXPECT_EQ(u32_at(*wav, 48), 20000u);
    EXPECT_EQ(u32_at(*wav, 4), 20044u);
    std::vector<uint8_t> header(wav->begin(), wav->begin() + 52);
    const uint8_t expected[52] = {'R', 'I', 'F', 'F', 0x4C, 0x4E, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                  24, 0, 0, 0, 49, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x59, 0x06, 0, 0,
                                  65, 0, 0, 0, 2, 0, 0x40, 0x01, 0, 0, 0, 0, 'd', 'a', 't', 'a', 0x20, 0x4E, 0, 0};
    EXPECT_EQ(header, std::vector<uint8_t>(expected, expected + 52));
    // A partial buffer at the stop adds just its bytes.
    model.record();
    recorder.partial = 650;
    model.stop();
    pump();
    EXPECT_EQ(model.current_audio()->size(), 52u + 650u);
}

TEST_F(AudioDialog, RecorderFailuresShowTheRecorderErrorAndLeaveNoAudio) {
    for (int step = 0; step < 3; ++step) {
        SCOPED_TRACE(step);
        ScriptedRecorder failing;
        ScriptedView shown;
        qm::AudioDialogModel dialog{shown, failing, player, window, [] { return 0; }};
        (step == 0 ? failing.open_status : step == 1 ? failing.queue_status : failing.start_status) = -1;
        dialog.open(u"x.jpg", pcm_wav.data(), pcm_wav.size(), false, false);
        dialog.record();
        EXPECT_EQ(dialog.state(), qm::kAudioIdle);
        EXPECT_EQ(dialog.current_audio(), nullptr);
        ASSERT_EQ(shown.messages.size(), 1u);
        EXPECT_EQ(shown.messages[0].text, u"An error occured while trying to access the recorder.");
        EXPECT_EQ(shown.messages[0].icon, qm::AudioDialogView::Icon::error);
        EXPECT_EQ(failing.is_open, false) << "what was prepared is released";
    }
}

TEST_F(AudioDialog, TimerTextAndTheRecordKey) {
    open({});
    model.record_key(true);
    EXPECT_EQ(model.state(), qm::kAudioRecording);
    EXPECT_EQ(view.timer, std::vector<bool>({false, true}));
    EXPECT_EQ(model.elapsed_text(), u"0m, 0s");
    for (auto [ms, text] : {std::pair{999, u"0m, 0s"}, {61500, u"1m, 1s"}, {125250, u"2m, 5s"}, {3600000, u"60m, 0s"}}) {
        now = 1000 + static_cast<uint64_t>(ms);
        model.timer_tick();
        EXPECT_EQ(model.elapsed_text(), text);
    }
    model.record_key(false);  // release stops
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    EXPECT_EQ(view.timer.back(), false);
    pump();
    model.record_key(true);
    model.record_key(true);  // a second press while recording stops too
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    pump();
    EXPECT_EQ(recorder.starts, 2);
    // Read-only: the key records nothing.
    open(pcm_wav, /*read_only=*/true);
    model.record_key(true);
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    EXPECT_EQ(recorder.starts, 2);
    EXPECT_EQ(*model.current_audio(), pcm_wav);
}

TEST_F(AudioDialog, PlayingEndsByStopOrByItself) {
    open(pcm_wav);
    model.play();
    ASSERT_EQ(player.played.size(), 1u);
    EXPECT_EQ(player.played[0].encoding, qp::Sound::Encoding::pcm16);
    EXPECT_EQ(player.played[0].data, (std::vector<uint8_t>{1, 2, 3, 4}));
    player.finish();
    pump();
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    // A loaded file that is no WAV image is kept, but cannot be played.
    make_file("note.txt", "not a sound");
    view.chosen = u"\\note.txt";
    model.load();
    ASSERT_TRUE(model.current_audio());
    EXPECT_EQ(std::string(model.current_audio()->begin(), model.current_audio()->end()), "not a sound");
    model.play();
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, u"The sound can't be played.");
    // Closing while playing stops the player.
    open(pcm_wav);
    model.play();
    model.close();
    EXPECT_FALSE(player.is_playing);
}

TEST_F(AudioDialog, ClearAndRevertAskFirst) {
    open(pcm_wav);
    view.answer = false;
    model.clear();
    EXPECT_EQ(view.questions, std::vector<int>({35028}));
    EXPECT_TRUE(model.current_audio());
    view.answer = true;
    model.clear();
    EXPECT_EQ(model.current_audio(), nullptr);
    EXPECT_EQ(enabled(), "record revert load ok");
    model.revert();
    EXPECT_EQ(view.questions.back(), 35027);
    ASSERT_TRUE(model.current_audio());
    EXPECT_EQ(*model.current_audio(), pcm_wav);
    // Revert is offered by length: a different sound of the same length
    // does not enable it.
    std::vector<uint8_t> same_length(pcm_wav.size(), 0x55);
    make_file("same.wav", std::string(same_length.begin(), same_length.end()));
    view.chosen = u"\\same.wav";
    model.load();
    EXPECT_EQ(*model.current_audio(), same_length);
    EXPECT_FALSE(model.enabled(qm::kAudioRevert));
}

TEST_F(AudioDialog, SaveReplacesOnlyWithACompleteFile) {
    open(pcm_wav);
    make_file("notes/a.b.wav", "old content");
    view.chosen = u"\\notes\\a.b.wav";
    model.save();
    ASSERT_EQ(view.choices.size(), 1u);
    EXPECT_TRUE(view.choices[0].save);
    EXPECT_EQ(view.choices[0].suggested, u"a.b.wav");
    EXPECT_EQ(view.choices[0].extension, u".wav");
    EXPECT_EQ(view.choices[0].filter, 35042);
    EXPECT_EQ(read("notes/a.b.wav"), std::string(pcm_wav.begin(), pcm_wav.end()));
    EXPECT_TRUE(view.messages.empty());
    // A short write: the message, the old file as it was, no temporary file.
    make_file("notes/a.b.wav", "old content");
    qp::set_fault_plan({.fail_write_after = 10});
    model.save();
    qp::clear_fault_plan();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, u"The image can't be saved.");
    EXPECT_EQ(view.messages[0].icon, qm::AudioDialogView::Icon::exclamation);
    EXPECT_EQ(read("notes/a.b.wav"), "old content");
    EXPECT_TRUE(std::filesystem::is_empty(root / "Windows/Temp"));
    // A folder that does not exist.
    view.chosen = u"\\missing\\x.wav";
    model.save();
    EXPECT_EQ(view.messages.size(), 2u);
    EXPECT_FALSE(exists("missing"));
    // The suggested name of an image without an extension.
    model.open(u"IMG", pcm_wav.data(), pcm_wav.size(), false, false);
    view.chosen.reset();
    model.save();
    EXPECT_EQ(view.choices.back().suggested, u"IMG.wav");
}

TEST_F(AudioDialog, LoadTakesTheWholeFileOrSaysWhy) {
    open({});
    view.chosen = u"\\nothing.wav";
    model.load();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, u"The image can't be loaded.");
    EXPECT_EQ(model.current_audio(), nullptr);
    EXPECT_FALSE(view.choices[0].save);
    // Longer than an image can hold: refused before it is read.
    std::filesystem::path big = root / "big.wav";
    std::ofstream(big).close();
    std::filesystem::resize_file(big, qm::FpxrAudioSet::kMaxAudioLength + 1);
    view.chosen = u"\\big.wav";
    model.load();
    ASSERT_EQ(view.messages.size(), 2u);
    EXPECT_EQ(view.messages[1].text, u"The image can't be loaded.\n(" + text_of(35210) + u")");
    EXPECT_EQ(model.current_audio(), nullptr);
    // Cancelled file dialog: nothing changes.
    view.chosen.reset();
    model.load();
    EXPECT_EQ(view.messages.size(), 2u);
}

// The dialog over the real recorder and player: what it records decodes to
// what the device heard, with the lengths in the header.
class AudioDialogOnDevice : public DeviceFixture, protected AlsaFileDevice {};

TEST_F(AudioDialogOnDevice, RecordsAndPlaysBackTheTone) {
    // 40 s of tone: more than the five buffers (31 s) that can fill before
    // the stop is heard.
    std::vector<int16_t> input = tone_input(40);
    auto recorder = qp::make_audio_recorder();
    auto player = qp::make_audio_player();
    ScriptedView view;
    qp::MessageQueue window;
    uint64_t now = 0;
    qm::AudioDialogModel model{view, *recorder, *player, window, [&] { return now; }};
    model.open(u"pic.jpg", nullptr, 0, true, false);
    ASSERT_EQ(model.state(), qm::kAudioRecording) << qp::audio_failure();
    // Three buffers' worth, then stop.
    int buffers = 0;
    while (buffers < 3) {
        auto m = window.take(10s);
        ASSERT_TRUE(m);
        model.handle_message(m->number, m->first, m->second);
        ++buffers;
    }
    model.stop();
    while (model.enabled(qm::kAudioOk) == false) {
        auto m = window.take(10s);
        ASSERT_TRUE(m);
        model.handle_message(m->number, m->first, m->second);
    }
    const std::vector<uint8_t> wav = *model.current_audio();
    ASSERT_GE(wav.size(), 52u + 30000u);
    EXPECT_EQ(u32_at(wav, 4), wav.size() - 8);
    EXPECT_EQ(u32_at(wav, 48), wav.size() - 52);
    std::string file = scratch / "note.wav";
    write_file(file, wav);
    std::vector<int16_t> decoded = sox_decode(file);
    EXPECT_GE(decoded.size(), 30000u / 65 * 320);
    EXPECT_GE(snr_db(input, decoded), 20.0);

    model.play();
    ASSERT_EQ(model.state(), qm::kAudioPlaying) << qp::audio_failure();
    auto done = window.take(10s);
    ASSERT_TRUE(done);
    model.handle_message(done->number, done->first, done->second);
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    // What was played is sox's decoding of the same note, sample for sample
    // (whole blocks).
    std::vector<int16_t> played = samples_of(read_file(out_raw()));
    ASSERT_EQ(played.size(), (wav.size() - 52) / 65 * 320);
    EXPECT_TRUE(std::equal(played.begin(), played.end(), decoded.begin()));
}

TEST_F(AudioDialogOnDevice, WithoutADeviceRecordingSaysSo) {
    qelvio::testing::ScopedEnv missing("QELVIO_AUDIO_DEVICE", "qelvio_no_such_device");
    auto recorder = qp::make_audio_recorder();
    auto player = qp::make_audio_player();
    ScriptedView view;
    qp::MessageQueue window;
    qm::AudioDialogModel model{view, *recorder, *player, window, [] { return 0; }};
    std::vector<uint8_t> note = {'R', 'I', 'F', 'F'};
    model.open(u"pic.jpg", note.data(), note.size(), false, false);
    model.record();
    EXPECT_EQ(model.state(), qm::kAudioIdle);
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, text_of(35072));
    EXPECT_EQ(model.current_audio(), nullptr);
    EXPECT_EQ(model.enabled(qm::kAudioRevert), true);
}

}  // namespace
