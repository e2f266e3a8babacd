// The recorder and the player on a real ALSA device path (the file plugin
// over the null device): what is recorded decodes to the input, what is
// played lands in the output file, and without a device both say so.
#include "platform/audio_device.h"
#include "platform/audio_player.h"
#include "platform/audio_recorder.h"
#include "platform/debug_output.h"
#include "platform/message_queue.h"
#include "platform/tests/alsa_fixture.h"

#include <chrono>
#include <cstring>

namespace qp = qelvio::platform;
using namespace std::chrono_literals;

namespace {

constexpr uint32_t kBufferMessage = 960;
constexpr uint32_t kDoneMessage = 957;

void put32(std::vector<uint8_t>& v, std::size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

// A GSM 6.10 WAV file around the recorded stream, for sox to read.
std::vector<uint8_t> gsm_wav(const std::vector<uint8_t>& data) {
    static const uint8_t header[52] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                       24, 0, 0, 0, 49, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x59, 0x06, 0, 0,
                                       65, 0, 0, 0, 2, 0, 0x40, 0x01, 0, 0, 0, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
    std::vector<uint8_t> wav(header, header + 52);
    wav.insert(wav.end(), data.begin(), data.end());
    put32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
    put32(wav, 48, static_cast<uint32_t>(data.size()));
    return wav;
}

class Audio : public AlsaFixture {};

TEST_F(Audio, RecordsTwoFullBuffersThatDecodeToTheInput) {
    // Two buffers hold 12.3 s of sound.
    std::vector<int16_t> input = tone_input(14);
    auto recorder = qp::make_audio_recorder();
    qp::MessageQueue messages;
    ASSERT_EQ(recorder->open(messages, kBufferMessage), qp::kAudioOk) << qp::audio_failure();
    EXPECT_EQ(recorder->open(messages, kBufferMessage), qp::kAudioBusy);
    ASSERT_EQ(recorder->queue(0), qp::kAudioOk);
    EXPECT_EQ(recorder->queue(0), qp::kAudioBusy);
    ASSERT_EQ(recorder->queue(1), qp::kAudioOk);
    ASSERT_EQ(recorder->start(), qp::kAudioOk);
    std::vector<uint8_t> stream;
    for (int expected : {0, 1}) {
        auto m = messages.take(10s);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->number, kBufferMessage);
        EXPECT_EQ(m->first, expected);
        ASSERT_EQ(m->second, 10000);
        const uint8_t* bytes = recorder->buffer(static_cast<int>(m->first));
        stream.insert(stream.end(), bytes, bytes + m->second);
    }
    // Both buffers are with us: the reset has nothing to hand back.
    recorder->reset();
    EXPECT_FALSE(messages.take(50ms));
    recorder->close();

    std::string wav = scratch / "rec.wav";
    write_file(wav, gsm_wav(stream));
    std::vector<int16_t> decoded = sox_decode(wav);
    // 20000 bytes: 307 whole blocks of 320 samples.
    EXPECT_EQ(decoded.size(), 307u * 320u);
    double snr = snr_db(input, decoded);
    RecordProperty("snr_db", std::to_string(snr));
    EXPECT_GE(snr, 20.0);
}

TEST_F(Audio, ResetHandsBackTheQueuedBufferOnce) {
    tone_input(4);
    auto recorder = qp::make_audio_recorder();
    qp::MessageQueue messages;
    ASSERT_EQ(recorder->open(messages, kBufferMessage), qp::kAudioOk) << qp::audio_failure();
    recorder->queue(0);
    recorder->queue(1);
    recorder->start();
    auto first = messages.take(10s);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->first, 0);
    recorder->reset();
    auto second = messages.take(1s);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->first, 1);
    EXPECT_LE(second->second, 10000);
    EXPECT_FALSE(messages.take(50ms));
    // The device is still open: queue and start again, then close while
    // capturing: the buffers come back before close returns.
    recorder->queue(0);
    recorder->queue(1);
    EXPECT_EQ(recorder->start(), qp::kAudioOk);
    recorder->close();
    int returned = 0;
    while (auto m = messages.take(50ms)) returned += m->number == kBufferMessage;
    EXPECT_EQ(returned, 2);
}

TEST_F(Audio, PlaysPcmIntoTheDevice) {
    struct Case {
        qp::Sound::Encoding encoding;
        unsigned channels;
        std::vector<uint8_t> data;
        std::vector<uint8_t> expected;  // 16-bit little-endian output
    };
    std::vector<uint8_t> pcm16(24000);
    for (std::size_t i = 0; i < pcm16.size(); ++i) pcm16[i] = static_cast<uint8_t>(i * 7 + i / 3);
    std::vector<uint8_t> pcm8 = {0, 1, 127, 128, 129, 255, 64, 200};
    std::vector<uint8_t> pcm8_out;
    for (uint8_t b : pcm8) {
        int16_t s = static_cast<int16_t>((b - 128) * 256);
        pcm8_out.push_back(static_cast<uint8_t>(s));
        pcm8_out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    // A stereo sound with half a frame at its end: the half frame is not played.
    std::vector<uint8_t> stereo(pcm16.begin(), pcm16.begin() + 4002);
    Case cases[] = {
        {qp::Sound::Encoding::pcm16, 1, pcm16, pcm16},
        {qp::Sound::Encoding::pcm8, 1, pcm8, pcm8_out},
        {qp::Sound::Encoding::pcm16, 2, stereo, std::vector<uint8_t>(stereo.begin(), stereo.begin() + 4000)},
    };
    auto player = qp::make_audio_player();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data.size());
        qp::MessageQueue done;
        qp::Sound sound{c.encoding, c.channels, 8000, c.data};
        ASSERT_EQ(player->play(sound, &done, kDoneMessage), qp::kAudioOk) << qp::audio_failure();
        auto m = done.take(10s);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->number, kDoneMessage);
        EXPECT_EQ(m->second, qp::kAudioOk);
        EXPECT_FALSE(player->playing());
        EXPECT_EQ(read_file(out_raw()), c.expected);
    }
}

TEST_F(Audio, ASoundStartedOverAnotherReplacesIt) {
    qp::Sound first{qp::Sound::Encoding::pcm16, 1, 8000, std::vector<uint8_t>(800000, 0x11)};
    qp::Sound second{qp::Sound::Encoding::pcm16, 1, 8000, std::vector<uint8_t>(16000, 0x22)};
    auto player = qp::make_audio_player();
    qp::MessageQueue done;
    ASSERT_EQ(player->play(first, &done, kDoneMessage), qp::kAudioOk) << qp::audio_failure();
    ASSERT_EQ(player->play(second, &done, kDoneMessage), qp::kAudioOk);
    // The first posts its end only if it ended before it was replaced.
    std::optional<qp::Message> m;
    while ((m = done.take(10s)) && read_file(out_raw()).size() != 16000) {
    }
    ASSERT_TRUE(m);
    EXPECT_EQ(read_file(out_raw()), second.data);
    // Stopping a sound that has ended, or none, is harmless; so is
    // destroying a player in the middle of a sound.
    player->stop();
    player->stop();
    ASSERT_EQ(player->play(first, &done, kDoneMessage), qp::kAudioOk);
    player.reset();
}

TEST_F(Audio, WithoutADeviceBothSaySoAndPrintNothing) {
    qelvio::testing::ScopedEnv missing("QELVIO_AUDIO_DEVICE", "qelvio_no_such_device");
    EXPECT_EQ(qp::audio_device_name(), "qelvio_no_such_device");
    std::vector<std::u16string> lines;
    qp::set_debug_sink([&](std::u16string_view line) { lines.emplace_back(line); });
    ::testing::internal::CaptureStderr();
    auto recorder = qp::make_audio_recorder();
    qp::MessageQueue messages;
    EXPECT_EQ(recorder->open(messages, kBufferMessage), qp::kAudioNoDevice);
    EXPECT_NE(qp::audio_failure().find("qelvio_no_such_device"), std::string::npos) << qp::audio_failure();
    EXPECT_EQ(recorder->queue(0), qp::kAudioBusy);
    EXPECT_EQ(recorder->start(), qp::kAudioBusy);
    recorder->close();
    auto player = qp::make_audio_player();
    EXPECT_EQ(player->play({qp::Sound::Encoding::pcm16, 1, 8000, {1, 2, 3, 4}}), qp::kAudioNoDevice);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(player->play({qp::Sound::Encoding::gsm610, 2, 8000, {}}), qp::kAudioBadSound);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    qp::set_debug_sink({});
    EXPECT_FALSE(lines.empty());
    EXPECT_FALSE(messages.take(10ms));
}

TEST(AudioDevice, NameFromTheEnvironment) {
    {
        qelvio::testing::ScopedEnv unset("QELVIO_AUDIO_DEVICE", "");
        EXPECT_EQ(qp::audio_device_name(), "default");
    }
    qelvio::testing::ScopedEnv named("QELVIO_AUDIO_DEVICE", "hw:1,0");
    EXPECT_EQ(qp::audio_device_name(), "hw:1,0");
}

}  // namespace
