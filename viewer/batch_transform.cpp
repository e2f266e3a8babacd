#include "viewer/batch_transform.h"

#include "decoding/transform/jpeg_lossless_transform.h"
#include "qelvio/p_mcp.h"
#include "resources/browser_texts.h"

namespace qelvio::viewer {
namespace {

void tell_named(BatchTransformHost& host, const char16_t* format, const p_string& name) {
    p_string text;
    text.format(format, name.c_str());
    host.tell(text.view());
}

}  // namespace

int transform_files(const std::vector<p_irl>& files, int code, BatchTransformHost& host) {
    p_mcp* tree = p_mcp::instance();
    if (!tree) return 0;
    int done = 0;
    for (const p_irl& locator : files) {
        p_filenode* file = nullptr;
        if (tree->openfile(locator, &file) < 0 || !file || file->isdirectory()) continue;
        p_string name = file->getname();
        uint32_t attributes = 0;
        if (file->getfileattributes(&attributes) >= 0 && (attributes & 1u)) {
            tell_named(host, resources::kTextTransformReadOnly, name);
            continue;
        }
        if (host.being_sent(locator)) {
            tell_named(host, resources::kTextTransformBeingSent, name);
            continue;
        }
        bool transformed;
        if (decoding::p_ImageSource* image = host.held_image(locator)) {
            transformed = image->lossless_transform(code, [&host](const p_irl& l) { host.forget(l); },
                                                    host.progress_window()) >= 0;
        } else {
            transformed = decoding::JpegLosslessTransform(file, code, host.progress_window()) == 1;
            if (transformed) host.forget(locator);
        }
        if (transformed) {
            ++done;
        } else {
            tell_named(host, resources::kTextTransformNoMemory, name);
        }
    }
    return done;
}

}  // namespace qelvio::viewer
