// The image object's lossless transform operation, ready for the image
// source to call once it has closed its image and released everything it
// holds of the file: transforms the file and, on success, tells the
// thumbnail cache that the file's content changed.
#pragma once

#include "decoding/transform/progress_window.h"
#include "qelvio/p_filetree.h"
#include "qelvio/p_irl.h"

#include <cstdint>
#include <functional>

namespace qelvio::decoding {

// Told the locator of a file whose content changed (the thumbnail cache's
// forget).
using ForgetCallback = std::function<void(const p_irl& locator)>;

// Runs the lossless transform code on file; on success calls forget with the
// file's locator and returns 0. On failure returns -100; forget is not
// called and the file is unchanged.
int32_t LosslessTransformOperation(p_filenode* file, int code, const ForgetCallback& forget,
                                   ProgressWindow* progress = nullptr);

}  // namespace qelvio::decoding
