// Fuzzes the Exif APP1 reader (with thumbnail copy), then writes what was
// read and reads it back: the written payload must be readable.
#include "metadata/exif_tag_list.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    qelvio::metadata::ExifTagList list;
    if (!list.read(data, size, true)) return 0;
    std::vector<std::uint8_t> written = list.write();
    if (written.empty()) return 0;
    qelvio::metadata::ExifTagList back;
    if (!back.read(written.data(), written.size(), false)) std::abort();
    return 0;
}
