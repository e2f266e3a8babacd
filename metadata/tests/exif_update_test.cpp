// Saving edited annotation texts into a camera file's Exif segment: only
// the edited values change. exiftool, exiv2 and djpeg are the judges.
#include "metadata/annotation.h"
#include "metadata/exif_update.h"
#include "metadata/jpeg_segment_editor.h"
#include "metadata/tests/camera_jpeg.h"
#include "storage/tests/device_fixture.h"

namespace qm = qelvio::metadata;
using namespace camera_jpeg;

namespace {

class ExifUpdate : public DeviceFixture {
protected:
    std::string local(const char* name) const { return (root / name).string(); }

    // Reads the file's first APP1 payload, applies the texts (tag, text) as
    // the Annotation page does, and stores the result through the editor.
    int annotate(const char* name, const std::vector<std::pair<std::uint16_t, std::u16string>>& texts) {
        p_filestream stream(node((u"\\" + std::u16string(name, name + std::strlen(name))).c_str()));
        qm::JpegSegmentEditor editor(stream);
        if (editor.parse() < 0) return -100;
        std::vector<std::uint8_t> original(static_cast<std::size_t>(editor.read_segment(0xE1, 0, nullptr, 0)));
        editor.read_segment(0xE1, 0, original.data(), static_cast<std::uint32_t>(original.size()));
        qm::ExifTagList list;
        list.read(original.data(), original.size(), true);
        for (auto& [tag, text] : texts) qm::apply_annotation_text(list, tag, text);
        std::vector<std::uint8_t> payload;
        int result = qm::update_exif_payload(original, list, payload);
        if (result != qm::kExifUpdated) return result;
        if (editor.set_segment(0xE1, 0, static_cast<std::uint32_t>(payload.size())) < 0 || editor.rewrite() < 0)
            return -100;
        bool written = editor.open_segment(0xE1, 0) == static_cast<int32_t>(payload.size()) &&
                       editor.write_to_segment(payload.data(), static_cast<std::uint32_t>(payload.size())) ==
                           static_cast<int32_t>(payload.size());
        editor.close_segment();
        return editor.finish(written) < 0 || !written ? -100 : result;
    }
};

// Where the maker note's first value lies, counted from the TIFF header.
long maker_note_position(const Bytes& file) {
    std::string s(file.begin(), file.end());
    std::size_t tiff = s.find(std::string("Exif\0\0", 6));
    std::size_t note = s.find("IMG:EOS 5D JPEG");
    return tiff == std::string::npos || note == std::string::npos ? -1 : static_cast<long>(note - tiff);
}

struct Case {
    const char* what;
    std::vector<std::pair<std::uint16_t, std::u16string>> texts;
    std::vector<std::string> tags;  // the exiftool names of the edited tags
};

TEST_F(ExifUpdate, AnEditChangesOnlyTheEditedValues) {
    const Case cases[] = {
        {"longer description",
         {{qm::kTagImageDescription, u"A much longer description than the camera wrote, which cannot stay in place"}},
         {"ImageDescription"}},
        {"shorter description", {{qm::kTagImageDescription, u"Short"}}, {"ImageDescription"}},
        {"description removed", {{qm::kTagImageDescription, u""}}, {"ImageDescription"}},
        // The primary directory grows: it moves after the end of the data.
        {"copyright added", {{qm::kTagCopyright, u"(c) 2024 Ann Painter"}}, {"Copyright"}},
        {"copyright added, artist removed",
         {{qm::kTagCopyright, u"(c) 2024 Ann Painter, all rights reserved"}, {qm::kTagArtist, u""}},
         {"Copyright", "Artist"}},
    };
    for (const char* order : {"MM", "II"}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(order) + ": " + c.what);
            ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), order));
            Bytes before = read_file(local("cam.jpg"));
            auto tags_before = exiftool_tags(local("cam.jpg"));
            auto exiv2_before = exiv2_tags(local("cam.jpg"));
            auto warnings_before = validation_warnings(local("cam.jpg"));
            std::string pixels_before = command_output("djpeg -pnm " + in_quotes(local("cam.jpg")) + " | md5sum");
            // The fixture is what it should be: the maker note reads well.
            ASSERT_NE(std::find(exiv2_before.begin(), exiv2_before.end(),
                                "Exif.Canon.OwnerName                         Ascii      32  Ann Painter"),
                      exiv2_before.end());

            ASSERT_EQ(annotate("cam.jpg", c.texts), qm::kExifUpdated);
            Bytes after = read_file(local("cam.jpg"));

            // exiftool and exiv2 see the same tags with the same values, but
            // for the edited ones.
            auto mentions_edited = [&](const std::string& line) {
                return std::any_of(c.tags.begin(), c.tags.end(),
                                   [&](const std::string& t) { return line.find(t) != std::string::npos; });
            };
            auto [added, gone] = difference(tags_before, exiftool_tags(local("cam.jpg")));
            for (const auto& line : added) EXPECT_TRUE(mentions_edited(line)) << "new: " << line;
            for (const auto& line : gone) EXPECT_TRUE(mentions_edited(line)) << "gone: " << line;
            auto [added2, gone2] = difference(exiv2_before, exiv2_tags(local("cam.jpg")));
            for (const auto& line : added2) EXPECT_TRUE(mentions_edited(line)) << "exiv2 new: " << line;
            for (const auto& line : gone2) EXPECT_TRUE(mentions_edited(line)) << "exiv2 gone: " << line;
            // The edits themselves are there, with exact counts.
            for (auto& [tag, text] : c.texts) {
                std::string value(text.begin(), text.end());
                std::string key = tag == qm::kTagImageDescription ? "ImageDescription"
                                  : tag == qm::kTagArtist         ? "Artist"
                                                                  : "Copyright";
                std::string shown = command_output("exiftool -s3 -IFD0:" + key + " " + in_quotes(local("cam.jpg")));
                EXPECT_EQ(shown, value.empty() ? "" : value + "\n") << key;
                if (!value.empty()) {
                    bool exact = false;
                    for (const auto& line : added2)
                        exact |= line.find(" " + std::to_string(value.size() + 1) + "  " + value) != std::string::npos;
                    EXPECT_TRUE(exact) << "exiv2 count of " << key;
                }
            }

            // No warning the original did not have.
            for (const std::string& w : validation_warnings(local("cam.jpg")))
                EXPECT_TRUE(warnings_before.count(w)) << "new warning: " << w;
            // The picture data and every other segment are untouched.
            EXPECT_EQ(scan(after), scan(before));
            EXPECT_EQ(changed_segments(before, after), (std::multiset<int>{0xE1}));
            EXPECT_EQ(lost_segments(before, after), (std::multiset<int>{0xE1}));
            EXPECT_EQ(command_output("djpeg -pnm " + in_quotes(local("cam.jpg")) + " | md5sum"), pixels_before);
            // The maker note is where it was, counted from the TIFF header.
            EXPECT_EQ(maker_note_position(after), maker_note_position(before));
            EXPECT_GT(maker_note_position(after), 0);
            // No byte of a replaced or removed text is left.
            if (c.tags[0] == "ImageDescription") {
                for (const char* old : {"original description text here", "description text here"})
                    EXPECT_FALSE(contains(after, old)) << old;
            }
        }
    }
}

TEST_F(ExifUpdate, TheThumbnailAndMakerNoteBytesStayWhereTheyWere) {
    ASSERT_TRUE(make_camera_jpeg(local("cam.jpg"), "II"));
    Bytes before = read_file(local("cam.jpg"));
    std::string thumbnail = command_output("exiftool -b -ThumbnailImage " + in_quotes(local("cam.jpg")));
    ASSERT_GT(thumbnail.size(), 1000u);
    ASSERT_EQ(annotate("cam.jpg", {{qm::kTagImageDescription, u"A description longer than the one before it"}}),
              qm::kExifUpdated);
    Bytes after = read_file(local("cam.jpg"));
    EXPECT_EQ(command_output("exiftool -b -ThumbnailImage " + in_quotes(local("cam.jpg"))), thumbnail);
    // The old payload's bytes are all still at their offsets, except the
    // old description's and the primary directory's; the rest is appended.
    std::string b(before.begin(), before.end()), a(after.begin(), after.end());
    std::size_t tiff_b = b.find(std::string("Exif\0\0", 6)), tiff_a = a.find(std::string("Exif\0\0", 6));
    std::size_t note = b.find("IMG:EOS 5D JPEG") - tiff_b;
    std::size_t thumb_at = b.find(thumbnail) - tiff_b;
    EXPECT_EQ(a.find("IMG:EOS 5D JPEG") - tiff_a, note);
    EXPECT_EQ(a.find(thumbnail) - tiff_a, thumb_at);
    auto maker_note = [](const std::string& file, std::size_t tiff) {
        std::size_t length = (static_cast<std::uint8_t>(file[tiff - 4]) << 8 | static_cast<std::uint8_t>(file[tiff - 3])) - 2;
        qm::ExifTagList list;
        list.read(reinterpret_cast<const std::uint8_t*>(file.data() + tiff), length, false);
        const qm::ExifTag* e = list.find(37500, qm::kExifGroupExif);
        return e ? std::string(reinterpret_cast<const char*>(e->value_address()), e->byte_size()) : std::string();
    };
    EXPECT_EQ(maker_note(a, tiff_a).size(), kMakerNoteSize);
    EXPECT_EQ(maker_note(a, tiff_a), maker_note(b, tiff_b));
    // Saving the same list again changes nothing.
    ASSERT_EQ(annotate("cam.jpg", {{qm::kTagImageDescription, u"A description longer than the one before it"}}),
              qm::kExifUnchanged);
    EXPECT_EQ(read_file(local("cam.jpg")), after);
}

TEST_F(ExifUpdate, AFileWithoutExifGetsTheWholeList) {
    qm::ExifTagList list;
    std::vector<std::uint8_t> payload;
    EXPECT_EQ(qm::update_exif_payload({}, list, payload), qm::kExifUnchanged);
    qm::apply_annotation_text(list, qm::kTagArtist, u"Bea");
    ASSERT_EQ(qm::update_exif_payload({}, list, payload), qm::kExifUpdated);
    qm::ExifTagList back;
    ASSERT_TRUE(back.read(payload.data(), payload.size(), false));
    ASSERT_NE(back.find(qm::kTagArtist), nullptr);
    EXPECT_EQ(back.find(qm::kTagArtist)->text(), u"Bea");
    EXPECT_NE(back.find(282, qm::kExifGroupPrimary), nullptr);  // the resolution a JPEG's Exif must have
}

TEST_F(ExifUpdate, APayloadThatWouldOutgrowItsSegmentIsRefused) {
    // Exif data that nearly fills one segment (a long user comment).
    qm::ExifTagList list;
    qm::ExifTag comment;
    ASSERT_TRUE(comment.set_shape(37510, qm::kExifUndefined, 65400));
    list.add(comment, false);
    qm::apply_annotation_text(list, qm::kTagImageDescription, u"old");
    std::vector<std::uint8_t> original = list.write();
    ASSERT_GT(original.size(), 65400u);
    ASSERT_LE(original.size(), qm::kMaxSegmentPayload);
    qm::ExifTagList edited;
    ASSERT_TRUE(edited.read(original.data(), original.size(), false));
    qm::apply_annotation_text(edited, qm::kTagImageDescription, std::u16string(200, u'x'));
    std::vector<std::uint8_t> payload;
    EXPECT_EQ(qm::update_exif_payload(original, edited, payload), qm::kExifCannotUpdate);
    EXPECT_TRUE(payload.empty());
    // A text that fits where the old one was is still saved.
    qm::apply_annotation_text(edited, qm::kTagImageDescription, u"new");
    ASSERT_EQ(qm::update_exif_payload(original, edited, payload), qm::kExifUpdated);
    EXPECT_EQ(payload.size(), original.size());
}

TEST_F(ExifUpdate, ShorterTextHasExactCount) {
    // The tag model alone: replacing a text by a shorter one leaves no old
    // bytes in the entry.
    qm::ExifTagList list;
    qm::apply_annotation_text(list, qm::kTagImageDescription, u"original description text here");
    qm::apply_annotation_text(list, qm::kTagImageDescription, u"Short");
    const qm::ExifTag* e = list.find(qm::kTagImageDescription);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->count(), 6u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(e->value_address()), 6), std::string("Short\0", 6));
}

}  // namespace

namespace {

TEST(ExifUpdateDamaged, ADamagedPayloadIsKeptOrTheEditRefused) {
    // The first directory claims 32 entries, but the payload ends after
    // three of them (a real file had this): other programs still read
    // those three.
    std::vector<std::uint8_t> damaged = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 32};
    const std::uint8_t entries[] = {1, 0x12, 0, 3, 0, 0, 0, 1, 0, 1, 0, 0,   // orientation 1
                                    1, 0x06, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0,   // photometric 0
                                    1, 0x28, 0, 3, 0, 0, 0, 1, 0, 2, 0, 0};  // inches
    damaged.insert(damaged.end(), std::begin(entries), std::end(entries));
    qm::ExifTagList list;
    list.read(damaged.data(), damaged.size(), false);
    std::vector<std::uint8_t> payload;
    // Not edited (an audio note was embedded, say): left alone.
    EXPECT_EQ(qm::update_exif_payload(damaged, list, payload), qm::kExifUnchanged);
    // Edited: refused, since a new payload would replace what is readable.
    qm::apply_annotation_text(list, qm::kTagArtist, u"Bea");
    EXPECT_EQ(qm::update_exif_payload(damaged, list, payload), qm::kExifCannotUpdate);
    EXPECT_TRUE(payload.empty());
}

}  // namespace
