// What the image commands share: the file tree, the thumbnail cache over
// the program's thumbnail folder (wired to the tree so renames and
// deletions reach it), and the settings a save needs.
#pragma once

#include "decoding/source/image_saver.h"
#include "thumbnails/p_thumbcache.h"

#include <memory>
#include <string>

namespace qelvio::cli {

class ImageSession {
public:
    ImageSession();
    ~ImageSession();

    p_mcp& tree() { return mcp; }
    thumbnails::p_thumbcache& cache() { return *thumbcache; }
    // The image object of a path or locator; null (with a message on stderr
    // prefixed by the command) when it names no file.
    decoding::p_ImageSource* image(const std::string& argument, const char* command);
    // A save with the user's quality setting; the conversion question is
    // answered with keep_original, and the question before a converted
    // image replaces an existing JPEG by prompt (none: such a save fails
    // with -9).
    int save(decoding::p_ImageSource& image, bool keep_original = true, p_overwriteprompt* prompt = nullptr);

private:
    p_mcp mcp;
    std::unique_ptr<thumbnails::p_thumbcache> thumbcache;
};

}  // namespace qelvio::cli
