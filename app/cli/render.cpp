// qelvio-cli render: draws part of an image at a zoom the way the viewer
// does, tiles and all, into a bitmap of the given size, and writes it as a
// BMP file; the headless check of zoomed viewing.
#include "app/cli/bmp_file.h"
#include "app/cli/command.h"
#include "app/cli/image_session.h"
#include "app/cli/locate.h"

#include "decoding/source/zoomed_render.h"
#include "imaging/drawing_target.h"

#include <chrono>
#include <cstdio>

namespace qelvio::cli {
namespace {

constexpr const char* usage_text =
    "usage: qelvio-cli render FILE --zoom Z --origin X,Y --size WxH --out OUT.bmp\n";

}  // namespace

int run_render(const Args& args) {
    std::string input, output;
    int zoom = 0, x = -1, y = -1, width = 0, height = 0;
    bool usable = true;
    for (std::size_t i = 0; i < args.size() && usable; ++i) {
        const std::string& a = args[i];
        bool has_value = i + 1 < args.size();
        if (a == "--zoom" && has_value) {
            usable = std::sscanf(args[++i].c_str(), "%d", &zoom) == 1;
        } else if (a == "--origin" && has_value) {
            usable = std::sscanf(args[++i].c_str(), "%d,%d", &x, &y) == 2;
        } else if (a == "--size" && has_value) {
            usable = std::sscanf(args[++i].c_str(), "%dx%d", &width, &height) == 2;
        } else if (a == "--out" && has_value) {
            output = args[++i];
        } else if (input.empty() && a.rfind("--", 0) != 0) {
            input = a;
        } else {
            usable = false;
        }
    }
    if (!usable || input.empty() || output.empty() || zoom < 1 || zoom > 65535 || x < 0 || y < 0 ||
        width < 1 || height < 1 || width > 16384 || height > 16384) {
        std::fputs(usage_text, stderr);
        return 2;
    }

    ImageSession session;
    decoding::p_ImageSource* image = session.image(input, "render");
    if (!image) return 1;
    if (image->set_mode(decoding::kModeViewing) < 0) return report("render", P_INVALID_FORMAT, input);
    image->set_zoom(zoom);
    imaging::Dib canvas;
    if (!imaging::DibCreate(canvas, width, height, 24, 0)) return report("render", P_NO_MEMORY);
    imaging::SoftwareDrawingTarget target(canvas);
    // The canvas covers what the zoom shows of the image from (x, y).
    imaging::DibRect view{x, y, x + static_cast<int>(static_cast<int64_t>(width) * 1000 / zoom),
                          y + static_cast<int>(static_cast<int64_t>(height) * 1000 / zoom)};
    auto start = std::chrono::steady_clock::now();
    int tiles = decoding::render_zoomed(*image, target, {0, 0}, &view);
    double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    int whole_scale = image->whole_image_scale();
    image->set_mode(decoding::kModeThumbnail);
    if (tiles < 0) return report("render", P_FAILED, input);
    if (!write_bmp(output, canvas)) {
        std::fprintf(stderr, "qelvio-cli render: %s: cannot write the file\n", output.c_str());
        return 1;
    }
    std::printf("%s: whole image at %d/1000, %d tiles decoded in %.1f ms\n", output.c_str(),
                whole_scale, tiles, ms);
    return 0;
}

}  // namespace qelvio::cli
