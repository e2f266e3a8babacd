// ADPCM sounds decoded to 16-bit PCM, checked against sox's decoders.
#include "metadata/wav_audio.h"
#include "storage/tests/device_fixture.h"

#include <cstring>

namespace qm = qelvio::metadata;

namespace {

// The index of the first differing byte, -1 when equal.
long first_difference(const std::string& a, const std::string& b) {
    if (a == b) return -1;
    auto m = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return static_cast<long>(m.first - a.begin());
}

class WavAudio : public DeviceFixture {
protected:
    std::string local(const char* name) const { return (root / name).string(); }
    std::vector<uint8_t> bytes(const char* name) const {
        std::string s = read(name);
        return {s.begin(), s.end()};
    }
    // The 16-bit samples of a WAV file as sox decodes them.
    std::string sox_samples(const char* name) {
        std::string raw = local("sox.raw");
        std::string cmd = "sox '" + local(name) + "' -t raw -e signed -b 16 '" + raw + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return read("sox.raw");
    }
};

TEST_F(WavAudio, AdpcmDecodesLikeSox) {
    struct Case {
        const char* encoding;
        int channels;
        const char* synth;
    };
    const Case cases[] = {
        {"ima-adpcm", 1, "sine 440"},
        {"ima-adpcm", 2, "sine 440 sine 1250"},
        {"ms-adpcm", 1, "sine 300"},
        {"ms-adpcm", 2, "sine 440 square 97"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.encoding) + " " + std::to_string(c.channels));
        // 0.37 s: the last block is partial.
        std::string cmd = "sox -n -r 8000 -c " + std::to_string(c.channels) + " -e " + c.encoding + " '" +
                          local("in.wav") + "' synth 0.37 " + c.synth + " vol 0.8";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        std::vector<uint8_t> in = bytes("in.wav");
        ASSERT_EQ(qm::convert_adpcm(in.data(), in.size(), u"\\out.wav"), 0);
        std::vector<uint8_t> out = bytes("out.wav");
        ASSERT_GT(out.size(), 44u);
        qm::WavFormat format;
        ASSERT_EQ(qm::read_wav_format(out.data(), out.size(), format), 0);
        EXPECT_EQ(format.format_tag, 1);
        EXPECT_EQ(format.channels, c.channels);
        EXPECT_EQ(format.samples_per_second, 8000u);
        EXPECT_EQ(format.block_alignment, 2 * c.channels);
        EXPECT_EQ(format.bits_per_sample, 16);
        uint32_t riff, data;
        std::memcpy(&riff, out.data() + 4, 4);
        std::memcpy(&data, out.data() + 40, 4);
        EXPECT_EQ(riff, out.size() - 8);
        EXPECT_EQ(data, out.size() - 44);
        std::string expected = sox_samples("in.wav");
        std::string ours(out.begin() + 44, out.end());
        EXPECT_EQ(ours.size(), expected.size());
        EXPECT_EQ(first_difference(ours, expected), -1) << "samples differ from sox's";
        EXPECT_EQ(first_difference(sox_samples("out.wav"), expected), -1);  // sox reads our file too
    }
}

TEST_F(WavAudio, RefusedLayoutsLeaveNoOutput) {
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -e ima-adpcm '" + local("ima.wav") + "' synth 0.1 sine 440").c_str()), 0);
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -e signed -b 16 '" + local("pcm.wav") + "' synth 0.1 sine 440").c_str()), 0);
    std::vector<uint8_t> ima = bytes("ima.wav");
    std::vector<uint8_t> pcm = bytes("pcm.wav");

    std::vector<uint8_t> short_fmt = ima;  // an 18-byte format chunk
    short_fmt[16] = 18;
    std::vector<uint8_t> no_data = ima;
    std::memcpy(no_data.data() + 52, "junk", 4);
    std::vector<uint8_t> empty_data(ima.begin(), ima.begin() + 60);
    std::memset(empty_data.data() + 56, 0, 4);
    std::vector<uint8_t> not_wav = ima;
    std::memcpy(not_wav.data(), "RIFX", 4);

    struct Case {
        const char* name;
        std::vector<uint8_t> wav;
        int status;
    } cases[] = {
        {"pcm", pcm, qm::kWavOtherFormat},
        {"18-byte fmt", short_fmt, qm::kWavNotSupported},
        {"no data chunk", no_data, qm::kWavNotSupported},
        {"empty data", empty_data, qm::kWavEmpty},
        {"not riff", not_wav, qm::kWavNotSupported},
        {"truncated", std::vector<uint8_t>(ima.begin(), ima.begin() + 20), qm::kWavTruncated},
    };
    for (const Case& c : cases) {
        make_file("out.wav", "stale");
        EXPECT_EQ(qm::convert_adpcm(c.wav.data(), c.wav.size(), u"\\out.wav"), c.status) << c.name;
        EXPECT_FALSE(exists("out.wav")) << c.name;
    }
}

// Nibbles that keep raising the step size must saturate the samples, not
// overflow the decoder's arithmetic (the sanitizer build checks the latter).
TEST_F(WavAudio, RunawayMsStepSaturates) {
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -e ms-adpcm '" + local("ms.wav") + "' synth 0.2 sine 440").c_str()), 0);
    std::vector<uint8_t> ms = bytes("ms.wav");
    std::string text(ms.begin(), ms.end());
    std::size_t data = text.find("data");
    ASSERT_NE(data, std::string::npos);
    std::size_t first_nibbles = data + 8 + 7;  // after the chunk header and the one-channel block header
    ASSERT_LT(first_nibbles + 200, ms.size());
    std::fill(ms.begin() + static_cast<long>(first_nibbles), ms.begin() + static_cast<long>(first_nibbles) + 200, 0x77);
    ASSERT_EQ(qm::convert_adpcm(ms.data(), ms.size(), u"\\out.wav"), 0);
    std::vector<uint8_t> out = bytes("out.wav");
    ASSERT_GT(out.size(), 44u + 2 * 400);
    int16_t last;
    std::memcpy(&last, out.data() + 44 + 2 * 400, 2);  // the 401st sample: deep in the run
    EXPECT_EQ(last, 32767);
}

TEST_F(WavAudio, FormatRecord) {
    ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 -e gsm '" + local("gsm.wav") + "' synth 0.1 sine 440").c_str()), 0);
    std::vector<uint8_t> gsm = bytes("gsm.wav");
    qm::WavFormat format;
    ASSERT_EQ(qm::read_wav_format(gsm.data(), gsm.size(), format), 0);
    EXPECT_EQ(format.format_tag, 49);
    EXPECT_EQ(format.block_alignment, 65);
    const uint8_t not_wav[40] = {'J', 'F', 'I', 'F'};
    EXPECT_EQ(qm::read_wav_format(not_wav, sizeof not_wav, format), qm::kWavNotSupported);
}

}  // namespace
