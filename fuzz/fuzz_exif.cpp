// Fuzzes the Exif APP1 reader (with thumbnail copy), then writes what was
// read and reads it back: the written payload must be readable. Then saves
// an annotation edit into the same payload as the in-place save does: the
// result must be readable, hold the edited texts, and hold every other
// entry exactly as it was and nothing more. (The update checks this itself
// and refuses otherwise; the target checks that it does.)
#include "metadata/annotation.h"
#include "metadata/exif_tag_list.h"
#include "metadata/exif_update.h"

#include <cstdlib>
#include <cstring>

namespace {

bool same(const qelvio::metadata::ExifTag& a, const qelvio::metadata::ExifTag& b) {
    return a.type() == b.type() && a.count() == b.count() && a.byte_size() == b.byte_size() &&
           (a.byte_size() == 0 || std::memcmp(a.value_address(), b.value_address(), a.byte_size()) == 0);
}

// Every first entry of a tag in `a` is in `b` with the same values.
bool contained(const qelvio::metadata::ExifTagList& a, const qelvio::metadata::ExifTagList& b) {
    for (int g = 0; g < 3; ++g)
        for (std::size_t i = 0; i < a.size(g); ++i) {
            const qelvio::metadata::ExifTag* e = a.at(g, i);
            if (a.find(e->tag(), g) != e) continue;
            const qelvio::metadata::ExifTag* other = b.find(e->tag(), g);
            if (!other || !same(*e, *other)) return false;
        }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qelvio::metadata;
    ExifTagList list;
    if (!list.read(data, size, true)) return 0;
    std::vector<std::uint8_t> written = list.write();
    if (!written.empty()) {
        ExifTagList back;
        if (!back.read(written.data(), written.size(), false)) std::abort();
    }

    ExifTagList edited;
    edited.read(data, size, false);
    apply_annotation_text(edited, kTagImageDescription, u"A description longer than most cameras write");
    apply_annotation_text(edited, kTagArtist, u"");
    apply_annotation_text(edited, kTagCopyright, u"(c)");
    std::vector<std::uint8_t> original(data, data + size), updated;
    if (update_exif_payload(original, edited, updated) != kExifUpdated) return 0;
    ExifTagList back;
    if (!back.read(updated.data(), updated.size(), false)) std::abort();
    if (!contained(edited, back) || !contained(back, edited)) std::abort();
    return 0;
}
