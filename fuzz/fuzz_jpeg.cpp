// Fuzzes the JPEG decoder: opening (marker search, header, saved segments),
// metadata, and a page decode at one eighth of full size (which also tries
// the Exif thumbnail).
#include "decoding/jpeg_decoder.h"
#include "fuzz/decode_all.h"
#include "metadata/exif_tag_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace qelvio;
    if (size > 0xFFFFFFFFu) return 0;
    decoding::ImageDataSource source =
        decoding::memory_data_source(data, static_cast<std::uint32_t>(size));
    decoding::JpegDecoder decoder(source);
    metadata::ExifTagList* list = nullptr;
    if (decoder.get_metadata(0, &list) == 0) decoder.free_metadata(list);
    fuzz::decode_all<decoding::JpegDecoder>(data, size, 1, true);
    return 0;
}
