// Writing JPEG files and saving an image's changes, checked with djpeg,
// exiftool and exiv2.
#include "decoding/source/image_saver.h"
#include "decoding/source/jpeg_writer.h"
#include "metadata/annotation.h"
#include "metadata/tests/jpeg_segments.h"
#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"


namespace qd = qelvio::decoding;
namespace qi = qelvio::imaging;
namespace qm = qelvio::metadata;

namespace {

struct ScriptedQuestion : qelvio::platform::UserQuestion {
    explicit ScriptedQuestion(int a) : answer(a) {}
    int ask_yes_no_cancel(int string_id) override {
        asked = string_id;
        return answer;
    }
    int answer;
    int asked = 0;
};

class Saving : public DeviceFixture {
protected:
    std::string local(const char* name) const { return (root / name).string(); }
    void convert(const std::string& args, const char* name) {
        ASSERT_EQ(std::system(("convert " + args + " '" + local(name) + "'").c_str()), 0);
    }
    static p_irl irl(const char16_t* path) {
        p_irl locator;
        locator.set(u"file", u"", path);
        return locator;
    }
    // Temporary files left behind.
    std::vector<std::string> leftovers() {
        return std::filesystem::exists(root / "Windows/Temp") ? listing("Windows/Temp")
                                                              : std::vector<std::string>{};
    }
};

TEST_F(Saving, WrittenJpegDecodesToThePicture) {
    convert("-size 97x61 gradient:red-blue -quality 95", "in.jpg");
    qd::p_ImageSource image(irl(u"\\in.jpg"));
    ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
    ASSERT_EQ(qd::write_jpeg(image, u"\\out.jpg", 90, false), 0);
    EXPECT_EQ(command_output("identify -format '%wx%h %Q' '" + local("out.jpg") + "'"), "97x61 90");
    // Our encoder and libjpeg's cjpeg at the same settings give the same scan.
    std::string ppm = local("ref.ppm");
    ASSERT_EQ(std::system(("djpeg -pnm '" + local("in.jpg") + "' > '" + ppm + "'").c_str()), 0);
    EXPECT_EQ(command_output("djpeg -pnm '" + local("out.jpg") + "' | md5sum"),
              command_output("cjpeg -quality 90 -baseline -sample 2x2 '" + ppm + "' | djpeg -pnm | md5sum"));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Saving, ThumbnailModeCarriesNoMetadata) {
    convert("-size 200x100 xc:orange -quality 90", "p.jpg");
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -Artist=Someone '" + local("p.jpg") + "'").c_str()), 0);
    qd::p_ImageSource image(irl(u"\\p.jpg"));
    ASSERT_EQ(image.thumbnail(), 0);
    ASSERT_EQ(qd::write_jpeg(image, u"\\OLM1.jpg", qd::kThumbnailQuality, true), 0);
    for (auto [marker, size] : jpeg_segments(read("OLM1.jpg"))) {
        EXPECT_NE(marker, 0xE1);
        EXPECT_NE(marker, 0xE2);
    }
    EXPECT_EQ(command_output("identify -format '%wx%h' '" + local("OLM1.jpg") + "'"), "64x32");

    ASSERT_EQ(qd::write_jpeg(image, u"\\full.jpg", 80, false), 0);
    EXPECT_EQ(command_output("exiftool -s3 -Artist '" + local("full.jpg") + "'"), "Someone\n");
}

TEST_F(Saving, DescriptionChangeRewritesOnlyTheExifSegment) {
    convert("-size 160x120 plasma:fractal -seed 3 -quality 90", "d.jpg");
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -ImageDescription=Before -Make=Acme '" +
                           local("d.jpg") + "'").c_str()), 0);
    std::string before = read("d.jpg");
    qd::p_ImageSource image(irl(u"\\d.jpg"));
    ASSERT_NE(image.tag_list(), nullptr);
    EXPECT_TRUE(qm::apply_annotation_text(*image.tag_list(), qm::kTagImageDescription, u"After the storm"));
    EXPECT_TRUE(qm::apply_annotation_text(*image.tag_list(), qm::kTagArtist, u"Ann Painter"));
    EXPECT_TRUE(qm::apply_annotation_text(*image.tag_list(), qm::kTagCopyright, u"(c) 2026 Ann"));
    EXPECT_EQ(image.changes(), qd::kChangedTagList);
    std::vector<p_irl> forgotten;
    qd::SaveContext context;
    context.forget = [&](const p_irl& locator) { forgotten.push_back(locator); };
    ASSERT_EQ(qd::save_image(image, context), 0);
    EXPECT_EQ(image.changes(), 0u);
    ASSERT_EQ(forgotten.size(), 1u);

    std::string after = read("d.jpg");
    auto seg_before = jpeg_segments(before), seg_after = jpeg_segments(after);
    ASSERT_EQ(seg_before.size(), seg_after.size());
    for (std::size_t i = 0; i < seg_before.size(); ++i) {
        EXPECT_EQ(seg_before[i].first, seg_after[i].first);
        if (seg_before[i].first != 0xE1) {
            EXPECT_EQ(seg_before[i].second, seg_after[i].second);
        }
    }
    EXPECT_EQ(before.substr(before.find("\xFF\xDA")), after.substr(after.find("\xFF\xDA")));
    EXPECT_EQ(command_output("exiftool -q -q -validate -warning -error -a '" + local("d.jpg") + "'"),
              "Validate                        : OK\n");
    EXPECT_EQ(command_output("exiftool -s3 -ImageDescription -Artist -Copyright -Make '" + local("d.jpg") + "'"),
              "After the storm\nAnn Painter\n(c) 2026 Ann\nAcme\n");
    EXPECT_EQ(command_output("exiv2 -q -K Exif.Image.ImageDescription -Pv '" + local("d.jpg") + "'"), "After the storm\n");
    EXPECT_EQ(command_output("exiv2 -q -K Exif.Image.Artist -Pv '" + local("d.jpg") + "'"), "Ann Painter\n");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Saving, FailedInPlaceSaveLeavesTheFileAsItWas) {
    convert("-size 300x200 plasma:fractal -seed 9 -quality 90", "f.jpg");
    std::string before = read("f.jpg");
    for (int64_t fail_after : {100, 20000}) {
        qd::p_ImageSource image(irl(u"\\f.jpg"));
        qm::apply_annotation_text(*image.tag_list(), qm::kTagArtist, u"Somebody");
        qelvio::platform::set_fault_plan({-1, fail_after, qelvio::platform::error_disk_full});
        EXPECT_EQ(qd::save_image(image, {}), P_FAILED);
        qelvio::platform::clear_fault_plan();
        EXPECT_EQ(read("f.jpg"), before);
        EXPECT_TRUE(leftovers().empty());
    }
}

TEST_F(Saving, EditedJpegIsEncodedAtTheSettingsQuality) {
    convert("-size 120x80 xc:teal -quality 95", "q.jpg");
    qd::p_ImageSource image(irl(u"\\q.jpg"));
    ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
    auto edited = std::make_unique<qi::Dib>();
    ASSERT_TRUE(qi::DibCreate(*edited, 60, 40, 24, 0));
    image.replace_whole_image(std::move(edited));
    qd::SaveContext context;
    context.quality_setting = 0;
    ASSERT_EQ(qd::save_image(image, context), 0);
    EXPECT_EQ(command_output("identify -format '%wx%h %Q' '" + local("q.jpg") + "'"), "60x40 30");
    EXPECT_EQ(image.changes(), 0u);
}

TEST_F(Saving, OtherFormatsBecomeJpegs) {
    struct Case {
        int answer;
        std::vector<std::string> files;
    } cases[] = {
        {qelvio::platform::kAnswerYes, {"a.b.bmp", "a.b.jpg"}},
        {qelvio::platform::kAnswerNo, {"a.b.jpg"}},
        {qelvio::platform::kAnswerCancel, {"a.b.bmp"}},
    };
    for (const Case& c : cases) {
        if (exists("a.b.jpg")) {
            ASSERT_EQ(node(u"\\")->deletechild(u"a.b.jpg"), P_OK);
        }
        convert("-size 50x30 xc:purple", "a.b.bmp");
        std::string bmp = read("a.b.bmp");
        qd::p_ImageSource image(irl(u"\\a.b.bmp"));
        ScriptedQuestion question(c.answer);
        qd::SaveContext context;
        context.question = &question;
        auto edited = std::make_unique<qi::Dib>();
        ASSERT_TRUE(qi::DibCreate(*edited, 50, 30, 24, 0));
        image.replace_whole_image(std::move(edited));
        int status = qd::save_image(image, context);
        EXPECT_EQ(question.asked, 35109);
        EXPECT_EQ(status, c.answer == qelvio::platform::kAnswerCancel ? P_CANCELLED : P_OK);
        std::vector<std::string> files;
        for (const std::string& f : listing())
            if (f.rfind("a.b", 0) == 0) files.push_back(f);
        EXPECT_EQ(files, c.files) << c.answer;
        if (c.answer == qelvio::platform::kAnswerYes) {
            EXPECT_EQ(read("a.b.bmp"), bmp);
            EXPECT_EQ(command_output("identify -format '%m %wx%h %Q' '" + local("a.b.jpg") + "'"), "JPEG 50x30 95");
        }
        EXPECT_EQ(leftovers(), std::vector<std::string>{});
    }
}

TEST_F(Saving, ReadOnlyFilesAreRefused) {
    convert("-size 20x20 xc:red -quality 90", "r.jpg");
    std::string before = read("r.jpg");
    ASSERT_EQ(node(u"\\r.jpg")->setfileattributes(P_ATTRIBUTE_READONLY), P_OK);
    qd::p_ImageSource image(irl(u"\\r.jpg"));
    qm::apply_annotation_text(*image.tag_list(), qm::kTagArtist, u"X");
    EXPECT_EQ(qd::save_image(image, {}), P_CANNOT_WRITE);
    EXPECT_EQ(read("r.jpg"), before);
}

TEST(Annotation, TextRules) {
    qm::ExifTagList list;
    EXPECT_FALSE(qm::apply_annotation_text(list, qm::kTagArtist, u""));
    EXPECT_TRUE(qm::apply_annotation_text(list, qm::kTagArtist, u"Ann"));
    EXPECT_FALSE(qm::apply_annotation_text(list, qm::kTagArtist, u"Ann"));
    EXPECT_TRUE(qm::apply_annotation_text(list, qm::kTagArtist, u"Bob"));
    ASSERT_NE(list.find(qm::kTagArtist), nullptr);
    EXPECT_EQ(list.find(qm::kTagArtist)->text(), u"Bob");
    EXPECT_TRUE(qm::apply_annotation_text(list, qm::kTagArtist, u""));
    EXPECT_EQ(list.find(qm::kTagArtist), nullptr);
    EXPECT_TRUE(qm::apply_annotation_text(list, qm::kTagCopyright, u"\u00A9 2026"));
    EXPECT_EQ(list.find(qm::kTagCopyright, qm::kExifGroupPrimary)->text(), u"\u00A9 2026");
}

}  // namespace
