// Test helpers for the lossless transform: JPEG fixtures made with cjpeg,
// decoding with djpeg, the jpegtran oracle, and a scratch device with the
// store registry over it.
#pragma once

#include "decoding/transform/jpeg_lossless_transform.h"
#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

#include <cstdint>
#include <string>
#include <vector>

namespace transform_test {

// Runs a shell command; its exit status.
int run(const std::string& command);

std::string read_bytes(const std::filesystem::path& path);
void write_bytes(const std::filesystem::path& path, const std::string& bytes);

// A textured test picture as a binary PPM (or PGM for grey) file: smooth
// gradients with sharp edges, so that every coefficient matters.
void write_picture(const std::filesystem::path& path, int width, int height, bool grey);

// Chroma layouts of the fixtures.
enum class Sampling { s444, s422, s420, grey };
const char* name_of(Sampling s);

// Compresses the test picture with cjpeg (quality 85) into path; extra is
// added to cjpeg's options (for example "-progressive").
void make_jpeg(const std::filesystem::path& path, int width, int height, Sampling sampling,
               const std::string& extra = {});

// Decoded pixels (djpeg, PNM output).
struct Pixels {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::string data;  // rows top to bottom
    bool operator==(const Pixels&) const = default;
};
Pixels decode(const std::filesystem::path& path);

// jpegtran's option for a transform code.
std::string jpegtran_option(int code);
// jpegtran -copy all -trim with the code's option, from in to out.
void jpegtran(int code, const std::filesystem::path& in, const std::filesystem::path& out);

// The marker segments before the first scan: marker byte and payload.
struct Segment {
    int marker = 0;
    std::string payload;
    bool operator==(const Segment&) const = default;
};
std::vector<Segment> segments_of(const std::string& jpeg);
// Only the COM and APPn segments, without JFIF APP0 and Adobe APP14.
std::vector<Segment> carried_segments(const std::string& jpeg);

// The device fixture with helpers for transforming files on it.
class TransformFixture : public DeviceFixture {
protected:
    void SetUp() override;
    // The device's temporary folder as a local path.
    std::filesystem::path temporary_folder() const;
    // Names of leftover "OLM" temporary files.
    std::vector<std::string> temporary_files() const;
    // Transforms the device file \name.
    qelvio::decoding::TransformResult transform(const std::string& name, int code,
                                                qelvio::decoding::ProgressWindow* progress = nullptr);
};

}  // namespace transform_test
