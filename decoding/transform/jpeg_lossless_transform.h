// The lossless JPEG transform: rotates or mirrors a JPEG file by moving its
// DCT coefficient blocks, without decoding to pixels, writes the result to a
// temporary file ("OLM...") and puts that in the file's place through the
// file tree. Every segment of the file (Exif, comments, ...) travels along
// byte for byte. On any failure the file stays exactly as it was and no
// temporary file remains.
//
// User-interface thread (or one worker at a time); the progress window is
// called on the same thread.
#pragma once

#include "decoding/transform/progress_window.h"
#include "decoding/transform/transform_code.h"
#include "qelvio/p_filetree.h"

#include <cstdint>
#include <string>

namespace qelvio::decoding {

struct TransformResult {
    int32_t status = -100;  // 0 on success, otherwise a status code (p_status.h)
    int width = 0;          // the new size on success
    int height = 0;
    std::string detail;     // the JPEG library's reason when it stopped, else empty
};

// Transforms the file of a node with code (1, 2, 5, 6 or 7). progress may be
// null. Refused without touching anything: another code (-1), a folder
// (-5), a read-only file (-18). A file that the JPEG library cannot read
// whole (damaged, truncated, unsupported) gives -14; a file that cannot be
// read -4, a temporary file that cannot be made -11; writing and replacing
// give the platform's error (-16 for a full disk).
TransformResult transform_jpeg_file(p_filenode* file, int code, ProgressWindow* progress = nullptr);

// The same with the result 1 on success and 0 on failure.
int JpegLosslessTransform(p_filenode* file, int code, ProgressWindow* progress = nullptr);

// The file named by a locator, resolved through the application's store
// registry (p_mcp::instance()); 0 when there is none or the file is not found.
int JpegLosslessTransform(const char16_t* irl, int code, ProgressWindow* progress = nullptr);

}  // namespace qelvio::decoding
