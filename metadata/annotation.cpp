#include "metadata/annotation.h"

namespace qelvio::metadata {

bool fits_annotation_text(std::u16string_view text) {
    for (char16_t c : text)
        if (c > 0xFF) return false;
    return true;
}

bool apply_annotation_text(ExifTagList& list, std::uint16_t tag, std::u16string_view text) {
    if (!fits_annotation_text(text)) return false;
    ExifTag* existing = list.find(tag);
    if (text.empty()) return existing && list.remove(tag) != 0;
    if (existing && existing->type() == kExifAscii && existing->count() == text.size() + 1 &&
        existing->text() == text)
        return false;
    // A fresh entry, so that the count is exactly the new text's: setting
    // the text into the old entry would keep a longer old count and, after
    // the new text's zero, the rest of the old text.
    ExifTag entry;
    if (!entry.set_shape(tag, kExifAscii, 0) || !entry.set_text(text)) return false;
    int added = list.add(entry, true);
    list.set_modified(true);
    return added != 0;
}

std::vector<std::uint8_t> serialize_for_jpeg(const ExifTagList& list) {
    ExifTagList complete;
    complete.merge(list);
    auto add_if_missing = [&](std::uint16_t tag, std::uint16_t type, auto set_value) {
        if (complete.find(tag, kExifGroupPrimary)) return;
        ExifTag entry;
        if (entry.set_shape(tag, type, 1) && set_value(entry)) complete.add(entry, false, kExifGroupPrimary);
    };
    add_if_missing(282, kExifRational, [](ExifTag& e) { return e.set_rational(0, 72, 1); });  // XResolution
    add_if_missing(283, kExifRational, [](ExifTag& e) { return e.set_rational(0, 72, 1); });  // YResolution
    add_if_missing(296, kExifShort, [](ExifTag& e) { return e.set_16bit(0, 2); });            // inches
    add_if_missing(531, kExifShort, [](ExifTag& e) { return e.set_16bit(0, 1); });            // centred
    return complete.write();
}

}  // namespace qelvio::metadata
