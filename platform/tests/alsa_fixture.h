// The sound device without sound hardware: an ALSA configuration whose
// default device writes what is played into out.raw and records what
// in.raw holds (16-bit samples as they are), through the real library
// over its null device. The device does not keep time, so a recording of
// seconds takes milliseconds. Past the end of in.raw it yields stale data,
// so in.raw must hold more than is recorded.
#pragma once

#include "platform/tests/scratch_dir.h"
#include "storage/tests/command_output.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

class AlsaFileDevice {
public:
    AlsaFileDevice() {
        EXPECT_FALSE(scratch.path().empty());
        std::ofstream(scratch / "asound.conf")
            << "pcm.!default { type asym\n"
               "  playback.pcm { type file slave.pcm \"null\" file \"" << out_raw() << "\" format \"raw\" }\n"
               "  capture.pcm { type file slave.pcm \"null\" file \"/dev/null\" infile \"" << in_raw()
            << "\" format \"raw\" } }\n";
        config = std::make_unique<qelvio::testing::ScopedEnv>(
            "ALSA_CONFIG_PATH", "/usr/share/alsa/alsa.conf:" + (scratch / "asound.conf"));
        device = std::make_unique<qelvio::testing::ScopedEnv>("QELVIO_AUDIO_DEVICE", "default");
    }

    std::string in_raw() const { return scratch / "in.raw"; }
    std::string out_raw() const { return scratch / "out.raw"; }

    // Writes `seconds` of a steady sine tone at 8000 Hz mono into in.raw
    // (made by sox) and returns its samples.
    std::vector<int16_t> tone_input(double seconds, int hertz = 440) {
        std::string cmd = "sox -n -r 8000 -c 1 -b 16 -e signed -t raw '" + in_raw() + "' synth " +
                          std::to_string(seconds) + " sine " + std::to_string(hertz) + " vol 0.5";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
        return samples_of(read_file(in_raw()));
    }

    static std::vector<int16_t> samples_of(const std::vector<uint8_t>& raw) {
        std::vector<int16_t> s(raw.size() / 2);
        for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(raw[2 * i] | (raw[2 * i + 1] << 8));
        return s;
    }

    // Signal-to-noise ratio in dB of `decoded` against `original` over the
    // samples both have, leaving out the codec's first 40 ms of settling.
    static double snr_db(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
        std::size_t n = std::min(original.size(), decoded.size());
        double signal = 0, noise = 0;
        for (std::size_t i = 320; i < n; ++i) {
            double d = double(original[i]) - double(decoded[i]);
            signal += double(original[i]) * original[i];
            noise += d * d;
        }
        if (signal == 0) return -100;
        return noise == 0 ? 100 : 10 * std::log10(signal / noise);
    }

    // The 16-bit samples sox decodes from a sound file.
    std::vector<int16_t> sox_decode(const std::string& file) {
        std::string raw = scratch / "sox.raw";
        std::string cmd = "sox '" + file + "' -t raw -e signed -b 16 '" + raw + "' 2>/dev/null";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return samples_of(read_file(raw));
    }

    qelvio::testing::ScratchDir scratch;
    std::unique_ptr<qelvio::testing::ScopedEnv> config, device;
};

class AlsaFixture : public ::testing::Test, protected AlsaFileDevice {};
