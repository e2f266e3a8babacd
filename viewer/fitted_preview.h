// The reduced copy of an image that the Levels and JPEG Transform dialogs
// preview: the whole image fitted within a box, 24-bit; the thumbnail when
// only that is decoded.
#pragma once

#include "decoding/source/image_source.h"
#include "imaging/dib.h"

namespace qelvio::viewer {

// Null when the image has neither a whole-image bitmap nor a thumbnail, or
// the box is empty. The image object's zoom and data are left as they are.
imaging::DibPtr fitted_preview(decoding::p_ImageSource& image, int box_width, int box_height);

}  // namespace qelvio::viewer
