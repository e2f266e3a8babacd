// Shared body of the decoder fuzz targets: open, page facts and a page
// decode (optionally at a reduced size), releasing whatever was produced.
#pragma once

#include "decoding/bitmap_output.h"
#include "decoding/data_source.h"
#include "decoding/image_decoder.h"

#include <cstddef>
#include <cstdint>

namespace qelvio::fuzz {

template <class Decoder, class... Extra>
void decode_all(const std::uint8_t* data, std::size_t size, std::uint32_t pages, bool eighth,
                Extra... extra) {
    if (size > 0xFFFFFFFFu) return;
    decoding::ImageDataSource source =
        decoding::memory_data_source(data, static_cast<std::uint32_t>(size), u"fuzz");
    Decoder decoder(source, extra...);
    decoding::ImageInfo info{};
    if (decoder.open(&info) != 0) return;
    for (std::uint32_t page = 0; page < pages; ++page) {
        decoding::PageInfo page_info{};
        decoder.page_info(page, page_info);
        decoding::DecodeRequest request{};
        request.page = page;
        if (eighth) {
            request.target_width = info.width / 8 + 1;
            request.target_height = info.height / 8 + 1;
        }
        decoding::DecodeResult result{};
        int status = decoder.PageDecode(request, result);
        decoding::release_decode_result(result);
        if (status != 0) break;
    }
}

}  // namespace qelvio::fuzz
