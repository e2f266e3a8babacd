#include "decoding/image_decoder.h"

namespace qelvio::decoding {

int ImageDecoder::get_metadata(std::uint32_t, metadata::ExifTagList**) {
    return kDecodeNotSupported;
}
int ImageDecoder::free_metadata(metadata::ExifTagList*) { return kDecodeNotSupported; }
int ImageDecoder::begin_row_decoding(const DecodeRequest&, RowFormat&) {
    return kDecodeNotSupported;
}
int ImageDecoder::read_row(RowOutput&) { return kDecodeNotSupported; }
int ImageDecoder::end_row_decoding() { return kDecodeNotSupported; }
int ImageDecoder::extract_audio(const AudioRequest&) { return kDecodeNotSupported; }

}  // namespace qelvio::decoding
