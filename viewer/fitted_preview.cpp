#include "viewer/fitted_preview.h"

#include "imaging/resample.h"

namespace qelvio::viewer {

imaging::DibPtr fitted_preview(decoding::p_ImageSource& image, int box_width, int box_height) {
    const imaging::Dib* source = image.whole_image();
    if (!source) {
        // Only the thumbnail is decoded: it is shown at its own size.
        if (image.thumbnail() < 0 || !image.thumbnail_bitmap()) return nullptr;
        return imaging::DibToTrueColor(*image.thumbnail_bitmap());
    }
    imaging::DibSize fitted = imaging::FitWithin(box_width, box_height, imaging::DibWidth(*source),
                                                 imaging::DibHeight(*source));
    if (fitted.width <= 0 || fitted.height <= 0) return nullptr;
    imaging::DibPtr reduced = imaging::DibScale(*source, fitted.width, fitted.height, imaging::AreaAverage);
    if (!reduced || imaging::DibBitCount(*reduced) == 24) return reduced;
    return imaging::DibToTrueColor(*reduced);
}

}  // namespace qelvio::viewer
