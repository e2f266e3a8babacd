// qelvio-cli region: decodes a rectangle of a baseline JPEG the way zoomed
// tiles are decoded: records the file's region index with an index-only
// decode, then decodes the rectangle through it at a scale (thousandths),
// writes the bitmap as a BMP file and prints the index size and both times.
#include "app/cli/bmp_file.h"
#include "app/cli/command.h"
#include "app/cli/image_file.h"

#include "decoding/bitmap_output.h"
#include "decoding/jpeg_decoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>


namespace qelvio::cli {
namespace {

constexpr const char* usage_text = "usage: qelvio-cli region FILE --rect L,T,R,B [--scale S] --out OUT.bmp\n";

double milliseconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int run_region(const Args& args) {
    std::string input, output;
    std::int32_t rect[4] = {};
    bool have_rect = false;
    std::uint32_t scale = 1000;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == "--rect" && has_value) {
            have_rect = std::sscanf(args[++i].c_str(), "%d,%d,%d,%d", &rect[0], &rect[1], &rect[2], &rect[3]) == 4;
            if (!have_rect) break;
        } else if (a == "--scale" && has_value) {
            scale = static_cast<std::uint32_t>(std::strtoul(args[++i].c_str(), nullptr, 10));
        } else if (a == "--out" && has_value) {
            output = args[++i];
        } else if (input.empty() && a.rfind("--", 0) != 0) {
            input = a;
        } else {
            input.clear();
            break;
        }
    }
    if (input.empty() || output.empty() || !have_rect || scale == 0) {
        std::fputs(usage_text, stderr);
        return 2;
    }
    ImageFile file(input);
    if (report_open_failure(file, input)) return 1;
    decoding::PluginManager& manager = file.manager();
    decoding::DecodeRequest request{};
    request.flags = decoding::kDecodeRecordIndex | decoding::kDecodeIndexOnly;
    decoding::DecodeResult indexed{};
    auto start = std::chrono::steady_clock::now();
    int st = manager.decoder_page_decode(file.module(), file.decoder(), request, indexed);
    const double index_ms = milliseconds_since(start);
    if (st) {
        std::fprintf(stderr, "qelvio-cli: %s: no region index: %s\n", input.c_str(), file.failure_text(st).c_str());
        return 1;
    }
    std::uint64_t index_bytes = 0;
    if (auto* jpeg = dynamic_cast<decoding::JpegDecoder*>(file.decoder())) jpeg->region_index_bytes(&index_bytes);
    request = {};
    request.flags = decoding::kDecodeRegion;
    std::copy(rect, rect + 4, request.source);
    request.target_width = static_cast<std::uint32_t>(std::max<std::int64_t>(1, (std::int64_t{rect[2]} - rect[0]) * scale / 1000));
    request.target_height = static_cast<std::uint32_t>(std::max<std::int64_t>(1, (std::int64_t{rect[3]} - rect[1]) * scale / 1000));
    request.region_index = indexed.region_index;
    decoding::DecodeResult region{};
    start = std::chrono::steady_clock::now();
    st = manager.decoder_page_decode(file.module(), file.decoder(), request, region);
    const double region_ms = milliseconds_since(start);
    decoding::release_decode_result(indexed);
    if (st) {
        std::fprintf(stderr, "qelvio-cli: %s: %s\n", input.c_str(), file.failure_text(st).c_str());
        return 1;
    }
    std::printf("index: %llu bytes, %.3f ms\n", static_cast<unsigned long long>(index_bytes), index_ms);
    std::printf("region: %d,%d,%d,%d decoded in %.3f ms\n", region.decoded[0], region.decoded[1],
                region.decoded[2], region.decoded[3], region_ms);
    return write_decoded(output, region);
}

}  // namespace qelvio::cli
