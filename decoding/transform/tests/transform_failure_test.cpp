// Bad input and faults: the file stays byte for byte as it was, no
// temporary file remains, and the caller is told of the failure.
#include "decoding/transform/tests/transform_fixture.h"

#include "platform/file_system.h"

using namespace transform_test;
namespace fs = qelvio::platform;

namespace {

class TransformFailure : public TransformFixture {
protected:
    std::string good() {
        make_jpeg(root / "good.jpg", 320, 240, Sampling::s420);
        return read_bytes(root / "good.jpg");
    }
};

std::size_t find_marker(const std::string& jpeg, unsigned char marker) {
    return jpeg.find(std::string{'\xFF', static_cast<char>(marker)});
}

TEST_F(TransformFailure, DamagedOrUnsupportedFilesAreLeftAlone) {
    std::string jpeg = good();
    std::size_t sos = find_marker(jpeg, 0xDA);
    ASSERT_NE(sos, std::string::npos);
    std::string twelve_bit = jpeg;
    twelve_bit[find_marker(jpeg, 0xC0) + 4] = 12;
    std::string marker_in_data = jpeg;
    marker_in_data.replace((sos + jpeg.size()) / 2, 2, "\xFF\xD9");
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"truncated in the data", jpeg.substr(0, jpeg.size() * 6 / 10)},
        {"truncated before the last two bytes", jpeg.substr(0, jpeg.size() - 40)},
        {"truncated in the header", jpeg.substr(0, sos - 20)},
        {"end-of-image marker inside the data", marker_in_data},
        {"12-bit samples", twelve_bit},
        {"not a JPEG", "GIF89a and then some bytes that are not a picture"},
        {"empty", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write_bytes(root / "bad.jpg", c.bytes);
        for (int code : {1, 5}) {
            auto result = transform("bad.jpg", code);
            EXPECT_EQ(result.status, P_INVALID_FORMAT);
            EXPECT_FALSE(result.detail.empty());
            EXPECT_EQ(read_bytes(root / "bad.jpg"), c.bytes);
            EXPECT_TRUE(temporary_files().empty());
        }
    }
}

// Headers claiming sizes no file of a few hundred bytes could hold (found
// by fuzzing: 49157 x 27397 and 61472 x 32800 made the library allocate
// gigabytes for minutes) are refused before the coefficients are read.
TEST_F(TransformFailure, ClaimedSizeBeyondTheData) {
    make_jpeg(root / "small.jpg", 16, 16, Sampling::s420);
    const std::string small = read_bytes(root / "small.jpg");
    std::size_t sof = find_marker(small, 0xC0);
    ASSERT_NE(sof, std::string::npos);
    for (auto [width, height] : {std::pair<int, int>{49157, 27397}, {61472, 32800}}) {
        SCOPED_TRACE(width);
        std::string bytes = small;
        bytes[sof + 5] = static_cast<char>(height >> 8), bytes[sof + 6] = static_cast<char>(height & 0xFF);
        bytes[sof + 7] = static_cast<char>(width >> 8), bytes[sof + 8] = static_cast<char>(width & 0xFF);
        write_bytes(root / "claim.jpg", bytes);
        auto result = transform("claim.jpg", 5);
        EXPECT_EQ(result.status, P_INVALID_FORMAT);
        EXPECT_EQ(result.detail, "The image is larger than the file could describe; it was not decoded.");
        EXPECT_EQ(read_bytes(root / "claim.jpg"), bytes);
        EXPECT_TRUE(temporary_files().empty());
    }
    // A real file of that size class still turns: the guard follows the data.
    make_jpeg(root / "big.jpg", 2400, 1600, Sampling::s420);
    EXPECT_EQ(transform("big.jpg", 5).status, P_OK);
}

TEST_F(TransformFailure, ReadAndWriteFaults) {
    std::string jpeg = good();
    struct Case {
        const char* what;
        fs::FaultPlan plan;
        int32_t status;
    };
    const Case cases[] = {
        {"read fails after 3000 bytes", {3000, -1, fs::error_other}, P_INVALID_FORMAT},
        {"read fails at once", {0, -1, fs::error_other}, P_INVALID_FORMAT},
        {"disk full after 1000 bytes", {-1, 1000, fs::error_disk_full}, P_DISK_FULL},
        {"disk full at once", {-1, 0, fs::error_disk_full}, P_DISK_FULL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::set_fault_plan(c.plan);
        auto result = transform("good.jpg", 5);
        fs::clear_fault_plan();
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(read_bytes(root / "good.jpg"), jpeg);
        EXPECT_TRUE(temporary_files().empty());
    }
}

TEST_F(TransformFailure, RefusedBeforeAnythingIsWritten) {
    std::string jpeg = good();
    EXPECT_EQ(transform("good.jpg", 3).status, P_INVALID_PARAMETER);
    EXPECT_EQ(transform("good.jpg", 0).status, P_INVALID_PARAMETER);
    EXPECT_EQ(transform("missing.jpg", 5).status, P_INVALID_LOCATION);
    make_folder("folder.jpg");
    EXPECT_EQ(transform("folder.jpg", 5).status, P_INVALID_LOCATION);

    ASSERT_TRUE(fs::set_readonly(u"\\good.jpg", true));
    EXPECT_EQ(transform("good.jpg", 5).status, P_READ_ONLY);
    EXPECT_EQ(qelvio::decoding::JpegLosslessTransform(node(u"\\good.jpg"), 5), 0);
    ASSERT_TRUE(fs::set_readonly(u"\\good.jpg", false));
    EXPECT_EQ(read_bytes(root / "good.jpg"), jpeg);
    EXPECT_TRUE(temporary_files().empty());
}

// A temporary file that cannot be made: the transform fails and the file
// stays.
TEST_F(TransformFailure, NoTemporaryFolder) {
    std::string jpeg = good();
    std::filesystem::remove_all(temporary_folder());
    write_bytes(temporary_folder(), "a file where the folder should be");
    EXPECT_EQ(transform("good.jpg", 6).status, P_CANNOT_CREATE);
    EXPECT_EQ(read_bytes(root / "good.jpg"), jpeg);
}

TEST_F(TransformFailure, LocatorEntryPoint) {
    std::string jpeg = good();
    EXPECT_EQ(qelvio::decoding::JpegLosslessTransform(u"file:\\\\\\missing.jpg", 5), 0);
    EXPECT_EQ(qelvio::decoding::JpegLosslessTransform(u"file:\\\\\\good.jpg", 5), 1);
    EXPECT_EQ(decode(root / "good.jpg").width, 240);
}

}  // namespace
