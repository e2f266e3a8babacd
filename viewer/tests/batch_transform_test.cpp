// The browser's transform of several selected JPEG files, checked against
// jpegtran byte for byte, with the read-only and being-sent refusals.
#include "viewer/batch_transform.h"

#include "metadata/tests/camera_jpeg.h"
#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

using namespace qelvio::viewer;

namespace {

struct RecordingHost : BatchTransformHost {
    void tell(std::u16string_view text) override { told.emplace_back(text); }
    bool being_sent(const p_irl& locator) override { return std::u16string_view(locator.c_str()).ends_with(sending); }
    void forget(const p_irl& locator) override { forgotten.emplace_back(locator.c_str()); }
    std::vector<std::u16string> told, forgotten;
    std::u16string sending = u"<none>";
};

class BatchTransform : public DeviceFixture {
protected:
    std::string local(const std::string& name) const { return (root / name).string(); }
    void convert(const std::string& args, const std::string& name) {
        ASSERT_EQ(std::system(("convert " + args + " '" + local(name) + "'").c_str()), 0);
    }
    static p_irl irl(const char16_t* path) {
        p_irl locator;
        locator.set(u"file", u"", path);
        return locator;
    }
};

}  // namespace

TEST_F(BatchTransform, EveryWritableFileTurnsAsJpegtranTurnsIt) {
    convert("-size 100x75 plasma:fractal -seed 2 -sampling-factor 2x2 -quality 80", "a.jpg");
    convert("-size 64x48 gradient:red-blue -colorspace gray -quality 90", "b.jpg");
    convert("-size 40x40 xc:green -quality 90", "locked.jpg");
    convert("-size 40x40 xc:blue -quality 90", "beamed.jpg");
    std::filesystem::permissions(root / "locked.jpg", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    std::string expected_a = command_output("jpegtran -copy all -trim -rotate 90 '" + local("a.jpg") + "'");
    std::string expected_b = command_output("jpegtran -copy all -trim -rotate 90 '" + local("b.jpg") + "'");
    std::string locked = read("locked.jpg"), beamed = read("beamed.jpg");
    RecordingHost host;
    host.sending = u"beamed.jpg";
    int done = transform_files({irl(u"\\a.jpg"), irl(u"\\locked.jpg"), irl(u"\\beamed.jpg"), irl(u"\\b.jpg")}, 5, host);
    EXPECT_EQ(done, 2);
    EXPECT_EQ(read("a.jpg"), expected_a);
    EXPECT_EQ(read("b.jpg"), expected_b);
    EXPECT_EQ(read("locked.jpg"), locked);
    EXPECT_EQ(read("beamed.jpg"), beamed);
    EXPECT_EQ(host.told, (std::vector<std::u16string>{u"The image 'locked.jpg' is read-only; it can't be transformed.",
                                                      u"The image 'beamed.jpg' is being sent via infrared; it can't be transformed."}));
    EXPECT_EQ(host.forgotten, (std::vector<std::u16string>{u"file:\\\\\\a.jpg", u"file:\\\\\\b.jpg"}));
}

// Every code the dialog offers, on a camera file (maker note, GPS, ICC
// profile, Exif thumbnail): the file is what jpegtran makes of it.
TEST_F(BatchTransform, EachCodeOnACameraFileIsWhatJpegtranMakes) {
    ASSERT_TRUE(camera_jpeg::make_camera_jpeg(local("camera.jpg"), "II", 6));
    struct Case {
        int code;
        const char* option;
    } cases[] = {{7, "-rotate 270"}, {6, "-rotate 180"}, {5, "-rotate 90"}, {1, "-flip horizontal"},
                 {2, "-flip vertical"}};
    for (auto c : cases) {
        std::filesystem::copy_file(root / "camera.jpg", root / "t.jpg", std::filesystem::copy_options::overwrite_existing);
        RecordingHost host;
        EXPECT_EQ(transform_files({irl(u"\\t.jpg")}, c.code, host), 1) << c.option;
        EXPECT_EQ(read("t.jpg"), command_output("jpegtran -copy all -trim " + std::string(c.option) + " '" +
                                                local("camera.jpg") + "'"))
            << c.option;
        EXPECT_TRUE(host.told.empty());
    }
}

TEST_F(BatchTransform, AFileTheEngineCannotReadIsToldAndLeftAsItWas) {
    convert("-size 64x48 xc:red -quality 90", "good.jpg");
    make_file("broken.jpg", std::string("\xFF\xD8\xFF\xE0", 4) + "not a picture");
    std::string broken = read("broken.jpg");
    RecordingHost host;
    EXPECT_EQ(transform_files({irl(u"\\broken.jpg"), irl(u"\\good.jpg")}, 6, host), 1);
    EXPECT_EQ(read("broken.jpg"), broken);
    EXPECT_EQ(host.told, std::vector<std::u16string>{u"There is not enough memory to transform the image 'broken.jpg'."});
    // No temporary file is left anywhere.
    EXPECT_EQ(listing(), (std::vector<std::string>{"Windows", "broken.jpg", "good.jpg"}));
    EXPECT_TRUE(listing("Windows/Temp").empty());
}
