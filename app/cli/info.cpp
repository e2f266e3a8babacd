// qelvio-cli info: for each file the format, size, bits per pixel, pages,
// the image flags and every Exif entry (group, tag number, name and value
// text as the properties dialog's Metadata page shows them, tab-separated).
#include "app/cli/command.h"
#include "app/cli/image_file.h"

#include "metadata/exif_tag_list.h"
#include "metadata/exif_value_text.h"
#include "platform/text.h"

#include <cstdio>

namespace qelvio::cli {
namespace {

std::string flag_names(std::uint32_t flags) {
    std::string out;
    const struct {
        std::uint32_t bit;
        const char* name;
    } names[] = {{decoding::kImageMultiPage, "multi-page"}, {decoding::kImageAnimated, "animated"},
                 {decoding::kImageHasAudio, "audio"}, {decoding::kImageBaseline, "baseline"}};
    for (const auto& n : names) {
        if (!(flags & n.bit)) continue;
        if (!out.empty()) out += ", ";
        out += n.name;
    }
    return out;
}

int show(const std::string& path) {
    ImageFile file(path);
    if (file.status() == 1) {
        std::fprintf(stderr, "qelvio-cli: %s: cannot read the file\n", path.c_str());
        return 1;
    }
    if (file.status()) {
        std::fprintf(stderr, "qelvio-cli: %s: %s\n", path.c_str(), file.failure_text(file.status()).c_str());
        return 1;
    }
    decoding::ImageInfo info{};
    if (int st = file.manager().decoder_open(file.module(), file.decoder(), &info)) {
        std::fprintf(stderr, "qelvio-cli: %s: %s\n", path.c_str(), file.failure_text(st).c_str());
        return 1;
    }
    const decoding::FormatEntry* format = file.manager().find_format(info.format);
    std::printf("%s\n", path.c_str());
    std::printf("  format: %s\n",
                format ? text::to_utf8(format->display_name).c_str() : decoding::format_id_text(info.format).c_str());
    std::printf("  size: %u x %u\n", info.width, info.height);
    std::printf("  bits per pixel: %u\n", info.bits_per_sample * info.samples_per_pixel);
    std::printf("  pages: %u\n", info.pages);
    std::printf("  flags: %u%s%s%s\n", info.flags, info.flags ? " (" : "", flag_names(info.flags).c_str(),
                info.flags ? ")" : "");

    metadata::ExifTagList* list = nullptr;
    int st = file.manager().decoder_get_metadata(file.module(), file.decoder(), 0, &list);
    if (st != 0 || !list || list->total_size() == 0) {
        std::printf("  metadata: none\n");
    } else {
        std::printf("  metadata:\n");
        for (int group = 0; group < 3; ++group) {
            for (std::size_t i = 0; i < list->size(group); ++i) {
                const metadata::ExifTag* e = list->at(group, i);
                std::printf("    %d\t%u\t%s\t%s\n", group, e->tag(),
                            text::to_utf8(metadata::exif_tag_name(e->tag())).c_str(),
                            text::to_utf8(metadata::exif_value_text(*e)).c_str());
            }
        }
    }
    if (list) file.manager().free_metadata(file.module(), list);
    return 0;
}

}  // namespace

int run_info(const Args& args) {
    if (args.empty()) {
        std::fputs("usage: qelvio-cli info FILE...\n", stderr);
        return 2;
    }
    int result = 0;
    for (const std::string& path : args)
        if (show(path)) result = 1;
    return result;
}

}  // namespace qelvio::cli
