#include "decoding/builtin_module.h"

#include "decoding/bmp_decoder.h"
#include "decoding/data_source.h"
#include "decoding/gif_decoder.h"
#include "decoding/jpeg_decoder.h"
#include "decoding/tiff_decoder.h"
#include "metadata/exif_tag_list.h"

#include <atomic>
#include <memory>
#include <new>

namespace qelvio::decoding {
namespace {

std::atomic<bool> g_initialized{false};

// The four format rows, built once (texts are static literals).
FormatEntry g_formats[] = {
    {0, kFormatBmp, u"BMP", u"BMP", u"BMP\0DIB\0RLE\0", u"BMP", 0x00FFC8C8, 1, u"image/bmp"},
    {0, kFormatGif, u"GIF", u"GIF", u"GIF\0", u"GIF", 0x00B9D7B9, 2, u"image/gif"},
    {kFormatRegionDecoding, kFormatJpeg, u"JPEG", u"JPEG", u"JPG\0JPEG\0JPE\0JIF\0JFIF\0", u"JPG",
     0x0096DCDC, 3, u"image/jpeg"},
    {0, kFormatTiff, u"TIFF", u"TIFF", u"TIF\0TIFF\0XIF\0", u"TIF", 0x00D78C82, 4, u"image/tiff"},
};

PluginInfo g_info = {0, kPluginInterfaceVersion, u"", 0, 4, g_formats};

bool ready() { return g_initialized.load(std::memory_order_acquire); }

// A decoder of this kind when it opens the data. One that recognised the
// data but refused it with a reason (an LZW-compressed TIFF) is kept in
// `refused`, the first such one only.
template <class Decoder>
ImageDecoder* try_decoder(const ImageDataSource& source, std::unique_ptr<ImageDecoder>& refused) {
    try {
        auto decoder = std::unique_ptr<ImageDecoder>(new Decoder(source));
        if (decoder->open(nullptr) == kDecodeOk) return decoder.release();
        if (decoder->failure_reason() && !refused) refused = std::move(decoder);
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

// No exception leaves the module: running out of memory inside a decoder
// becomes kDecodeNoMemory.
template <class F>
int guarded(F&& call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return kDecodeNoMemory;
    } catch (const std::exception&) {
        return kDecodeFailed;
    }
}

int initialize(void*) {
    g_initialized.store(true, std::memory_order_release);
    return 0;
}

int get_information(const PluginInfo** info) {
    if (!ready() || !info) return kDecodeFailed;
    *info = &g_info;
    return 0;
}

int status_query(void*) { return ready() ? 0 : kDecodeFailed; }

int open_decoder(const ImageDataSource* source, ImageDecoder** decoder) {
    if (!ready() || !source || !decoder) return kDecodeFailed;
    return guarded([&] { return builtin_open_decoder(*source, decoder); });
}

int close_decoder(ImageDecoder* decoder) {
    if (!ready()) return kDecodeFailed;
    delete decoder;
    return 0;
}

int decoder_open(ImageDecoder* d, ImageInfo* info) {
    return ready() && d ? guarded([&] { return d->open(info); }) : kDecodeFailed;
}

int decoder_page_info(ImageDecoder* d, std::uint32_t page, PageInfo* info) {
    return ready() && d && info ? guarded([&] { return d->page_info(page, *info); }) : kDecodeFailed;
}

int decoder_page_decode(ImageDecoder* d, const DecodeRequest* request, DecodeResult* result) {
    if (!ready() || !d || !request || !result) return kDecodeFailed;
    return guarded([&] { return d->PageDecode(*request, *result); });
}

int decoder_begin_rows(ImageDecoder* d, const DecodeRequest* request, RowFormat* format) {
    if (!ready() || !d || !request || !format) return kDecodeFailed;
    return guarded([&] { return d->begin_row_decoding(*request, *format); });
}

int decoder_read_row(ImageDecoder* d, RowOutput* row) {
    return ready() && d && row ? guarded([&] { return d->read_row(*row); }) : kDecodeFailed;
}

int decoder_end_rows(ImageDecoder* d) { return ready() && d ? d->end_row_decoding() : kDecodeFailed; }

int decoder_get_metadata(ImageDecoder* d, std::uint32_t page, metadata::ExifTagList** list) {
    return ready() && d && list ? guarded([&] { return d->get_metadata(page, list); }) : kDecodeFailed;
}

int free_metadata(metadata::ExifTagList* list) {
    if (!ready()) return kDecodeFailed;
    delete list;
    return 0;
}

int decoder_extract_audio(ImageDecoder* d, const AudioRequest* request) {
    return ready() && d && request ? guarded([&] { return d->extract_audio(*request); }) : kDecodeFailed;
}

const DecoderEntryPoints g_entry_points = {
    initialize,          get_information,      status_query,        nullptr,
    open_decoder,        close_decoder,        decoder_open,        decoder_page_info,
    decoder_page_decode, decoder_begin_rows,   decoder_read_row,    decoder_end_rows,
    decoder_get_metadata, free_metadata,       decoder_extract_audio,
};

}  // namespace

const DecoderEntryPoints& builtin_entry_points() { return g_entry_points; }

int builtin_open_decoder(const ImageDataSource& source, ImageDecoder** decoder) {
    if (!decoder) return kDecodeFailed;
    *decoder = nullptr;
    ImageDecoder* d = nullptr;
    std::unique_ptr<ImageDecoder> refused;
    // TIFF first, but only for data that starts like a TIFF file.
    if (ensure_available(source, 2) >= 2 &&
        ((source.data[0] == 'I' && source.data[1] == 'I') ||
         (source.data[0] == 'M' && source.data[1] == 'M')))
        d = try_decoder<TiffDecoder>(source, refused);
    if (!d) d = try_decoder<JpegDecoder>(source, refused);
    if (!d) d = try_decoder<GifDecoder>(source, refused);
    if (!d) d = try_decoder<BmpDecoder>(source, refused);
    // No decoder reads the file, but one knows why: it is handed out, so
    // that opening it reports that reason (its open fails again).
    if (!d && refused) d = refused.release();
    if (!d) return kDecodeNoDecoder;
    *decoder = d;
    return 0;
}

}  // namespace qelvio::decoding
