#include "decoding/source/image_saver.h"

#include "decoding/source/jpeg_writer.h"
#include "metadata/annotation.h"
#include "metadata/exif_update.h"
#include "metadata/fpxr_audio_set.h"
#include "metadata/jpeg_segment_editor.h"
#include "qelvio/p_filestream.h"

#include <cstring>
#include <string_view>

namespace qelvio::decoding {
namespace {

constexpr uint8_t kApp1 = 0xE1, kApp2 = 0xE2, kApp13 = 0xED;
constexpr int kConvertQuestion = 35109;
constexpr int kConversionQuality = 95;

// The APP1 number of the file's Exif segment (an XMP or other APP1 segment
// is never overwritten); -1 when there is none.
int exif_segment(metadata::JpegSegmentEditor& editor) {
    int n = 0;
    for (const metadata::JpegSegment& s : editor.segments()) {
        if (s.marker != kApp1) continue;
        char head[6] = {};
        if (!s.inserted && editor.read_segment(kApp1, n, head, 6) == 6 && std::memcmp(head, "Exif\0\0", 6) == 0)
            return n;
        ++n;
    }
    return -1;
}

int count_app1(const metadata::JpegSegmentEditor& editor) {
    int n = 0;
    for (const metadata::JpegSegment& s : editor.segments()) n += s.marker == kApp1;
    return n;
}

// Whether a segment of the original file goes unchanged into a new
// encoding of its picture: the colour profile (split over APP2 chunks),
// XMP (standard and extended) and the Photoshop resources with IPTC. What
// describes the old encoding or points into the old file (JFIF, Adobe's
// colour transform, the multi-picture index) and the audio segments (built
// anew) are left behind.
bool carried_over(uint8_t marker, const std::vector<uint8_t>& payload) {
    auto starts_with = [&](std::string_view head) {
        return payload.size() >= head.size() && std::memcmp(payload.data(), head.data(), head.size()) == 0;
    };
    using namespace std::string_view_literals;
    switch (marker) {
        case kApp1: return starts_with("http://ns.adobe.com/xap/1.0/\0"sv) ||
                           starts_with("http://ns.adobe.com/xmp/extension/\0"sv);
        case kApp2: return starts_with("ICC_PROFILE\0"sv);
        case kApp13: return starts_with("Photoshop 3.0\0"sv);
        default: return false;
    }
}

// What a new encoding of a JPEG file's picture takes from the file.
struct OriginalSegments {
    std::vector<uint8_t> exif;  // the Exif payload; empty when none or unreadable
    std::vector<CarriedSegment> carried;
};

// Reads the file's Exif payload and the physical segments carried_over
// keeps, in file order. A segment that cannot be read is not carried.
OriginalSegments original_segments(p_filenode* file) {
    p_filestream stream(file);
    metadata::JpegSegmentEditor editor(stream);
    OriginalSegments out;
    if (editor.parse() < 0) return out;
    int found = exif_segment(editor);
    if (found >= 0) {
        int32_t size = editor.read_segment(kApp1, found, nullptr, 0);
        if (size > 0) {
            out.exif.resize(static_cast<std::size_t>(size));
            if (editor.read_segment(kApp1, found, out.exif.data(), static_cast<uint32_t>(size)) != size)
                out.exif.clear();
        }
    }
    std::vector<int> numbers(256, 0);  // the next segment number of each marker
    std::vector<uint8_t> payload;
    for (int i = 0; i < static_cast<int>(editor.segments().size()); ++i) {
        const metadata::JpegSegment& s = editor.segments()[static_cast<std::size_t>(i)];
        int n = numbers[s.marker]++;
        if (s.marker < 0xE0 || s.marker > 0xEF || s.pieces.empty()) continue;
        if (s.marker == kApp1 && n == found) continue;
        payload.resize(s.source_size);
        if (editor.read_segment(s.marker, n, payload.data(), s.source_size) != static_cast<int32_t>(s.source_size) ||
            !carried_over(s.marker, payload))
            continue;
        // Copied as the physical segments the file has.
        std::size_t at = 0;
        for (uint32_t piece : s.pieces) {
            out.carried.push_back({s.marker, std::vector<uint8_t>(payload.begin() + static_cast<long>(at),
                                                                  payload.begin() + static_cast<long>(at + piece))});
            at += piece;
        }
    }
    return out;
}

// Rewrites the metadata and audio segments of an unedited JPEG in place.
int save_in_place(p_ImageSource& image, p_filenode* file) {
    p_filestream stream(file);
    metadata::JpegSegmentEditor editor(stream);
    if (editor.parse() < 0) return P_FAILED;

    // The Exif segment changes only where the tag list was edited; the
    // file's other entries, directories and maker note stay as they are.
    std::vector<uint8_t> exif;
    int exif_number = -1;
    if (metadata::ExifTagList* tags = image.tag_list()) {
        int found = exif_segment(editor);
        std::vector<uint8_t> original;
        if (found >= 0) {
            original.resize(static_cast<std::size_t>(editor.read_segment(kApp1, found, nullptr, 0)));
            if (editor.read_segment(kApp1, found, original.data(), static_cast<uint32_t>(original.size())) !=
                static_cast<int32_t>(original.size()))
                return P_FAILED;
        }
        int update = metadata::update_exif_payload(original, *tags, exif);
        if (update < 0) return P_FAILED;
        if (update == metadata::kExifUpdated) {
            exif_number = found >= 0 ? found : count_app1(editor);  // a new segment after the others
            if (editor.set_segment(kApp1, exif_number, static_cast<uint32_t>(exif.size())) < 0) return P_FAILED;
        }
    }
    // The audio segments are rewritten only when the audio was replaced;
    // otherwise the file's own segments stay exactly as they are.
    metadata::FpxrAudioSet audio_set;
    bool audio_changed = (image.changes() & kChangedAudio) != 0;
    if (audio_changed) {
        if (const std::vector<uint8_t>* audio = image.audio())
            if (audio_set.build(audio->data(), audio->size()) < 0) return P_FAILED;
        if (audio_set.place(editor) < 0) return P_FAILED;
    }
    if (editor.rewrite() < 0) return P_FAILED;
    bool written = true;
    if (exif_number >= 0) {
        written = editor.open_segment(kApp1, exif_number) == static_cast<int32_t>(exif.size()) &&
                  editor.write_to_segment(exif.data(), static_cast<uint32_t>(exif.size())) ==
                      static_cast<int32_t>(exif.size());
        editor.close_segment();
    }
    if (written && audio_changed) written = audio_set.write(editor) == 1;
    if (!written) {
        editor.finish(false);
        return P_FAILED;
    }
    return editor.finish(true) < 0 ? P_FAILED : P_OK;
}

// The name with the text from its last dot replaced by ".jpg".
p_string jpeg_name(const p_string& name) {
    std::u16string n(name.view());
    std::size_t dot = n.rfind(u'.');
    if (dot != std::u16string::npos) n.erase(dot);
    n += u".jpg";
    return p_string(n.c_str());
}

// Encodes anew; a non-JPEG file becomes a JPEG of the same name with ".jpg".
int save_encoded(p_ImageSource& image, p_filenode* file, bool is_jpeg, const SaveContext& context) {
    int quality = save_quality(context.quality_setting);
    bool keep_original = false;
    if (!is_jpeg) {
        int answer = context.question ? context.question->ask_yes_no_cancel(kConvertQuestion)
                                      : platform::kAnswerYes;
        if (answer == platform::kAnswerCancel) return P_CANCELLED;
        keep_original = answer == platform::kAnswerYes;
        quality = kConversionQuality;
    }
    bool decoded_here = false;
    if (!image.whole_image() || image.whole_image_scale() < 1000) {
        if (image.set_mode(kModeEditing) != P_OK || !image.whole_image()) return P_NO_MEMORY;
        decoded_here = true;
    }
    p_string folder = p_temporaryfolder();
    auto temporary = platform::create_unique_file(folder.view(), u"OLM");
    if (!temporary) return P_NOT_OPEN;
    // A JPEG's own Exif payload is carried into the new file, updated in
    // place, so the maker note, GPS and Interop data stay valid; its colour
    // profile, XMP and Photoshop resources go with it unchanged.
    OriginalSegments original;
    if (is_jpeg) original = original_segments(file);
    int status = write_jpeg(image, *temporary, quality, false, &original.exif, &original.carried);
    if (decoded_here && !(image.changes() & kChangedBitmap)) image.release(kReleaseWholeImage);
    if (status < 0) {
        platform::delete_file(*temporary);
        return status;
    }
    p_irl old_locator;
    file->getirl(old_locator);
    if (is_jpeg) {
        status = p_import(file, temporary->c_str(), true);
        if (status < 0) platform::delete_file(*temporary);
        return status;
    }

    p_filenode* folder_node = file->getparent();
    p_string folder_path, file_path;
    if (!folder_node || !p_localpath(folder_node, folder_path) || !p_localpath(file, file_path)) {
        platform::delete_file(*temporary);
        return P_FAILED;
    }
    p_string new_name = jpeg_name(file->getname());
    p_filenode* existing = folder_node->getexactchild(new_name, true);
    if (existing == file) {
        // A file of another format already named ".jpg": its content is
        // replaced, as for a JPEG.
        status = p_import(file, temporary->c_str(), true);
        if (status < 0) platform::delete_file(*temporary);
        return status;
    }
    if (existing) {
        // Asked before the other JPEG is replaced; "No" and "Cancel" leave
        // both files as they were.
        if (!context.prompt) {
            platform::delete_file(*temporary);
            return P_ALREADY_EXISTS;
        }
        p_irl temporary_irl, existing_locator;
        temporary_irl.set(u"file", u"", temporary->c_str());
        existing->getirl(existing_locator);
        int answer = context.prompt->ask(temporary_irl, existing_locator);
        if (answer != P_ANSWER_YES && answer != P_ANSWER_YESTOALL) {
            platform::delete_file(*temporary);
            return answer == P_ANSWER_DISMISSED ? P_ALREADY_EXISTS : P_CANCELLED;
        }
        status = p_import(existing, temporary->c_str(), true);
        if (status < 0) {
            if (platform::get_attributes(*temporary)) platform::delete_file(*temporary);
            return status;
        }
        if (context.forget) context.forget(existing_locator);
    } else {
        // The JPEG that takes the original's place takes its permission bits.
        if (!keep_original) platform::copy_permissions(file_path.view(), *temporary);
        std::u16string target(folder_path.view());
        if (target.empty() || target.back() != u'\\') target += u'\\';
        target += new_name.view();
        if (!platform::move_file(*temporary, target)) {
            status = p_lasterrorstatus();
            platform::delete_file(*temporary);
            return status;
        }
        folder_node->trackchild(new_name);  // the folder learns of its new child
    }
    if (!keep_original) {
        // The original goes only now that its JPEG exists complete.
        p_string name = file->getname();
        status = folder_node->deletechild(name);
        if (status < 0) return status;
        if (context.forget) context.forget(old_locator);
    }
    return P_OK;
}

}  // namespace

int save_quality(int setting) {
    switch (setting) {
        case 0: return 30;
        case 1: return 60;
        default: return 90;
    }
}

int save_image(p_ImageSource& image, const SaveContext& context) {
    p_mcp* registry = p_mcp::instance();
    p_filenode* file = nullptr;
    if (!registry) return P_FAILED;
    int32_t status = registry->openfile(image.locator(), &file);
    if (status < 0) return status;
    image.release(kReleaseTiles);

    uint32_t attributes = 0;
    if (file->getfileattributes(&attributes) >= 0 && (attributes & P_ATTRIBUTE_READONLY)) return P_CANNOT_WRITE;

    const FormatEntry* entry = image.format_entry();
    bool is_jpeg = entry && entry->format == kFormatJpeg;
    p_irl locator = image.locator();
    if (is_jpeg && !(image.changes() & kChangedBitmap)) {
        status = save_in_place(image, file);
    } else {
        status = save_encoded(image, file, is_jpeg, context);
    }
    if (status < 0) return status;
    image.clear_changes();
    image.forget_facts();
    if (context.forget) context.forget(locator);
    return P_OK;
}

}  // namespace qelvio::decoding
