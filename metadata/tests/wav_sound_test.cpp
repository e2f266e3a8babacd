// WAV images played on the sound device (the ALSA file plugin): PCM, GSM
// 6.10 and ADPCM files made by sox come out as the samples sox decodes from
// them; what the player cannot take is refused with a status.
#include "metadata/wav_audio.h"
#include "metadata/wav_sound.h"
#include "platform/audio_device.h"
#include "platform/message_queue.h"
#include "platform/tests/alsa_fixture.h"

namespace qm = qelvio::metadata;
namespace qp = qelvio::platform;
using namespace std::chrono_literals;

namespace {

class WavSound : public AlsaFixture {};

TEST_F(WavSound, PlaysWhatSoxDecodes) {
    struct Case {
        const char* options;  // sox output options
        qp::Sound::Encoding encoding;
        unsigned channels;
    };
    const Case cases[] = {
        {"-b 16 -e signed -c 1", qp::Sound::Encoding::pcm16, 1},
        {"-b 8 -e unsigned -c 1", qp::Sound::Encoding::pcm8, 1},
        {"-b 16 -e signed -c 2", qp::Sound::Encoding::pcm16, 2},
        {"-e gsm-full-rate -c 1", qp::Sound::Encoding::gsm610, 1},
        {"-e ima-adpcm -c 1", qp::Sound::Encoding::pcm16, 1},
        {"-e ms-adpcm -c 2", qp::Sound::Encoding::pcm16, 2},
    };
    auto player = qp::make_audio_player();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string wav = scratch / "in.wav";
        std::string cmd = std::string("sox -n -r 8000 ") + c.options + " '" + wav + "' synth 0.73 sine 440 sine 660 vol 0.6";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::vector<uint8_t> bytes = read_file(wav);
        qp::Sound sound;
        ASSERT_EQ(qm::read_wav_sound(bytes.data(), bytes.size(), sound), 0);
        EXPECT_EQ(sound.encoding, c.encoding);
        EXPECT_EQ(sound.channels, c.channels);
        EXPECT_EQ(sound.rate, 8000u);
        qp::MessageQueue done;
        ASSERT_EQ(player->play(std::move(sound), &done, 1), qp::kAudioOk) << qp::audio_failure();
        ASSERT_TRUE(done.take(10s));
        std::vector<int16_t> expected = sox_decode(wav);
        std::vector<int16_t> played = samples_of(read_file(out_raw()));
        EXPECT_GT(played.size(), 5000u * c.channels);
        EXPECT_EQ(played, expected);
    }
}

TEST_F(WavSound, RefusesWhatThePlayerCannotTake) {
    auto wav_of = [&](const std::string& options) {
        std::string wav = scratch / "x.wav";
        std::string cmd = "sox -n -r 8000 " + options + " '" + wav + "' synth 0.1 sine 440";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return read_file(wav);
    };
    qp::Sound sound;
    std::vector<uint8_t> text = {'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'u', 'n', 'd'};
    text.resize(60, ' ');
    EXPECT_EQ(qm::read_wav_sound(text.data(), text.size(), sound), qm::kWavNotSupported);
    std::vector<uint8_t> pcm24 = wav_of("-b 24 -e signed -c 1");
    EXPECT_EQ(qm::read_wav_sound(pcm24.data(), pcm24.size(), sound), qm::kWavNotSupported);
    std::vector<uint8_t> alaw = wav_of("-e a-law -c 1");
    EXPECT_EQ(qm::read_wav_sound(alaw.data(), alaw.size(), sound), qm::kWavNotSupported);
    // A header without its data.
    std::vector<uint8_t> pcm = wav_of("-b 16 -e signed -c 1");
    std::vector<uint8_t> header(pcm.begin(), pcm.begin() + 44);
    EXPECT_EQ(qm::read_wav_sound(header.data(), header.size(), sound), qm::kWavEmpty);
    // A data length beyond the image is cut to what is there.
    std::vector<uint8_t> cut(pcm.begin(), pcm.begin() + 144);
    ASSERT_EQ(qm::read_wav_sound(cut.data(), cut.size(), sound), 0);
    EXPECT_EQ(sound.data.size(), 100u);
    // IMA ADPCM with an 18-byte format chunk is not a layout the converter reads.
    std::vector<uint8_t> ima = wav_of("-e ima-adpcm -c 1");
    ima.erase(ima.begin() + 38, ima.begin() + 40);
    ima[16] = 18;
    EXPECT_EQ(qm::read_wav_sound(ima.data(), ima.size(), sound), qm::kWavNotSupported);
}

}  // namespace
