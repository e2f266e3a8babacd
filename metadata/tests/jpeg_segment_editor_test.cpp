// Rewriting a JPEG's APPn segments, and the audio annotation in FlashPix
// APP2 segments. Fixtures are made with ImageMagick; exiftool and djpeg
// check the results.
#include "metadata/annotation.h"
#include "metadata/fpxr_audio_set.h"
#include "metadata/jpeg_segment_editor.h"
#include "metadata/tests/camera_jpeg.h"
#include "metadata/tests/jpeg_segments.h"
#include "storage/tests/command_output.h"
#include "storage/tests/device_fixture.h"

#include <numeric>

namespace qm = qelvio::metadata;

namespace {

std::vector<uint8_t> pattern(std::size_t n, int seed) {
    std::vector<uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>((i * 31 + seed) ^ (i >> 8));
    return v;
}

class SegmentEditor : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        std::string cmd = "convert -size 96x64 gradient:red-blue -quality 90 '" +
                          (root / "photo.jpg").string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        original = read("photo.jpg");
    }
    std::string local(const char* name) const { return (root / name).string(); }
    // Pixels as djpeg decodes them: the scan's meaning.
    std::string pixels(const char* name) { return command_output("djpeg -pnm '" + local(name) + "'"); }

    // Writes one APPn payload into the file through the editor.
    int32_t write_segment(uint8_t marker, int n, const std::vector<uint8_t>& payload) {
        p_filestream stream(node(u"\\photo.jpg"));
        qm::JpegSegmentEditor editor(stream);
        int32_t status = editor.parse();
        if (status < 0) return status;
        if ((status = editor.set_segment(marker, n, static_cast<uint32_t>(payload.size()))) < 0)
            return status;
        if ((status = editor.rewrite()) < 0) return status;
        editor.open_segment(marker, n);
        status = editor.write_to_segment(payload.data(), static_cast<uint32_t>(payload.size()));
        editor.close_segment();
        return editor.finish(status >= 0) < 0 ? -1 : status;
    }

    std::string original;
};

TEST_F(SegmentEditor, ParsesTheSegmentList) {
    p_filestream stream(node(u"\\photo.jpg"));
    qm::JpegSegmentEditor editor(stream);
    ASSERT_EQ(editor.parse(), 0);
    const auto& list = editor.segments();
    ASSERT_GE(list.size(), 5u);
    EXPECT_EQ(list.front().marker, 0xD8);
    EXPECT_EQ(list[1].marker, 0xE0);
    EXPECT_EQ(list[1].source_size, 14u);  // the JFIF header
    EXPECT_EQ(list.back().marker, 0xD9);
    const qm::JpegSegment& scan = list[list.size() - 2];
    EXPECT_EQ(scan.marker, 0xDA);
    EXPECT_EQ(scan.source_offset + scan.source_size, original.size() - 2);
    EXPECT_EQ(editor.read_segment(0xE0, 0, nullptr, 0), 14);
    char jfif[5];
    EXPECT_EQ(editor.read_segment(0xE0, 0, jfif, 5), 5);
    EXPECT_EQ(std::string(jfif, 5), std::string("JFIF\0", 5));
    EXPECT_EQ(editor.find(0xE1, 0), nullptr);
}

TEST_F(SegmentEditor, LargeSegmentIsSplitAndReadBackWhole) {
    std::vector<uint8_t> payload = pattern(70000, 1);
    ASSERT_EQ(write_segment(0xE1, 0, payload), 70000);
    std::string bytes = read("photo.jpg");
    auto phys = jpeg_segments(bytes);
    ASSERT_GE(phys.size(), 3u);
    EXPECT_EQ(phys[0], std::make_pair(0xE0, 14));
    EXPECT_EQ(phys[1], std::make_pair(0xE1, 65531));
    EXPECT_EQ(phys[2], std::make_pair(0xE1, 4469));
    // Everything but the new segment is byte for byte the same.
    std::size_t inserted = 2 + 18 + 4 + 65531 + 4 + 4469;
    EXPECT_EQ(bytes.substr(0, 20), original.substr(0, 20));
    EXPECT_EQ(bytes.substr(inserted), original.substr(20));

    p_filestream stream(node(u"\\photo.jpg"));
    qm::JpegSegmentEditor editor(stream);
    ASSERT_EQ(editor.parse(), 0);
    ASSERT_EQ(editor.read_segment(0xE1, 0, nullptr, 0), 70000);
    EXPECT_EQ(editor.find(0xE1, 1), nullptr);
    std::vector<uint8_t> back(70000);
    ASSERT_EQ(editor.read_segment(0xE1, 0, back.data(), 70000), 70000);
    EXPECT_EQ(back, payload);
    // Reading across the physical boundary.
    ASSERT_EQ(editor.open_segment(0xE1, 0), 70000);
    ASSERT_EQ(editor.seek_segment(1, 65529), 0);
    uint8_t across[4];
    ASSERT_EQ(editor.read_from_segment(across, 4), 4);
    EXPECT_TRUE(std::equal(across, across + 4, payload.begin() + 65529));
    EXPECT_EQ(editor.read_from_segment(across, 4500), qm::kSegmentOutside);
    EXPECT_EQ(editor.seek_segment(2, 1), qm::kSegmentOutside);
    EXPECT_EQ(editor.open_segment(0xE0, 0), qm::kSegmentAlreadyOpen);
    EXPECT_EQ(editor.write_to_segment(across, 1), qm::kSegmentNoneOpen);
    EXPECT_EQ(editor.close_segment(), 0);
    EXPECT_EQ(editor.close_segment(), qm::kSegmentNoneOpen);
}

TEST_F(SegmentEditor, ReplacingADescriptionLeavesEverythingElseAlone) {
    // An Exif segment written by exiftool, then replaced by our own bytes of
    // another size: the scan and the other segments stay identical.
    ASSERT_EQ(std::system(("exiftool -q -overwrite_original -ImageDescription=first '" +
                           local("photo.jpg") + "'").c_str()), 0);
    std::string before = read("photo.jpg");
    std::string before_pixels = pixels("photo.jpg");
    std::vector<uint8_t> payload = pattern(300, 7);
    ASSERT_EQ(write_segment(0xE1, 0, payload), 300);
    std::string after = read("photo.jpg");
    auto phys_before = jpeg_segments(before);
    auto phys_after = jpeg_segments(after);
    ASSERT_EQ(phys_before.size(), phys_after.size());
    for (std::size_t i = 0; i < phys_before.size(); ++i)
        if (phys_before[i].first != 0xE1) {
            EXPECT_EQ(phys_before[i], phys_after[i]);
        }
    std::size_t scan_before = before.find("\xFF\xDA");
    std::size_t scan_after = after.find("\xFF\xDA");
    EXPECT_EQ(before.substr(scan_before), after.substr(scan_after));
    EXPECT_EQ(pixels("photo.jpg"), before_pixels);
}

TEST_F(SegmentEditor, WithoutAppSegmentsTheNewOneFollowsTheStartOfImage) {
    // The same picture without its JFIF segment, as scanners write it.
    std::string no_app = original.substr(0, 2) + original.substr(20);
    std::ofstream(root / "photo.jpg", std::ios::binary) << no_app;
    std::vector<uint8_t> payload = pattern(10, 0);
    ASSERT_EQ(write_segment(0xE1, 0, payload), 10);
    std::string after = read("photo.jpg");
    EXPECT_EQ(after.substr(0, 2), no_app.substr(0, 2));
    EXPECT_EQ(after.substr(2, 4), std::string("\xFF\xE1\x00\x0C", 4));
    EXPECT_EQ(after.substr(6, 10), std::string(payload.begin(), payload.end()));
    EXPECT_EQ(after.substr(16), no_app.substr(2));
    EXPECT_EQ(pixels("photo.jpg"), command_output("djpeg -pnm '" + local("photo.jpg") + "'"));
    p_filestream stream(node(u"\\photo.jpg"));
    qm::JpegSegmentEditor editor(stream);
    ASSERT_EQ(editor.parse(), 0);
    EXPECT_EQ(editor.set_segment(0xDB, 0, 10), qm::kSegmentNone);
}

// A JPEG payload of n bytes inside a physical segment: 0xFF, marker, length.
std::string physical_segment(uint8_t marker, const std::vector<uint8_t>& payload) {
    std::size_t length = payload.size() + 2;
    return std::string{char(0xFF), char(marker), char(length >> 8), char(length & 0xFF)} +
           std::string(payload.begin(), payload.end());
}

TEST_F(SegmentEditor, FullLengthSegmentsAreCopiedExactly) {
    // APP1 and APP2 segments of the largest length a JPEG allows (65533
    // payload bytes, as extended XMP and ICC chunks have), then a second
    // APP2 of the same kind.
    std::vector<uint8_t> xmp = pattern(65533, 11), icc1 = pattern(65533, 12), icc2 = pattern(65533, 13);
    std::memcpy(xmp.data(), "http://ns.adobe.com/xmp/extension/", 35);
    std::memcpy(icc1.data(), "ICC_PROFILE\0\x01\x02", 14);
    std::memcpy(icc2.data(), "ICC_PROFILE\0\x02\x02", 14);
    std::string file = original.substr(0, 20) + physical_segment(0xE1, xmp) + physical_segment(0xE2, icc1) +
                       physical_segment(0xE2, icc2) + original.substr(20);
    std::ofstream(root / "photo.jpg", std::ios::binary | std::ios::trunc) << file;
    {
        p_filestream stream(node(u"\\photo.jpg"));
        qm::JpegSegmentEditor editor(stream);
        ASSERT_EQ(editor.parse(), 0);
        std::vector<uint8_t> back(65533);
        ASSERT_EQ(editor.read_segment(0xE2, 1, back.data(), 65533), 65533);
        EXPECT_EQ(back, icc2);
    }
    // Inserting an APP1 among them (as an annotation edit does).
    std::vector<uint8_t> exif = pattern(300, 4);
    std::memcpy(exif.data(), "Exif\0\0", 6);
    ASSERT_EQ(write_segment(0xE1, 1, exif), 300);
    std::string after = read("photo.jpg");
    std::string rest = physical_segment(0xE2, icc1) + physical_segment(0xE2, icc2) + original.substr(20);
    EXPECT_EQ(after, original.substr(0, 20) + physical_segment(0xE1, xmp) + physical_segment(0xE1, exif) + rest);
    std::string djpeg_errors = command_output("djpeg -pnm '" + local("photo.jpg") + "' 2>&1 >/dev/null");
    EXPECT_EQ(djpeg_errors, "");
    EXPECT_EQ(pixels("photo.jpg"), command_output("djpeg -pnm '" + local("photo.jpg") + "'"));
    // Rewritten again, with the new segment replaced by a smaller one.
    std::vector<uint8_t> smaller = pattern(100, 5);
    ASSERT_EQ(write_segment(0xE1, 1, smaller), 100);
    EXPECT_EQ(read("photo.jpg"),
              original.substr(0, 20) + physical_segment(0xE1, xmp) + physical_segment(0xE1, smaller) + rest);
}

TEST_F(SegmentEditor, ANewSegmentIsNumberedAfterTheExistingOnes) {
    // An XMP APP1, an APP13 and an ICC APP2 in that order, as photo editors
    // write them: a new APP1 or APP2 must become the next number of its
    // marker, not slip in before the APP13 and take the first number.
    std::vector<uint8_t> xmp = pattern(200, 1), photoshop = pattern(150, 2), icc = pattern(400, 3);
    std::memcpy(xmp.data(), "http://ns.adobe.com/xap/1.0/", 29);
    std::memcpy(photoshop.data(), "Photoshop 3.0", 14);
    std::memcpy(icc.data(), "ICC_PROFILE\0\x01\x01", 14);
    std::string head = original.substr(0, 20), tail = original.substr(20);
    std::string file = head + physical_segment(0xE1, xmp) + physical_segment(0xED, photoshop) +
                       physical_segment(0xE2, icc) + tail;
    std::ofstream(root / "photo.jpg", std::ios::binary | std::ios::trunc) << file;
    std::vector<uint8_t> app2 = pattern(90, 4), app1 = pattern(80, 5);
    ASSERT_EQ(write_segment(0xE2, 1, app2), 90);
    ASSERT_EQ(write_segment(0xE1, 1, app1), 80);
    EXPECT_EQ(read("photo.jpg"), head + physical_segment(0xE1, xmp) + physical_segment(0xE1, app1) +
                                     physical_segment(0xED, photoshop) + physical_segment(0xE2, icc) +
                                     physical_segment(0xE2, app2) + tail);
}

TEST_F(SegmentEditor, LibjpegIccChunksSurviveAnEdit) {
    // A 70 KB profile, which cjpeg splits into two APP2 chunks.
    std::vector<uint8_t> icc = camera_jpeg::icc_profile(70000);
    write_file(local("big.icc"), icc);
    ASSERT_EQ(std::system(("djpeg -pnm '" + local("photo.jpg") + "' | cjpeg -quality 90 -icc '" + local("big.icc") +
                           "' > '" + local("icc.jpg") + "'").c_str()), 0);
    std::string file = read("icc.jpg");
    std::ofstream(root / "photo.jpg", std::ios::binary | std::ios::trunc) << file;
    int chunks = 0;
    for (auto [marker, size] : jpeg_segments(file)) chunks += marker == 0xE2;
    ASSERT_EQ(chunks, 2);
    qm::ExifTagList tags;
    qm::apply_annotation_text(tags, qm::kTagImageDescription, u"hello");
    std::vector<uint8_t> exif = qm::serialize_for_jpeg(tags);
    ASSERT_EQ(write_segment(0xE1, 0, exif), static_cast<int32_t>(exif.size()));
    std::string after = read("photo.jpg");
    EXPECT_EQ(command_output("djpeg -pnm '" + local("photo.jpg") + "' 2>&1 >/dev/null"), "");
    EXPECT_EQ(command_output("djpeg -pnm '" + local("photo.jpg") + "' | md5sum"),
              command_output("djpeg -pnm '" + local("icc.jpg") + "' | md5sum"));
    std::string extracted = command_output("exiftool -b -ICC_Profile '" + local("photo.jpg") + "'");
    EXPECT_EQ(extracted, std::string(icc.begin(), icc.end()));
    EXPECT_EQ(command_output("exiftool -q -q -warning -a '" + local("photo.jpg") + "' 2>&1"), "");
    // Everything but the new segment is the file as cjpeg wrote it.
    EXPECT_EQ(after.substr(0, 20), file.substr(0, 20));
    EXPECT_EQ(after.substr(20 + 4 + exif.size()), file.substr(20));
}

TEST_F(SegmentEditor, ALayoutTooLargeIsRefusedBeforeWriting) {
    p_filestream stream(node(u"\\photo.jpg"));
    qm::JpegSegmentEditor editor(stream);
    ASSERT_EQ(editor.parse(), 0);
    for (int i = 0; i < 40; ++i) ASSERT_EQ(editor.set_segment(0xE3, i, 60000000), 0);
    EXPECT_EQ(editor.rewrite(), qm::kSegmentTooLarge);
    EXPECT_EQ(editor.finish(false), 0);
    EXPECT_EQ(read("photo.jpg"), original);
    EXPECT_FALSE(std::filesystem::exists(root / "Windows/Temp") && !listing("Windows/Temp").empty());
}

TEST_F(SegmentEditor, DamagedFilesAreNotRewritten) {
    const std::string cases[] = {
        original.substr(0, 100),          // cut inside the tables
        "GIF89a" + original.substr(6),    // not a JPEG
        original.substr(0, 2) + "\xFF\xD9" + original.substr(2),  // ends before a scan
    };
    for (const std::string& damaged : cases) {
        std::ofstream(root / "photo.jpg", std::ios::binary | std::ios::trunc) << damaged;
        p_filestream stream(node(u"\\photo.jpg"));
        qm::JpegSegmentEditor editor(stream);
        EXPECT_EQ(editor.parse(), qm::kSegmentNotJpeg);
        EXPECT_TRUE(editor.segments().empty());
        EXPECT_EQ(editor.rewrite(), qm::kSegmentNotJpeg);
        EXPECT_EQ(read("photo.jpg"), damaged);
    }
}

TEST_F(SegmentEditor, DataAfterTheScanSurvives) {
    // Cut short (no end marker), and with bytes after the end marker.
    const std::string cases[] = {original.substr(0, original.size() - 2), original + "TRAILER"};
    for (const std::string& file : cases) {
        std::ofstream(root / "photo.jpg", std::ios::binary | std::ios::trunc) << file;
        ASSERT_EQ(write_segment(0xE1, 0, pattern(50, 3)), 50);
        std::string after = read("photo.jpg");
        EXPECT_EQ(after.substr(after.size() - (file.size() - 20)), file.substr(20));
    }
}

TEST_F(SegmentEditor, FailedWriteLeavesTheFileUntouched) {
    for (int64_t fail_after : {10, 5000, 70010}) {
        p_filestream stream(node(u"\\photo.jpg"));
        qm::JpegSegmentEditor editor(stream);
        ASSERT_EQ(editor.parse(), 0);
        ASSERT_EQ(editor.set_segment(0xE1, 0, 70000), 0);
        qelvio::platform::set_fault_plan({-1, fail_after, qelvio::platform::error_disk_full});
        int32_t status = editor.rewrite();
        if (status == 0) {
            editor.open_segment(0xE1, 0);
            std::vector<uint8_t> payload = pattern(70000, 2);
            status = editor.write_to_segment(payload.data(), 70000);
            editor.close_segment();
        }
        qelvio::platform::clear_fault_plan();
        EXPECT_LT(status, 0) << fail_after;
        EXPECT_EQ(editor.finish(false), 0);
        EXPECT_EQ(read("photo.jpg"), original);
        EXPECT_TRUE(listing("Windows/Temp").empty());
    }
}

class AudioSet : public SegmentEditor {
protected:
    // Places and writes a set into the file; 1 on success.
    int store(qm::FpxrAudioSet& set) {
        p_filestream stream(node(u"\\photo.jpg"));
        qm::JpegSegmentEditor editor(stream);
        if (editor.parse() < 0 || set.place(editor) < 0 || editor.rewrite() < 0) return -1;
        int written = set.write(editor);
        return editor.finish(written == 1) < 0 ? -1 : written;
    }
    std::vector<uint8_t> load() {
        p_filestream stream(node(u"\\photo.jpg"));
        qm::JpegSegmentEditor editor(stream);
        qm::FpxrAudioSet set;
        if (editor.parse() < 0 || set.read(editor) < 0) return {};
        std::vector<uint8_t> audio(set.audio_bytes(nullptr));
        set.audio_bytes(audio.data());
        return audio;
    }
    std::vector<uint8_t> wav(std::size_t length) {
        std::vector<uint8_t> w = pattern(length, 5);
        std::memcpy(w.data(), "RIFF", 4);
        return w;
    }
};

TEST_F(AudioSet, BuildSplitsTheStream) {
    qm::FpxrAudioSet set;
    std::vector<uint8_t> audio = wav(100000);
    ASSERT_EQ(set.build(audio.data(), audio.size()), 2);
    EXPECT_EQ(set.entries()[0].size(), 41u + 65489u);
    EXPECT_EQ(set.entries()[1].size(), 13u + 34511u);
    EXPECT_EQ(set.audio_bytes(nullptr), 100000u);
    EXPECT_EQ(set.build(audio.data(), 65489), 1);
    EXPECT_EQ(set.build(audio.data(), 0), 0);
}

// A FlashPix contents list (type 1) whose entry 4 names the audio stream, as
// a camera writes it; other programs find the stream through it.
std::vector<uint8_t> contents_list(uint32_t audio_stream_size) {
    std::vector<uint8_t> p = {'F', 'P', 'X', 'R', 0, 0, 1, 0, 5};
    auto entry = [&](const std::u16string& name, uint32_t size) {
        for (int shift = 24; shift >= 0; shift -= 8) p.push_back(static_cast<uint8_t>(size >> shift));
        p.push_back(0);
        for (char16_t c : name) p.insert(p.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8)});
        p.insert(p.end(), {0, 0});
    };
    for (const char16_t* name : {u"/a", u"/b", u"/c", u"/d"}) entry(name, 0);
    entry(u"/Audio Stream 000000", audio_stream_size);
    return p;
}

// The APP2 payloads of the file, in order.
std::vector<std::string> app2_payloads(const std::string& file) {
    std::vector<std::string> out;
    for (auto& [marker, bytes] : camera_jpeg::segments(std::vector<uint8_t>(file.begin(), file.end())))
        if (marker == 0xE2) out.push_back(bytes.substr(4));
    return out;
}

TEST_F(AudioSet, ExiftoolReadsTheStoredStream) {
    // One, two and three segments; without a contents list, and with a
    // camera's list (which names the stream with a stale size).
    for (std::size_t length : {30000u, 100000u, 150000u}) {
        for (bool camera_list : {false, true}) {
            SCOPED_TRACE(std::to_string(length) + (camera_list ? " with a camera's list" : " without a list"));
            std::ofstream(root / "photo.jpg", std::ios::binary | std::ios::trunc) << original;
            std::vector<uint8_t> camera = contents_list(12345);
            if (camera_list) {
                ASSERT_EQ(write_segment(0xE2, 0, camera), static_cast<int32_t>(camera.size()));
            }
            auto warnings_before = camera_jpeg::validation_warnings(local("photo.jpg"));
            std::vector<uint8_t> audio = wav(length);
            qm::FpxrAudioSet set;
            int segments = set.build(audio.data(), audio.size());
            ASSERT_EQ(segments, length < 65489 ? 1 : length < 65489 + 65517 ? 2 : 3);
            ASSERT_EQ(store(set), 1);
            EXPECT_EQ(load(), audio);
            EXPECT_EQ(command_output("exiftool -b -AudioStream '" + local("photo.jpg") + "'"),
                      std::string(audio.begin(), audio.end()));
            for (const std::string& w : camera_jpeg::validation_warnings(local("photo.jpg")))
                EXPECT_TRUE(warnings_before.count(w)) << "new warning: " << w;
            EXPECT_EQ(pixels("photo.jpg"), command_output("djpeg -pnm '" + local("photo.jpg") + "'"));
            // The list comes first and gives the stream's size (its header and
            // the WAV bytes); a camera's list keeps every other byte.
            auto app2 = app2_payloads(read("photo.jpg"));
            ASSERT_EQ(app2.size(), 1u + segments);
            std::vector<uint8_t> expected = camera_list ? contents_list(28 + static_cast<uint32_t>(length))
                                                        : qm::FpxrAudioSet::contents_list(28 + static_cast<uint32_t>(length));
            EXPECT_EQ(app2[0], std::string(expected.begin(), expected.end()));

            // Removing the note removes the list this program added, and keeps
            // the camera's.
            set.clear();
            ASSERT_EQ(store(set), 1);
            EXPECT_TRUE(load().empty());
            app2 = app2_payloads(read("photo.jpg"));
            std::vector<uint8_t> emptied = contents_list(0);
            EXPECT_EQ(app2, camera_list ? std::vector<std::string>{std::string(emptied.begin(), emptied.end())}
                                        : std::vector<std::string>{});
            if (!camera_list) {
                EXPECT_EQ(read("photo.jpg"), original);
            }
        }
    }
}

TEST_F(AudioSet, ANoteGoesAfterAProfileThatFollowsAnotherSegment) {
    // Exif, then APP13, then the ICC profile (a photo editor's layout): the
    // note and its contents list follow the profile, which stays as it was.
    std::vector<uint8_t> photoshop = pattern(150, 2), icc = pattern(3000, 3);
    std::memcpy(photoshop.data(), "Photoshop 3.0", 14);
    std::memcpy(icc.data(), "ICC_PROFILE\0\x01\x01", 14);
    std::string head = original.substr(0, 20), tail = original.substr(20);
    std::string file = head + physical_segment(0xED, photoshop) + physical_segment(0xE2, icc) + tail;
    std::ofstream(root / "photo.jpg", std::ios::binary | std::ios::trunc) << file;
    std::vector<uint8_t> audio = wav(100000);
    qm::FpxrAudioSet set;
    ASSERT_EQ(set.build(audio.data(), audio.size()), 2);
    ASSERT_EQ(store(set), 1);
    EXPECT_EQ(load(), audio);
    EXPECT_EQ(command_output("exiftool -b -AudioStream '" + local("photo.jpg") + "'"),
              std::string(audio.begin(), audio.end()));
    auto app2 = app2_payloads(read("photo.jpg"));
    ASSERT_EQ(app2.size(), 4u);
    EXPECT_EQ(app2[0], std::string(icc.begin(), icc.end()));
    set.clear();
    ASSERT_EQ(store(set), 1);
    EXPECT_EQ(read("photo.jpg"), file);
}

TEST_F(AudioSet, AnOldNoteWithoutListGetsOneInFront) {
    // A note written without a contents list, as this program used to.
    std::vector<uint8_t> audio = wav(100000);
    qm::FpxrAudioSet set;
    ASSERT_EQ(set.build(audio.data(), audio.size()), 2);
    ASSERT_EQ(write_segment(0xE2, 0, set.entries()[0]), static_cast<int32_t>(set.entries()[0].size()));
    ASSERT_EQ(write_segment(0xE2, 1, set.entries()[1]), static_cast<int32_t>(set.entries()[1].size()));
    EXPECT_EQ(command_output("exiftool -b -AudioStream '" + local("photo.jpg") + "'"), "");
    std::vector<uint8_t> shorter = wav(70000);
    ASSERT_EQ(set.build(shorter.data(), shorter.size()), 2);
    ASSERT_EQ(store(set), 1);
    auto app2 = app2_payloads(read("photo.jpg"));
    ASSERT_EQ(app2.size(), 3u);
    std::vector<uint8_t> list = qm::FpxrAudioSet::contents_list(28 + 70000);
    EXPECT_EQ(app2[0], std::string(list.begin(), list.end()));
    EXPECT_EQ(load(), shorter);
    EXPECT_EQ(command_output("exiftool -b -AudioStream '" + local("photo.jpg") + "'"),
              std::string(shorter.begin(), shorter.end()));
}

TEST_F(AudioSet, ANoteBeyond1024SegmentsIsRefused) {
    const std::size_t longest = qm::FpxrAudioSet::kMaxAudioLength;
    std::vector<uint8_t> audio(longest + 1);
    qm::FpxrAudioSet set;
    EXPECT_EQ(set.build(audio.data(), longest + 1), qm::FpxrAudioSet::kTooLong);
    EXPECT_TRUE(set.entries().empty());
    EXPECT_EQ(set.build(audio.data(), longest), 1024);
    EXPECT_EQ(set.audio_bytes(nullptr), longest);
}

TEST_F(AudioSet, OtherApp2SegmentsAreKept) {
    // A FlashPix contents list (type 1) before the audio.
    std::vector<uint8_t> contents = {'F', 'P', 'X', 'R', 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(write_segment(0xE2, 0, contents), static_cast<int32_t>(contents.size()));
    std::vector<uint8_t> audio = wav(70000);
    qm::FpxrAudioSet set;
    set.build(audio.data(), audio.size());
    ASSERT_EQ(store(set), 1);
    EXPECT_EQ(load(), audio);

    set.clear();  // removing the note
    ASSERT_EQ(store(set), 1);
    EXPECT_TRUE(load().empty());
    auto phys = jpeg_segments(read("photo.jpg"));
    std::vector<std::pair<int, int>> app2;
    for (auto s : phys)
        if (s.first == 0xE2) app2.push_back(s);
    EXPECT_EQ(app2, (std::vector<std::pair<int, int>>{{0xE2, 20}}));
    std::string bytes = read("photo.jpg");
    EXPECT_NE(bytes.find(std::string(contents.begin(), contents.end())), std::string::npos);
}

}  // namespace
