// The browser's lossless transform of the selected JPEG files: one chosen
// code for all of them, a read-only file or one being sent by infrared is
// skipped with its message, a failure is told and the next file goes on.
// The image list calls it after the JPEG Transform dialog (shown for the
// first selected JPEG). User-interface thread only.
#pragma once

#include "decoding/source/image_source.h"
#include "decoding/transform/progress_window.h"
#include "qelvio/p_irl.h"

#include <string_view>
#include <vector>

namespace qelvio::viewer {

class BatchTransformHost {
public:
    virtual ~BatchTransformHost() = default;
    // A message with the file's name in it.
    virtual void tell(std::u16string_view text) = 0;
    virtual bool being_sent(const p_irl& locator) = 0;
    // The thumbnail cache forgets a transformed file.
    virtual void forget(const p_irl& locator) = 0;
    virtual decoding::ProgressWindow* progress_window() { return nullptr; }
    // The image object the thumbnail cache already holds for the file, or
    // null: it lets go of what it decoded before the file changes.
    virtual decoding::p_ImageSource* held_image(const p_irl&) { return nullptr; }
};

// Transforms each JPEG file (locators) with code 1, 2, 5, 6 or 7; returns
// how many were transformed.
int transform_files(const std::vector<p_irl>& files, int code, BatchTransformHost& host);

}  // namespace qelvio::viewer
