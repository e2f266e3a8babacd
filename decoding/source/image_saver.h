// Storing an image source's changes in its own file: an unedited JPEG gets
// only its metadata and audio segments rewritten (the picture data is
// copied byte for byte); an edited image, or one in another format, is
// encoded anew as JPEG.
#pragma once

#include "decoding/source/image_source.h"
#include "platform/user_question.h"
#include "qelvio/p_fileops.h"

#include <functional>

namespace qelvio::decoding {

// The program's choices a save depends on.
struct SaveContext {
    // The "savequality" setting: 0, 1 or 2 (JPEG quality 30, 60, 90).
    int quality_setting = 2;
    // Asked whether to keep a non-JPEG original (string 35109).
    platform::UserQuestion* question = nullptr;
    // Asked before replacing an existing JPEG of the converted name.
    p_overwriteprompt* prompt = nullptr;
    // Told about every file whose content or name the save changed.
    std::function<void(const p_irl&)> forget;
};

// JPEG quality for the "savequality" setting.
int save_quality(int setting);

// Saves the image's changes. 0; the status of resolving the file; -15 when
// the file cannot be written; -20 when the user cancels the conversion
// question; -12 when no bitmap can be decoded; -100 when writing fails.
// The file is never left half-written.
int save_image(p_ImageSource& image, const SaveContext& context);

}  // namespace qelvio::decoding
