// qelvio-cli annotate: edits an image's description, artist and copyright
// as the Annotation page does, and saves them into the file.
#include "app/cli/command.h"
#include "app/cli/image_session.h"
#include "app/cli/locate.h"
#include "app/cli/prompts.h"

#include "metadata/annotation.h"

#include <cstdio>
#include <optional>

namespace qelvio::cli {

int run_annotate(const Args& args) {
    constexpr const char* usage =
        "usage: qelvio-cli annotate FILE [--description T] [--artist T] [--copyright T] "
        "[--convert keep|replace] [--overwrite ask|yes|no]\n";
    std::string file;
    std::optional<std::string> texts[3];
    const char* options[3] = {"--description", "--artist", "--copyright"};
    const uint16_t tags[3] = {metadata::kTagImageDescription, metadata::kTagArtist, metadata::kTagCopyright};
    bool keep_original = true;
    std::string overwrite = "ask";
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool matched = false;
        for (int k = 0; k < 3 && !matched; ++k) {
            if (args[i] == options[k] && i + 1 < args.size()) {
                texts[k] = args[++i];
                matched = true;
            }
        }
        if (matched) continue;
        if (args[i] == "--convert" && i + 1 < args.size() &&
            (args[i + 1] == "keep" || args[i + 1] == "replace")) {
            keep_original = args[++i] == "keep";
        } else if (args[i] == "--overwrite" && i + 1 < args.size()) {
            overwrite = args[++i];
        } else if (file.empty()) {
            file = args[i];
        } else {
            std::fputs(usage, stderr);
            return 2;
        }
    }
    // Asked when a converted image would replace a JPEG of its new name.
    std::unique_ptr<p_overwriteprompt> prompt = overwrite_prompt(overwrite);
    if (file.empty() || !prompt) {
        std::fputs(usage, stderr);
        return 2;
    }
    for (int k = 0; k < 3; ++k) {
        if (texts[k] && !metadata::fits_annotation_text(text::to_utf16(*texts[k]))) {
            std::fprintf(stderr, "qelvio-cli annotate: %s holds a character outside ISO 8859-1, "
                                 "which the image's annotations cannot keep; nothing was changed\n", options[k]);
            return 2;
        }
    }
    ImageSession session;
    decoding::p_ImageSource* image = session.image(file, "annotate");
    if (!image) return 1;
    metadata::ExifTagList* list = image->tag_list();
    if (!list) return report("annotate", P_INVALID_FORMAT, file);
    for (int k = 0; k < 3; ++k)
        if (texts[k]) metadata::apply_annotation_text(*list, tags[k], text::to_utf16(*texts[k]));
    if (image->changes() == 0) return 0;  // nothing to write
    int status = session.save(*image, keep_original, prompt.get());
    if (status < 0 && status != P_CANCELLED) {
        std::fprintf(stderr, "qelvio-cli annotate: %s: %s\n(%s)\n", file.c_str(),
                     p_loadstring(35040).utf8().c_str(), p_statusmessage(status).utf8().c_str());
        return 1;
    }
    return status < 0 ? 1 : 0;
}

}  // namespace qelvio::cli
