#include "resources/string_table.h"

#include <algorithm>
#include <iterator>

namespace qelvio::resources {
namespace {

struct Entry {
    int id;
    const char16_t* text;
};

// Kept sorted by number.
constexpr Entry table[] = {
    {270, u"Image description"},
    {271, u"Make"},
    {272, u"Model"},
    {274, u"Orientation"},
    {282, u"X resolution"},
    {283, u"Y resolution"},
    {296, u"Resolution unit"},
    {305, u"Software"},
    {306, u"Datetime"},
    {315, u"Artist"},
    {318, u"Whitepoint"},
    {319, u"Primary chromaticities"},
    {529, u"YCbCr coefficients"},
    {531, u"YCbCr positioning"},
    {532, u"Reference black/white"},
    {33432, u"Copyright"},
    {33434, u"Exposure time"},
    {33437, u"F-number"},
    {34850, u"Exposure program"},
    {34852, u"Spectral sensitivity"},
    {34855, u"ISO speed ratings"},
    {34856, u"Optoelectric coeff."},
    {35026, u"%d"},
    {35035, u"The image can't be renamed."},
    {35040, u"The changes to the image properties can't be saved."},
    {35043, u"The image can't be saved."},
    {35053, u"The image %s can't be deleted."},
    {35056, u"Options"},
    {35057, u"Copy of %s"},
    {35068, u"Image files will now be opened with Qelvio."},
    {35086, u"Copy (%d) of %s"},
    {35089, u"The image %s can't be moved to %s."},
    {35090, u"The image %s can't be copied to %s."},
    {35096, u"The image can't be saved."},
    {35107, u"The operation can't be performed."},
    {35108, u"\\Windows\\Temp"},
    {35111, u"\\Windows\\qelvio_hpc.htm"},
    {35200, u"LZW-compressed TIFF is not supported."},
    {35201, u"The image is larger than the file could describe; it was not decoded."},
    {35210, u"The audio note is too long to be stored in the image."},
    {36864, u"Exif version"},
    {36867, u"Date/time original"},
    {36868, u"Date/time digitized"},
    {37121, u"Component config"},
    {37122, u"Compressed BPP"},
    {37377, u"Shutter speed value"},
    {37378, u"Aperture value"},
    {37379, u"Brightness value"},
    {37380, u"Exposure bias value"},
    {37381, u"Max. aperture value"},
    {37382, u"Subject distance"},
    {37383, u"Metering mode"},
    {37384, u"Light source"},
    {37385, u"Flash"},
    {37386, u"Focal length"},
    {37500, u"Maker note"},
    {37510, u"User comment"},
    {37520, u"Subsec time"},
    {37521, u"Subsec time original"},
    {37522, u"Subsec time digitized"},
    {40960, u"FlashPix version"},
    {40961, u"Colorspace"},
    {40962, u"Pixel X dimension"},
    {40963, u"Pixel Y dimension"},
    {40964, u"Related sound file"},
    {40965, u"Interoperability IFD"},
    {41483, u"Flash energy"},
    {41484, u"Spatial freq. response"},
    {41486, u"Focal plane X res."},
    {41487, u"Focal plane Y res."},
    {41488, u"Focal plane res. unit"},
    {41492, u"Subject location"},
    {41493, u"Exposure index"},
    {41495, u"Sensing method"},
    {41728, u"File source"},
    {41729, u"Scene type"},
    {41730, u"CFA pattern"},
    {57344, u"Qelvio Mobile"},
    {62000, u"No error."},
    {62001, u"Invalid Parameter"},
    {62002, u"The operation is not supported."},
    {62003, u"The file is not open."},
    {62004, u"The file cannot be accessed."},
    {62005, u"The location of the file is invalid."},
    {62006, u"The file is already open."},
    {62007, u"The file's parent was not found."},
    {62008, u"The file was not found."},
    {62009, u"The file already exists."},
    {62010, u"The file source is invalid."},
    {62011, u"The file cannot be created."},
    {62012, u"There is not enough memory."},
    {62013, u"The image is busy."},
    {62014, u"The image format is invalid."},
    {62015, u"The file cannot be written."},
    {62016, u"There is not enough free storage."},
    {62017, u"The filename is invalid."},
    {62018, u"The file is read-only."},
    {62019, u"The folder is not empty."},
    {62020, u"The operation was cancelled."},
    {62100, u"No further information is available."},
};

static_assert(std::is_sorted(std::begin(table), std::end(table),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

}  // namespace

const char16_t* load_string(int id) {
    auto it = std::lower_bound(std::begin(table), std::end(table), id,
                               [](const Entry& e, int key) { return e.id < key; });
    return it != std::end(table) && it->id == id ? it->text : nullptr;
}

}  // namespace qelvio::resources
