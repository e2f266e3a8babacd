#include "metadata/image_properties.h"

#include "metadata/annotation.h"
#include "qelvio/p_file.h"
#include "qelvio/p_status.h"

namespace qelvio::metadata {

std::u16string_view name_extension_of(std::u16string_view file_name) {
    std::size_t dot = file_name.rfind(u'.');
    return dot == std::u16string_view::npos ? std::u16string_view() : file_name.substr(dot);
}

std::u16string_view name_before_extension(std::u16string_view file_name) {
    return file_name.substr(0, file_name.size() - name_extension_of(file_name).size());
}

std::uint64_t colour_count(int bits_per_pixel) {
    return bits_per_pixel >= 0 && bits_per_pixel < 32 ? std::uint64_t{1} << bits_per_pixel : 0;
}

int32_t toggle_read_only(p_filenode* file, bool& read_only) {
    if (!file || !file->getfile()) return P_FAILED;
    uint32_t attributes = 0;
    int32_t status = file->getfileattributes(&attributes);
    if (status < 0) return status;
    attributes ^= P_ATTRIBUTE_READONLY;
    status = file->setfileattributes(attributes);
    if (status < 0) return status;
    read_only = (attributes & P_ATTRIBUTE_READONLY) != 0;
    return P_OK;
}

int32_t rename_image(p_filenode* file, std::u16string_view stem, p_overwriteprompt* prompt, bool& renamed) {
    renamed = false;
    if (!file || !file->getfile()) return P_FAILED;
    const p_string old_name = file->getname();
    std::u16string new_name(stem);
    new_name += name_extension_of(old_name.view());
    if (new_name == old_name.view()) return P_OK;
    // A name that is only the extension, or one that starts with a dot the
    // old one lacked, would make the image vanish from every listing.
    if (stem.empty() || (new_name.front() == u'.' && old_name.view().front() != u'.')) return P_INVALID_NAME;
    p_filenode* folder = file->getparent();
    if (!folder) return P_FAILED;
    int32_t status = p_copywithprompts(folder, file, true, prompt, new_name.c_str());
    if (status < 0) return status;
    // An answer No leaves the file under its old name.
    renamed = !file->isreleased() && file->getname().view() == new_name;
    if (!renamed && folder->getexactchild(new_name.c_str(), true) && !folder->getexactchild(old_name.c_str(), true))
        renamed = true;  // moved under the new name as a new node
    return P_OK;
}

std::u16string annotation_text(const ExifTagList& list, std::uint16_t tag) {
    const ExifTag* entry = list.find(tag);
    return entry && entry->type() == kExifAscii ? entry->text() : std::u16string();
}

std::u16string annotation_description(const ExifTagList& list) {
    return list.find(kTagImageDescription) ? annotation_text(list, kTagImageDescription) : annotation_text(list, 1);
}

bool apply_annotation(ExifTagList& list, const AnnotationTexts& texts) {
    bool changed = apply_annotation_text(list, kTagImageDescription, texts.description);
    changed = apply_annotation_text(list, kTagArtist, texts.artist) || changed;
    changed = apply_annotation_text(list, kTagCopyright, texts.copyright) || changed;
    return changed;
}

}  // namespace qelvio::metadata
