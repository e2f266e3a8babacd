// DecoderEntryPoints: the fixed table of fifteen functions a decoder module
// offers. The rest of the program creates and calls decoders only through
// such a table, so that a module can be unloaded between calls.
#pragma once

#include "decoding/decoder_records.h"
#include "decoding/image_decoder.h"

namespace qelvio::decoding {

struct DecoderEntryPoints {
    // 0 (required): builds the module's information; 0 for success.
    int (*initialize)(void* context);
    // 1 (required): stores the address of the module's PluginInfo.
    int (*get_information)(const PluginInfo** info);
    // 2: 0 when the module is initialized.
    int (*status_query)(void* argument);
    // 3: reserved.
    int (*reserved)(void*, void*, void*);
    // 4 (required): a decoder that opens the file, or kDecodeNoDecoder.
    int (*open_decoder)(const ImageDataSource* source, ImageDecoder** decoder);
    // 5 (required): destroys a decoder made by open_decoder.
    int (*close_decoder)(ImageDecoder* decoder);
    // 6 to 8 (required): the decoder's open, page information, PageDecode.
    int (*decoder_open)(ImageDecoder* decoder, ImageInfo* info);
    int (*decoder_page_info)(ImageDecoder* decoder, std::uint32_t page, PageInfo* info);
    int (*decoder_page_decode)(ImageDecoder* decoder, const DecodeRequest* request,
                               DecodeResult* result);
    // 9 to 11: row decoding.
    int (*decoder_begin_rows)(ImageDecoder* decoder, const DecodeRequest* request,
                              RowFormat* format);
    int (*decoder_read_row)(ImageDecoder* decoder, RowOutput* row);
    int (*decoder_end_rows)(ImageDecoder* decoder);
    // 12: the decoder's metadata; 13: frees such a list.
    int (*decoder_get_metadata)(ImageDecoder* decoder, std::uint32_t page,
                                metadata::ExifTagList** list);
    int (*free_metadata)(metadata::ExifTagList* list);
    // 14: the decoder's audio extraction.
    int (*decoder_extract_audio)(ImageDecoder* decoder, const AudioRequest* request);

    // True when entry points 0, 1 and 4 to 8 are present.
    bool complete() const {
        return initialize && get_information && open_decoder && close_decoder && decoder_open &&
               decoder_page_info && decoder_page_decode;
    }
};

// The number of entry points in the table.
inline constexpr int kDecoderEntryPointCount = 15;

}  // namespace qelvio::decoding
