#include "decoding/source/jpeg_writer.h"

#include "decoding/jpeg_library.h"
#include "metadata/annotation.h"
#include "metadata/exif_update.h"
#include "metadata/fpxr_audio_set.h"
#include "qelvio/p_fileops.h"

#include <jerror.h>

namespace qelvio::decoding {
namespace {

constexpr std::size_t kDestinationBufferSize = 4096;
constexpr uint16_t kTagOrientation = 274, kTagPixelXDimension = 40962;

// Collects 4096 bytes and writes them to the file each time the buffer is
// full; a failed write is a library error.
struct FileDestination {
    jpeg_destination_mgr pub;
    uint32_t file;
    JOCTET buffer[kDestinationBufferSize];
};

void init_destination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<FileDestination*>(cinfo->dest);
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = kDestinationBufferSize;
}

boolean empty_output_buffer(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<FileDestination*>(cinfo->dest);
    if (platform::write_file(d->file, d->buffer, kDestinationBufferSize) != kDestinationBufferSize)
        ERREXIT(cinfo, JERR_FILE_WRITE);
    init_destination(cinfo);
    return TRUE;
}

void term_destination(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<FileDestination*>(cinfo->dest);
    auto used = static_cast<uint32_t>(kDestinationBufferSize - d->pub.free_in_buffer);
    if (used && platform::write_file(d->file, d->buffer, used) != used) ERREXIT(cinfo, JERR_FILE_WRITE);
}

struct Markers {
    std::vector<uint8_t> exif;
    const std::vector<CarriedSegment>* carried = nullptr;
    std::vector<std::vector<uint8_t>> audio;
};

// The encoding itself; false on any library error. Kept apart from the
// objects with destructors because the error handler jumps back into it.
bool encode(const imaging::Dib& bitmap, uint32_t file, int quality, const Markers& markers) {
    jpeg_compress_struct cinfo{};
    JpegErrorManager errors{};
    FileDestination destination{};
    jpeg_install_errors(cinfo, errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    destination.pub.init_destination = init_destination;
    destination.pub.empty_output_buffer = empty_output_buffer;
    destination.pub.term_destination = term_destination;
    destination.file = file;
    cinfo.dest = &destination.pub;

    bool grey = imaging::DibFormatOf(bitmap) == imaging::DibFormatGrey8;
    cinfo.image_width = static_cast<JDIMENSION>(imaging::DibWidth(bitmap));
    cinfo.image_height = static_cast<JDIMENSION>(imaging::DibHeight(bitmap));
    cinfo.input_components = grey ? 1 : 3;
    // The bitmap's rows are blue, green, red.
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    if (!grey) {
        cinfo.comp_info[0].h_samp_factor = cinfo.comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    }
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = FALSE;
    cinfo.smoothing_factor = 0;
    jpeg_start_compress(&cinfo, TRUE);
    if (!markers.exif.empty()) {
        // One APP1 marker holds at most 65533 bytes; a larger list fails here.
        if (markers.exif.size() > 65533) ERREXIT(&cinfo, JERR_BAD_LENGTH);
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, markers.exif.data(), static_cast<unsigned>(markers.exif.size()));
    }
    if (markers.carried)
        for (const CarriedSegment& segment : *markers.carried) {
            if (segment.payload.size() > 65533) ERREXIT(&cinfo, JERR_BAD_LENGTH);
            jpeg_write_marker(&cinfo, segment.marker, segment.payload.data(),
                              static_cast<unsigned>(segment.payload.size()));
        }
    for (const std::vector<uint8_t>& segment : markers.audio)
        jpeg_write_marker(&cinfo, JPEG_APP0 + 2, segment.data(), static_cast<unsigned>(segment.size()));
    int height = imaging::DibHeight(bitmap);
    for (int y = 0; y < height; ++y) {
        JSAMPROW row = imaging::DibRow(bitmap, height - 1 - y);  // rows are stored bottom-up
        if (jpeg_write_scanlines(&cinfo, &row, 1) != 1) ERREXIT(&cinfo, JERR_FILE_WRITE);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

// Converts when needed, encodes into a temporary file and moves the result
// onto the destination.
int write_file(const imaging::Dib& source, std::u16string_view destination, int quality,
               const Markers& markers) {
    const imaging::Dib* bitmap = &source;
    imaging::DibPtr converted;
    imaging::DibFormat format = imaging::DibFormatOf(source);
    if (format != imaging::DibFormatGrey8 && format != imaging::DibFormatRgb24) {
        converted = imaging::DibToTrueColor(source);
        if (!converted) return P_NO_MEMORY;
        bitmap = converted.get();
    }
    p_string folder = p_temporaryfolder();
    auto temporary = platform::create_unique_file(folder.view(), u"OLM");
    if (!temporary) return P_NOT_OPEN;
    uint32_t file = platform::open_file(*temporary, platform::OpenMode::write_truncate);
    if (!file) {
        platform::delete_file(*temporary);
        return P_NOT_OPEN;
    }
    bool encoded = encode(*bitmap, file, quality, markers);
    bool closed = platform::close_file(file);
    // The finished file replaces the destination in one step.
    if (encoded && closed && platform::replace_file(*temporary, destination)) return P_OK;
    platform::delete_file(*temporary);
    return P_FAILED;
}

}  // namespace

int write_jpeg_bitmap(const imaging::Dib& bitmap, std::u16string_view destination, int quality) {
    if (!bitmap) return P_FAILED;
    return write_file(bitmap, destination, quality, {});
}

namespace {

// The Exif payload for a picture encoded anew from one whose file had
// `original` (empty when none): see write_jpeg.
std::vector<uint8_t> exif_for_new_picture(const metadata::ExifTagList& tags, const imaging::Dib& bitmap,
                                          const std::vector<uint8_t>& original) {
    metadata::ExifTagList edited;
    edited.merge(tags);
    const uint32_t size[2] = {static_cast<uint32_t>(imaging::DibWidth(bitmap)),
                              static_cast<uint32_t>(imaging::DibHeight(bitmap))};
    for (int i = 0; i < 2; ++i) {
        metadata::ExifTag* dimension = edited.find(static_cast<uint16_t>(kTagPixelXDimension + i), metadata::kExifGroupExif);
        if (!dimension) continue;
        if (dimension->type() == metadata::kExifShort && size[i] > 0xFFFF) {
            metadata::ExifTag wider;
            wider.set_shape(dimension->tag(), metadata::kExifLong, 1);
            wider.set_32bit(0, size[i]);
            edited.add(wider, true, metadata::kExifGroupExif);
        } else if (dimension->count() != 1 || !(dimension->type() == metadata::kExifShort
                                                    ? dimension->set_16bit(0, static_cast<uint16_t>(size[i]))
                                                    : dimension->set_32bit(0, size[i]))) {
            metadata::ExifTag fresh;
            fresh.set_shape(dimension->tag(), metadata::kExifLong, 1);
            fresh.set_32bit(0, size[i]);
            edited.add(fresh, true, metadata::kExifGroupExif);
        }
    }
    if (metadata::ExifTag* orientation = edited.find(kTagOrientation, metadata::kExifGroupPrimary)) {
        uint32_t value = 0;
        if (!orientation->get_small(0, value) || value != 1) {
            metadata::ExifTag upright;
            upright.set_shape(kTagOrientation, metadata::kExifShort, 1);
            upright.set_16bit(0, 1);
            edited.add(upright, true, metadata::kExifGroupPrimary);
        }
    }
    std::vector<uint8_t> payload;
    if (!original.empty()) {
        int update = metadata::update_exif_payload(original, edited, payload);
        if (update == metadata::kExifUnchanged) payload = original;
        if (update >= 0 && metadata::drop_thumbnail_directory(payload) >= 0) return payload;
    }
    return edited.total_size() > 0 ? metadata::serialize_for_jpeg(edited) : std::vector<uint8_t>{};
}

}  // namespace

int write_jpeg(p_ImageSource& image, std::u16string_view destination, int quality, bool thumbnail_mode,
               const std::vector<uint8_t>* original_exif, const std::vector<CarriedSegment>* carried) {
    if (thumbnail_mode) {
        const imaging::Dib* thumbnail = image.thumbnail_bitmap();
        return thumbnail ? write_jpeg_bitmap(*thumbnail, destination, quality) : P_FAILED;
    }
    const imaging::Dib* bitmap = image.whole_image();
    bool decoded_here = false;
    int previous_mode = image.mode();
    if (!bitmap && image.set_mode(kModeEditing) == P_OK) {
        bitmap = image.whole_image();
        decoded_here = true;
    }
    int status = P_FAILED;
    if (bitmap) {
        Markers markers;
        markers.carried = carried;
        status = P_OK;
        if (metadata::ExifTagList* tags = image.tag_list();
            tags && (tags->total_size() > 0 || (original_exif && !original_exif->empty())))
            markers.exif = exif_for_new_picture(*tags, *bitmap, original_exif ? *original_exif : std::vector<uint8_t>{});
        if (const std::vector<uint8_t>* audio = image.audio()) {
            metadata::FpxrAudioSet set;
            if (set.build(audio->data(), audio->size()) < 0) status = P_NO_MEMORY;
            markers.audio = set.file_segments();
        }
        if (status == P_OK) status = write_file(*bitmap, destination, quality, markers);
    }
    if (decoded_here) {
        image.release(kReleaseWholeImage);
        image.set_mode(previous_mode == kModeEditing ? kModeNothing : previous_mode);
    }
    return status;
}

}  // namespace qelvio::decoding
