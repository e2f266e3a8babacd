// qelvio-cli decode: decodes one page of an image file, optionally for a
// target size (the decoders' reduced-size paths), and writes the bitmap as
// a BMP file.
#include "app/cli/command.h"
#include "app/cli/bmp_file.h"
#include "app/cli/image_file.h"

#include "decoding/bitmap_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qelvio::cli {
namespace {

constexpr const char* usage_text = "usage: qelvio-cli decode FILE [--size WxH] [--page N] --out OUT.bmp\n";

}  // namespace

int run_decode(const Args& args) {
    std::string input, output;
    std::uint32_t width = 0, height = 0, page = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--size" && has_value) {
            if (std::sscanf(args[++i].c_str(), "%ux%u", &width, &height) != 2) {
                std::fputs(usage_text, stderr);
                return 2;
            }
        } else if (a == "--page" && has_value) {
            page = static_cast<std::uint32_t>(std::strtoul(args[++i].c_str(), nullptr, 10));
        } else if (a == "--out" && has_value) {
            output = args[++i];
        } else if (input.empty() && a.rfind("--", 0) != 0) {
            input = a;
        } else {
            std::fputs(usage_text, stderr);
            return 2;
        }
    }
    if (input.empty() || output.empty()) {
        std::fputs(usage_text, stderr);
        return 2;
    }
    ImageFile file(input);
    if (report_open_failure(file, input)) return 1;
    // Page information first: it checks the page and moves forward-only
    // decoders (animated GIF) to it.
    decoding::PageInfo page_info{};
    int st = file.manager().decoder_page_info(file.module(), file.decoder(), page, &page_info);
    decoding::DecodeResult result{};
    if (st == 0) {
        decoding::DecodeRequest request{};
        request.page = page;
        request.target_width = width;
        request.target_height = height;
        st = file.manager().decoder_page_decode(file.module(), file.decoder(), request, result);
    }
    if (st) {
        std::fprintf(stderr, "qelvio-cli: %s: %s\n", input.c_str(), file.failure_text(st).c_str());
        return 1;
    }
    return write_decoded(output, result);
}

}  // namespace qelvio::cli
