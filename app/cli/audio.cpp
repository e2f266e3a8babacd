// qelvio-cli audio: takes an image's spoken note out as a WAV file, puts one
// in, or removes it; records a note from the sound device into the image or
// a WAV file, and plays an image's note or a WAV file, through the audio
// dialog's own logic.
#include "app/cli/command.h"
#include "app/cli/image_session.h"
#include "app/cli/locate.h"

#include "metadata/audio_dialog_model.h"
#include "metadata/audio_recording.h"
#include "metadata/fpxr_audio_set.h"
#include "platform/audio_device.h"
#include "platform/device_root.h"
#include "platform/message_queue.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace qelvio::cli {
namespace {

constexpr const char* kUsage =
    "usage: qelvio-cli audio FILE (--extract OUT.wav | --embed IN.wav | --clear | --record SECONDS | --play)\n"
    "       qelvio-cli audio --record SECONDS --out OUT.wav\n";
constexpr std::size_t kGsmBytesPerSecond = 1625;

uint64_t tick_count() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The dialog's window on a terminal: messages go to stderr, with the sound
// device's own reason when it has one; nothing is asked or chosen.
class TerminalView final : public metadata::AudioDialogView {
public:
    void show_message(const std::u16string& text, Icon) override {
        std::string reason = platform::audio_failure();
        std::fprintf(stderr, "qelvio-cli audio: %s%s\n", text::to_utf8(text).c_str(),
                     reason.empty() ? "" : ("\n(" + reason + ")").c_str());
        shown = true;
    }
    bool ask_yes_no(int) override { return false; }
    std::optional<std::u16string> choose_file(bool, const std::u16string&, const std::u16string&, int) override {
        return std::nullopt;
    }
    void set_timer(bool) override {}
    void refresh() override {}
    bool shown = false;
};

// The audio dialog over the sound device, with its window's message queue.
struct Dialog {
    TerminalView view;
    std::unique_ptr<platform::AudioRecorder> recorder = platform::make_audio_recorder();
    std::unique_ptr<platform::AudioPlayer> player = platform::make_audio_player();
    platform::MessageQueue window;
    metadata::AudioDialogModel model{view, *recorder, *player, window, tick_count};

    bool deliver(std::chrono::milliseconds wait) {
        auto m = window.take(wait);
        if (m) model.handle_message(m->number, m->first, m->second);
        return m.has_value();
    }
};

// Records `seconds` of sound: until that much is captured or that much time
// has passed (a device that does not keep time delivers faster than the
// clock), then stops and cuts the note to the length asked for.
int record(int seconds, std::vector<uint8_t>& wav) {
    Dialog dialog;
    dialog.model.open(u"", nullptr, 0, true, false);
    if (dialog.model.state() != metadata::kAudioRecording) return 1;
    const std::size_t wanted = metadata::kRecordingHeaderSize + kGsmBytesPerSecond * static_cast<std::size_t>(seconds);
    const uint64_t end = tick_count() + 1000u * static_cast<uint64_t>(seconds);
    for (;;) {
        uint64_t now = tick_count();
        if (now >= end || dialog.model.current_audio()->size() >= wanted) break;
        dialog.deliver(std::chrono::milliseconds(end - now));
    }
    dialog.model.stop();
    // The buffers come back after the stop; the note is complete when the
    // dialog would take OK again.
    while (!dialog.model.enabled(metadata::kAudioOk))
        if (!dialog.deliver(std::chrono::seconds(10))) {
            std::fprintf(stderr, "qelvio-cli audio: %s\n", p_loadstring(35072).utf8().c_str());
            return 1;
        }
    wav = *dialog.model.current_audio();
    if (wav.size() > wanted) wav.resize(wanted);
    metadata::set_recording_lengths(wav);
    return 0;
}

// Plays a WAV image to its end.
int play(const std::vector<uint8_t>& wav) {
    Dialog dialog;
    dialog.model.open(u"", wav.data(), wav.size(), false, true);
    dialog.model.play();
    if (dialog.model.state() != metadata::kAudioPlaying) return 1;
    while (dialog.model.state() == metadata::kAudioPlaying) dialog.deliver(std::chrono::seconds(1));
    return 0;
}

bool is_wav(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 && std::memcmp(bytes.data() + 8, "WAVE", 4) == 0;
}

// SECONDS: a whole number from 1 to 3600.
bool parse_seconds(const std::string& text, int& seconds) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    seconds = std::stoi(text);
    return seconds >= 1 && seconds <= 3600;
}

int record_to_file(const Args& args) {
    int seconds = 0;
    if (!parse_seconds(args[1], seconds)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    auto path = platform::to_device_path(args[3]);
    if (!path) return report("audio", P_INVALID_LOCATION, args[3]);
    std::vector<uint8_t> wav;
    if (record(seconds, wav) != 0) return 1;
    if (metadata::save_audio_file(wav, *path) != 0) {
        std::fprintf(stderr, "qelvio-cli audio: %s: %s\n", args[3].c_str(), p_loadstring(35043).utf8().c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int run_audio(const Args& args) {
    constexpr const char* usage = kUsage;
    if (args.size() == 4 && args[0] == "--record" && args[2] == "--out") return record_to_file(args);
    if (args.size() == 2 && args[1] == "--play") {
        std::ifstream in(args[0], std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in && is_wav(bytes)) return play(bytes);
        ImageSession session;
        decoding::p_ImageSource* image = session.image(args[0], "audio");
        if (!image) return 1;
        const std::vector<uint8_t>* audio = image->audio();
        if (!audio) {
            std::fprintf(stderr, "qelvio-cli audio: %s: the image has no audio\n", args[0].c_str());
            return 1;
        }
        return play(*audio);
    }
    int seconds = 0;
    if (args.size() == 3 && args[1] == "--record" && !parse_seconds(args[2], seconds)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (args.size() < 2 || (args[1] != "--clear" && args.size() != 3) || (args[1] == "--clear" && args.size() != 2) ||
        (args[1] != "--extract" && args[1] != "--embed" && args[1] != "--clear" && args[1] != "--record")) {
        std::fputs(usage, stderr);
        return 2;
    }
    ImageSession session;
    decoding::p_ImageSource* image = session.image(args[0], "audio");
    if (!image) return 1;
    const std::string& action = args[1];
    if (action == "--extract") {
        const std::vector<uint8_t>* audio = image->audio();
        if (!audio) {
            std::fprintf(stderr, "qelvio-cli audio: %s: the image has no audio\n", args[0].c_str());
            return 1;
        }
        std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(audio->data()), static_cast<std::streamsize>(audio->size()));
        out.close();
        if (!out) {
            std::remove(args[2].c_str());
            return report("audio", P_CANNOT_WRITE, args[2]);
        }
        return 0;
    }
    if (action == "--record") {
        // The image is found before the device is opened; a read-only one
        // fails at the save, as an annotation edit does.
        std::vector<uint8_t> wav;
        if (record(seconds, wav) != 0) return 1;
        image->set_audio(wav.data(), wav.size());
    } else if (action == "--embed") {
        std::ifstream in(args[2], std::ios::binary);
        if (!in) return report("audio", P_NOT_FOUND, args[2]);
        std::vector<uint8_t> wav((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (wav.empty()) return report("audio", P_INVALID_PARAMETER, args[2]);
        // A note needing more FlashPix segments than a file can hold is
        // refused before anything is written.
        if (wav.size() > metadata::FpxrAudioSet::kMaxAudioLength) {
            std::fprintf(stderr, "qelvio-cli audio: %s: %s\n(%s)\n", args[0].c_str(), p_loadstring(35043).utf8().c_str(),
                         p_loadstring(35210).utf8().c_str());
            return 1;
        }
        image->set_audio(wav.data(), wav.size());
    } else {
        image->set_audio(nullptr, 0);
    }
    int status = session.save(*image);
    if (status < 0 && status != P_CANCELLED) {
        std::fprintf(stderr, "qelvio-cli audio: %s: %s\n(%s)\n", args[0].c_str(), p_loadstring(35043).utf8().c_str(),
                     p_statusmessage(status).utf8().c_str());
        return 1;
    }
    return status < 0 ? 1 : 0;
}

}  // namespace qelvio::cli
