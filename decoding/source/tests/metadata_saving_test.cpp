// Saving annotations and audio notes into camera files, and turning them
// losslessly: other programs read every value the edit did not touch as
// before. exiftool, exiv2, djpeg and jpegtran are the judges.
#include "decoding/source/image_saver.h"
#include "decoding/transform/lossless_transform_operation.h"
#include "imaging/transform.h"
#include "metadata/annotation.h"
#include "metadata/tests/camera_jpeg.h"
#include "storage/tests/device_fixture.h"

#include <cstring>
#include <functional>

namespace qd = qelvio::decoding;
namespace qm = qelvio::metadata;
using namespace camera_jpeg;

namespace {

class MetadataSaving : public DeviceFixture {
public:
    std::string local(const char* name) const { return (root / name).string(); }
    static p_irl irl(const char16_t* path) {
        p_irl locator;
        locator.set(u"file", u"", path);
        return locator;
    }
    int annotate(const std::u16string& description) {
        qd::p_ImageSource image(irl(u"\\cam.jpg"));
        if (!image.tag_list()) return -1;
        qm::apply_annotation_text(*image.tag_list(), qm::kTagImageDescription, description);
        return qd::save_image(image, {});
    }
    int set_audio(const Bytes& wav) {
        qd::p_ImageSource image(irl(u"\\cam.jpg"));
        image.set_audio(wav.empty() ? nullptr : wav.data(), wav.size());
        return qd::save_image(image, {});
    }
    std::string pixels(const std::string& path) { return command_output("djpeg -pnm " + in_quotes(path) + " | md5sum"); }
    std::string audio_stream() { return command_output("exiftool -b -AudioStream " + in_quotes(local("cam.jpg"))); }
    p_filenode* file_node() { return node(u"\\cam.jpg"); }
    Bytes sox_wav(double seconds) {
        std::string path = local("note.wav");
        run("sox -n -r 8000 -c 1 -b 16 " + in_quotes(path) + " synth " + std::to_string(seconds) + " sine 440");
        return read_file(path);
    }
};

struct Step {
    const char* what;
    std::function<int(MetadataSaving&)> run;
    std::vector<std::string> changed;  // what may differ in the listings
    bool same_scan = true;
};

TEST_F(MetadataSaving, EveryUneditedValueSurvives) {
    Bytes note = {};
    const Step steps[] = {
        {"longer description", [](MetadataSaving& t) {
             return t.annotate(u"A description much longer than the one the camera wrote, moving the directory"); },
         {"ImageDescription"}},
        {"shorter description", [](MetadataSaving& t) { return t.annotate(u"Short"); }, {"ImageDescription"}},
        {"description removed", [](MetadataSaving& t) { return t.annotate(u""); }, {"ImageDescription"}},
        {"audio embedded", [&](MetadataSaving& t) { note = t.sox_wav(5); return t.set_audio(note); },
         {"AudioStream"}},
        {"audio removed", [](MetadataSaving& t) {
             t.set_audio(t.sox_wav(2));
             return t.set_audio({}); }, {}},
        {"lossless rotate", [](MetadataSaving& t) {
             return qd::LosslessTransformOperation(t.file_node(), 5, {}); },
         {"[File]          ImageWidth", "[File]          ImageHeight", "[Composite]     ImageSize"}, false},
    };
    for (const char* order : {"MM", "II"}) {
        for (const Step& step : steps) {
            SCOPED_TRACE(std::string(order) + ": " + step.what);
            ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), order));
            Bytes before = read_file(local("cam.jpg"));
            auto tags_before = exiftool_tags(local("cam.jpg"));
            auto exiv2_before = exiv2_tags(local("cam.jpg"));
            auto warnings_before = validation_warnings(local("cam.jpg"));
            std::string pixels_before = pixels(local("cam.jpg"));

            ASSERT_EQ(step.run(*this), 0);
            Bytes after = read_file(local("cam.jpg"));
            auto allowed = [&](const std::string& line) {
                return std::any_of(step.changed.begin(), step.changed.end(),
                                   [&](const std::string& t) { return line.find(t) != std::string::npos; });
            };
            auto [added, gone] = difference(tags_before, exiftool_tags(local("cam.jpg")));
            for (const auto& line : added) EXPECT_TRUE(allowed(line)) << "new: " << line;
            for (const auto& line : gone) EXPECT_TRUE(allowed(line)) << "gone: " << line;
            auto [added2, gone2] = difference(exiv2_before, exiv2_tags(local("cam.jpg")));
            for (const auto& line : added2) EXPECT_TRUE(allowed(line)) << "exiv2 new: " << line;
            for (const auto& line : gone2) EXPECT_TRUE(allowed(line)) << "exiv2 gone: " << line;
            for (const std::string& w : validation_warnings(local("cam.jpg")))
                EXPECT_TRUE(warnings_before.count(w)) << "new warning: " << w;

            // Segments: only the Exif one (annotations) or the FlashPix ones
            // (audio) change; every other one is byte for byte the same. A
            // turn rewrites the tables and the frame, and keeps every APPn.
            std::multiset<int> changed, lost;
            for (int m : changed_segments(before, after))
                if (step.same_scan || (m >= 0xE0 && m <= 0xEF)) changed.insert(m);
            for (int m : lost_segments(before, after))
                if (step.same_scan || (m >= 0xE0 && m <= 0xEF)) lost.insert(m);
            for (int marker : changed) EXPECT_TRUE(marker == 0xE1 || marker == 0xE2) << std::hex << marker;
            for (int marker : lost) EXPECT_TRUE(marker == 0xE1 && step.changed[0] == "ImageDescription") << std::hex << marker;
            if (step.same_scan) {
                EXPECT_EQ(scan(after), scan(before));
                EXPECT_EQ(pixels(local("cam.jpg")), pixels_before);
            } else {
                EXPECT_TRUE(changed.empty() && lost.empty());
                write_file(local("orig.jpg"), before);
                run("jpegtran -rotate 90 -copy all " + in_quotes(local("orig.jpg")) + " > " + in_quotes(local("ref.jpg")));
                EXPECT_EQ(pixels(local("cam.jpg")), pixels(local("ref.jpg")));
            }
            if (std::string(step.what) == "audio embedded") {
                EXPECT_EQ(audio_stream(), std::string(note.begin(), note.end()));
            }
            if (std::string(step.what) == "audio removed") {
                EXPECT_EQ(after, before);
            }
        }
    }
}

TEST_F(MetadataSaving, AudioStreamOfOneTwoAndThreeSegments) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    Bytes before = read_file(local("cam.jpg"));
    for (double seconds : {1.5, 5.0, 8.5}) {
        SCOPED_TRACE(seconds);
        Bytes wav = sox_wav(seconds);
        ASSERT_EQ(set_audio(wav), 0);
        EXPECT_EQ(audio_stream(), std::string(wav.begin(), wav.end()));
        EXPECT_EQ(command_output("exiftool -q -q -warning -a " + in_quotes(local("cam.jpg"))), "");
        qd::p_ImageSource image(irl(u"\\cam.jpg"));
        ASSERT_NE(image.audio(), nullptr);
        EXPECT_EQ(*image.audio(), wav);
    }
    ASSERT_EQ(set_audio({}), 0);
    EXPECT_EQ(read_file(local("cam.jpg")), before);
}

TEST_F(MetadataSaving, AReencodedImageKeepsItsReadableNote) {
    // An edited picture is encoded anew; its note goes with it, listed.
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    Bytes wav = sox_wav(5);
    ASSERT_EQ(set_audio(wav), 0);
    qd::p_ImageSource image(irl(u"\\cam.jpg"));
    ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
    auto edited = std::make_unique<qelvio::imaging::Dib>();
    ASSERT_TRUE(qelvio::imaging::DibCreate(*edited, 64, 48, 24, 0));
    image.replace_whole_image(std::move(edited));
    ASSERT_EQ(qd::save_image(image, {}), 0);
    EXPECT_EQ(command_output("identify -format '%wx%h' " + in_quotes(local("cam.jpg"))), "64x48");
    EXPECT_EQ(audio_stream(), std::string(wav.begin(), wav.end()));
    EXPECT_EQ(command_output("exiftool -q -q -warning -a " + in_quotes(local("cam.jpg")) + " | grep -i fpxr"), "");
}

// The listing lines of the given groups (exiftool's "[group]" or exiv2's
// "Exif.group." prefixes).
std::vector<std::string> lines_of(const std::vector<std::string>& lines, const std::vector<std::string>& prefixes) {
    std::vector<std::string> out;
    for (const std::string& l : lines)
        if (std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& p) { return l.rfind(p, 0) == 0; }))
            out.push_back(l);
    return out;
}

TEST_F(MetadataSaving, AnEditedPictureKeepsTheCamerasExifValid) {
    // A camera file turned on its side (orientation 6), its picture cropped
    // and its description lengthened, then saved: the picture is encoded
    // anew and the file's own Exif payload goes with it.
    for (const char* order : {"MM", "II"}) {
        SCOPED_TRACE(order);
        ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), order, 6));
        Bytes before = read_file(local("cam.jpg"));
        std::string old_thumbnail = command_output("exiftool -b -ThumbnailImage " + in_quotes(local("cam.jpg")));
        ASSERT_GT(old_thumbnail.size(), 1000u);
        auto tags_before = exiftool_tags(local("cam.jpg"));
        auto exiv2_before = exiv2_tags(local("cam.jpg"));
        auto warnings_before = validation_warnings(local("cam.jpg"));
        {
            qd::p_ImageSource image(irl(u"\\cam.jpg"));
            ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
            const qelvio::imaging::Dib* whole = image.whole_image();
            ASSERT_NE(whole, nullptr);
            auto cropped = qelvio::imaging::DibCrop(*whole, {0, 100, 320, 300});
            ASSERT_NE(cropped, nullptr);
            image.replace_whole_image(std::move(cropped));
            qm::apply_annotation_text(*image.tag_list(), qm::kTagImageDescription,
                                      u"A description longer than the camera's, written with the new picture");
            ASSERT_EQ(qd::save_image(image, {}), 0);
        }
        Bytes after = read_file(local("cam.jpg"));
        EXPECT_EQ(command_output("identify -format '%wx%h' " + in_quotes(local("cam.jpg"))), "320x200");
        EXPECT_EQ(command_output("djpeg -pnm " + in_quotes(local("cam.jpg")) + " 2>&1 >/dev/null"), "");
        auto tags_after = exiftool_tags(local("cam.jpg"));
        // The maker note, GPS and Interop values read as before, by both tools.
        EXPECT_EQ(lines_of(tags_after, {"[Canon]", "[GPS]", "[InteropIFD]"}),
                  lines_of(tags_before, {"[Canon]", "[GPS]", "[InteropIFD]"}));
        auto exiv2_after = exiv2_tags(local("cam.jpg"));
        EXPECT_EQ(lines_of(exiv2_after, {"Exif.Canon", "Exif.GPSInfo.", "Exif.Iop."}),
                  lines_of(exiv2_before, {"Exif.Canon", "Exif.GPSInfo.", "Exif.Iop."}));
        ASSERT_FALSE(lines_of(exiv2_before, {"Exif.Canon"}).empty());
        // Every other Exif value is unchanged but the edited ones, the
        // picture's size, its orientation and the dropped thumbnail.
        auto [added, gone] = difference(lines_of(tags_before, {"[IFD0]", "[ExifIFD]", "[IFD1]"}),
                                        lines_of(tags_after, {"[IFD0]", "[ExifIFD]", "[IFD1]"}));
        EXPECT_EQ(added, (std::vector<std::string>{
                             "[ExifIFD]       ExifImageHeight                 : 200",
                             "[ExifIFD]       ExifImageWidth                  : 320",
                             "[IFD0]          ImageDescription                : A description longer than the "
                             "camera's, written with the new picture",
                             "[IFD0]          Orientation                     : 1"}));
        for (const std::string& line : gone)
            EXPECT_TRUE(line.rfind("[IFD1]", 0) == 0 || line.find("ExifImage") != std::string::npos ||
                        line.find("ImageDescription") != std::string::npos ||
                        line.find("Orientation") != std::string::npos)
                << "gone: " << line;
        EXPECT_FALSE(lines_of(gone, {"[IFD1]"}).empty());
        // The old thumbnail showed the uncropped picture: none of it is left.
        EXPECT_EQ(command_output("exiftool -b -ThumbnailImage " + in_quotes(local("cam.jpg"))), "");
        EXPECT_FALSE(contains(after, old_thumbnail.substr(200, 64)));
        for (const std::string& w : validation_warnings(local("cam.jpg")))
            EXPECT_TRUE(warnings_before.count(w)) << "new warning: " << w;
        // The maker note is byte for byte at its old offset from the TIFF header.
        std::string b(before.begin(), before.end()), a(after.begin(), after.end());
        std::size_t tiff_b = b.find(std::string("Exif\0\0", 6)), tiff_a = a.find(std::string("Exif\0\0", 6));
        std::size_t note_b = b.find("IMG:EOS 5D JPEG"), note_a = a.find("IMG:EOS 5D JPEG");
        ASSERT_NE(note_a, std::string::npos);
        EXPECT_EQ(note_a - tiff_a, note_b - tiff_b);
    }
}

TEST_F(MetadataSaving, ADamagedExifSegmentIsNotReplaced) {
    // An Exif segment whose first directory is cut short: embedding a note
    // leaves it byte for byte; an annotation is refused and changes nothing.
    ASSERT_TRUE(run("convert -size 200x150 plasma:fractal -seed 4 -quality 90 " + in_quotes(local("cam.jpg"))));
    Bytes file = read_file(local("cam.jpg"));
    std::string damaged("\xFF\xE1\x00\x2A" "Exif\0\0MM\0\x2A\0\0\0\x08\0\x20", 20);
    const unsigned char entries[] = {1, 0x12, 0, 3, 0, 0, 0, 1, 0, 1, 0, 0, 1, 0x28, 0, 3, 0, 0, 0, 1, 0, 2, 0, 0};
    damaged.append(reinterpret_cast<const char*>(entries), sizeof entries);
    ASSERT_EQ(damaged.size(), 2u + 0x2A);
    file.insert(file.begin() + 20, damaged.begin(), damaged.end());
    write_file(local("cam.jpg"), file);
    Bytes wav = sox_wav(1);
    ASSERT_EQ(set_audio(wav), 0);
    Bytes after = read_file(local("cam.jpg"));
    EXPECT_TRUE(contains(after, damaged.substr(4)));  // the payload, as it was
    EXPECT_EQ(audio_stream(), std::string(wav.begin(), wav.end()));
    EXPECT_LT(annotate(u"hello"), 0);
    EXPECT_EQ(read_file(local("cam.jpg")), after);
}

TEST_F(MetadataSaving, AJpegWithoutAppSegmentsCanBeAnnotated) {
    ASSERT_TRUE(run("convert -size 200x150 plasma:fractal -seed 4 -quality 90 " + in_quotes(local("scan.jpg"))));
    Bytes jfif = read_file(local("scan.jpg"));
    ASSERT_EQ(jfif[3], 0xE0);
    Bytes bare(jfif.begin(), jfif.begin() + 2);
    bare.insert(bare.end(), jfif.begin() + 4 + (jfif[4] << 8 | jfif[5]) - 2 + 2, jfif.end());
    ASSERT_NE(bare[3], 0xE0);
    write_file(local("cam.jpg"), bare);
    ASSERT_EQ(annotate(u"hello"), 0);
    Bytes after = read_file(local("cam.jpg"));
    EXPECT_EQ(after[2], 0xFF);
    EXPECT_EQ(after[3], 0xE1);  // right after the start of image
    EXPECT_EQ(command_output("exiftool -s3 -ImageDescription " + in_quotes(local("cam.jpg"))), "hello\n");
    EXPECT_EQ(scan(after), scan(bare));
    EXPECT_EQ(pixels(local("cam.jpg")), pixels(local("scan.jpg")));
}

TEST_F(MetadataSaving, AFileWithLargeIccProfileSurvivesAnAnnotation) {
    // libjpeg splits a 70 KB profile into full-length APP2 chunks.
    write_file(local("big.icc"), icc_profile(70000));
    ASSERT_TRUE(run("convert -size 300x200 plasma:fractal -seed 5 ppm:- | cjpeg -quality 90 -icc " +
                    in_quotes(local("big.icc")) + " > " + in_quotes(local("cam.jpg"))));
    Bytes before = read_file(local("cam.jpg"));
    write_file(local("orig.jpg"), before);
    ASSERT_EQ(annotate(u"hello"), 0);
    Bytes after = read_file(local("cam.jpg"));
    EXPECT_EQ(command_output("djpeg -pnm " + in_quotes(local("cam.jpg")) + " 2>&1 >/dev/null"), "");
    EXPECT_EQ(pixels(local("cam.jpg")), pixels(local("orig.jpg")));
    EXPECT_EQ(command_output("exiftool -b -ICC_Profile " + in_quotes(local("cam.jpg"))),
              command_output("cat " + in_quotes(local("big.icc"))));
    EXPECT_EQ(command_output("exiftool -q -q -warning -a " + in_quotes(local("cam.jpg"))), "");
    EXPECT_EQ(changed_segments(before, after), (std::multiset<int>{0xE1}));
    EXPECT_TRUE(lost_segments(before, after).empty());
    EXPECT_EQ(scan(after), scan(before));
}

}  // namespace

TEST_F(MetadataSaving, AnEditedPictureKeepsTheFilesProfileXmpAndIptc) {
    // A file with a 70 KB colour profile in libjpeg's APP2 chunks, XMP (also
    // an extended XMP segment), IPTC in Photoshop's APP13, Adobe's colour
    // transform segment and a multi-picture index, its picture cropped and
    // saved: the profile, XMP and IPTC segments go over byte for byte, in
    // their order, after the Exif segment; the two that describe the old
    // encoding stay behind.
    write_file(local("big.icc"), icc_profile(70000));
    ASSERT_TRUE(run("convert -size 400x300 plasma:fractal -seed 5 ppm:- | cjpeg -rgb -quality 90 -icc " +
                    in_quotes(local("big.icc")) + " > " + in_quotes(local("cam.jpg"))));
    ASSERT_TRUE(run("exiftool -q -q -overwrite_original -Make=Canon '-Model=Canon EOS 5D' -Orientation#=6"
                    " -ExifImageWidth=400 -ExifImageHeight=300 -GPSLatitude=12.5 -GPSLatitudeRef=N"
                    " -XMP-dc:Title=Lake -XMP-dc:Subject=one -XMP-dc:Subject=two '-XMP-dc:Creator=Ann Painter'"
                    " -IPTC:Keywords=alpha -IPTC:Keywords=beta -IPTC:City=Lakeside '-IPTC:Caption-Abstract=A caption' " +
                    in_quotes(local("cam.jpg"))));
    Bytes file = read_file(local("cam.jpg"));
    auto physical = [](int marker, const std::string& payload) {
        std::size_t length = payload.size() + 2;
        return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                           static_cast<char>(length & 0xFF)} + payload;
    };
    std::string extended = physical(0xE1, std::string("http://ns.adobe.com/xmp/extension/\0", 35) +
                                              "0123456789ABCDEF0123456789ABCDEF" + std::string("\0\0\0\x28\0\0\0\0", 8) +
                                              "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>   ");
    std::string mpf = physical(0xE2, std::string("MPF\0II*\0\x08\0\0\0\0\0\0\0\0\0", 18));
    std::string s(file.begin(), file.end());
    std::size_t adobe = s.find(std::string("\xFF\xEE\x00\x0E" "Adobe", 9));
    ASSERT_NE(adobe, std::string::npos);
    s.insert(adobe, extended + mpf);
    write_file(local("cam.jpg"), Bytes(s.begin(), s.end()));
    Bytes before = read_file(local("cam.jpg"));

    // The physical APPn segments, as (marker, bytes).
    auto app_segments = [](const Bytes& bytes) {
        std::vector<std::pair<int, std::string>> out;
        for (auto& segment : segments(bytes))
            if (segment.first >= 0xE0 && segment.first <= 0xEF) out.push_back(segment);
        return out;
    };
    auto is_exif = [](const std::pair<int, std::string>& segment) {
        return segment.first == 0xE1 && segment.second.compare(4, 6, std::string("Exif\0\0", 6)) == 0;
    };
    std::vector<std::pair<int, std::string>> expected_carried;
    for (auto& segment : app_segments(before))
        if ((segment.first == 0xE1 && !is_exif(segment)) || segment.first == 0xED ||
            (segment.first == 0xE2 && segment.second.compare(4, 12, std::string("ICC_PROFILE\0", 12)) == 0))
            expected_carried.push_back(segment);
    ASSERT_EQ(expected_carried.size(), 5u);  // APP13, XMP, extended XMP, two profile chunks
    EXPECT_EQ(std::count_if(expected_carried.begin(), expected_carried.end(),
                            [](auto& segment) { return segment.second.size() == 65535 + 2; }), 1);
    auto listing = [&] {
        return command_output("exiftool -a -G1 -s -XMP:all -IPTC:all " + in_quotes(local("cam.jpg")));
    };
    std::string listing_before = listing();
    ASSERT_NE(listing_before.find("Lakeside"), std::string::npos);
    ASSERT_NE(listing_before.find("Ann Painter"), std::string::npos);
    auto warnings_before = validation_warnings(local("cam.jpg"));
    {
        qd::p_ImageSource image(irl(u"\\cam.jpg"));
        ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
        const qelvio::imaging::Dib* whole = image.whole_image();
        ASSERT_NE(whole, nullptr);
        auto cropped = qelvio::imaging::DibCrop(*whole, {0, 50, 240, 210});
        ASSERT_NE(cropped, nullptr);
        image.replace_whole_image(std::move(cropped));
        ASSERT_EQ(qd::save_image(image, {}), 0);
    }
    Bytes after = read_file(local("cam.jpg"));
    EXPECT_EQ(command_output("identify -format '%wx%h' " + in_quotes(local("cam.jpg"))), "240x160");
    EXPECT_EQ(command_output("djpeg -pnm " + in_quotes(local("cam.jpg")) + " 2>&1 >/dev/null"), "");
    EXPECT_EQ(command_output("exiftool -b -ICC_Profile " + in_quotes(local("cam.jpg"))),
              command_output("cat " + in_quotes(local("big.icc"))));
    EXPECT_EQ(listing(), listing_before);
    for (const std::string& w : validation_warnings(local("cam.jpg")))
        EXPECT_TRUE(warnings_before.count(w)) << "new warning: " << w;
    // The new file's APPn segments: its own JFIF header, the Exif segment,
    // then the carried ones exactly as they were; no Adobe or MPF segment.
    auto after_segments = app_segments(after);
    ASSERT_EQ(after_segments.size(), 2 + expected_carried.size());
    EXPECT_EQ(after_segments[0].first, 0xE0);
    EXPECT_EQ(after_segments[0].second.compare(4, 5, std::string("JFIF\0", 5)), 0);
    EXPECT_TRUE(is_exif(after_segments[1]));
    EXPECT_TRUE(std::equal(expected_carried.begin(), expected_carried.end(), after_segments.begin() + 2));
    EXPECT_FALSE(contains(after, mpf.substr(4)));
    EXPECT_EQ(command_output("exiftool -s3 -Orientation -ExifImageWidth " + in_quotes(local("cam.jpg"))),
              "Horizontal (normal)\n240\n");
}
