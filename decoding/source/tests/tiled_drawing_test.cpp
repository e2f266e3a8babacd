// Zoomed drawing of large baseline JPEGs through tiles, checked against
// djpeg's full decode of the same file.
#include "decoding/source/image_source.h"
#include "decoding/source/zoomed_render.h"
#include "imaging/drawing_target.h"
#include "storage/tests/device_fixture.h"

#include <cstdio>
#include <cstring>

namespace qd = qelvio::decoding;
namespace qi = qelvio::imaging;

namespace {

// A decoded picture as blue, green, red bytes, top row first.
struct Pixels {
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;
    const uint8_t* at(int x, int y) const { return &bgr[3 * (static_cast<std::size_t>(y) * width + x)]; }
};

Pixels pixels_of(const qi::Dib& dib) {
    Pixels p{qi::DibWidth(dib), qi::DibHeight(dib), {}};
    for (int y = 0; y < p.height; ++y) {
        const uint8_t* row = qi::DibRow(dib, p.height - 1 - y);
        p.bgr.insert(p.bgr.end(), row, row + 3 * p.width);
    }
    return p;
}

// The image as djpeg decodes it at full size.
Pixels djpeg(const std::string& path) {
    std::string command = "djpeg -dct int -pnm '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr);
    Pixels p;
    char kind[3] = {};
    int maximum = 0;
    if (!pipe || std::fscanf(pipe, "%2s %d %d %d", kind, &p.width, &p.height, &maximum) != 4) return {};
    std::fgetc(pipe);
    int samples = kind[1] == '5' ? 1 : 3;
    std::vector<uint8_t> raw(static_cast<std::size_t>(p.width) * p.height * samples);
    EXPECT_EQ(std::fread(raw.data(), 1, raw.size(), pipe), raw.size());
    pclose(pipe);
    for (std::size_t i = 0; i < raw.size(); i += samples) {
        if (samples == 1) {
            p.bgr.insert(p.bgr.end(), {raw[i], raw[i], raw[i]});
        } else {
            p.bgr.insert(p.bgr.end(), {raw[i + 2], raw[i + 1], raw[i]});
        }
    }
    return p;
}

// The largest channel difference between the canvas and the reference
// sampled the way a zoom of `factor` from (left, top) shows it.
int largest_difference(const Pixels& canvas, const Pixels& reference, int left, int top, int factor) {
    int largest = 0;
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const uint8_t* a = canvas.at(x, y);
            const uint8_t* b = reference.at(left + x / factor, top + y / factor);
            for (int c = 0; c < 3; ++c) largest = std::max(largest, std::abs(a[c] - b[c]));
        }
    }
    return largest;
}

class TiledDrawing : public DeviceFixture {
protected:
    // A 600 x 400 baseline JPEG with detail everywhere.
    void make_jpeg(const char* name, const std::string& options) {
        std::string cmd = "convert -size 600x400 -seed 7 plasma:fractal " + options + " -quality 90 '" +
                          (root / name).string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    // Viewing keeps at most an eighth-size whole image of these files.
    static constexpr qd::ImageSourceLimits kSmallMemory{10000, 104857600, 2000000};

    static p_irl irl(const char16_t* path) {
        p_irl locator;
        locator.set(u"file", u"", path);
        return locator;
    }
    static qi::Dib canvas(int width, int height) {
        qi::Dib dib;
        EXPECT_TRUE(qi::DibCreate(dib, width, height, 24, 0));
        return dib;
    }
};

TEST_F(TiledDrawing, TilesAtFullZoomMatchAFullDecode) {
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {
        {"grey.jpg", "-colorspace gray"},
        {"444.jpg", "-sampling-factor 1x1"},
        {"420.jpg", "-sampling-factor 2x2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        make_jpeg(c.name, c.options);
        std::u16string path = u"\\" + std::u16string(c.name, c.name + std::strlen(c.name));
        qd::p_ImageSource image(irl(path.c_str()), kSmallMemory);
        ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
        EXPECT_EQ(image.whole_image_scale(), 125);
        ASSERT_TRUE(image.tiled());
        EXPECT_TRUE(image.has_region_index());
        ASSERT_NE(image.tile_grid(), nullptr);
        EXPECT_EQ(image.tile_grid()->across(), 5);
        EXPECT_EQ(image.tile_grid()->down(), 4);

        qi::Dib out = canvas(600, 400);
        qi::SoftwareDrawingTarget target(out);
        EXPECT_EQ(qd::render_zoomed(image, target, {0, 0}), 20);
        for (int n = 0; n < 20; ++n) EXPECT_EQ(image.tile_grid()->tile(n).scale, 1000) << n;
        EXPECT_EQ(largest_difference(pixels_of(out), djpeg((root / c.name).string()), 0, 0, 1), 0);
    }
}

TEST_F(TiledDrawing, PartOfTheImageMagnified) {
    make_jpeg("g.jpg", "-colorspace gray");
    qd::p_ImageSource image(irl(u"\\g.jpg"), kSmallMemory);
    ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
    ASSERT_NE(image.tile_grid(), nullptr);
    image.set_zoom(2000);
    EXPECT_EQ(image.displayed_size().width, 1200);
    qi::Dib out = canvas(500, 300);
    qi::SoftwareDrawingTarget target(out);
    qi::DibRect view{100, 50, 350, 200};
    // Columns 0 to 2 and rows 0 to 1 cover the view.
    EXPECT_EQ(qd::render_zoomed(image, target, {0, 0}, &view), 6);
    EXPECT_EQ(largest_difference(pixels_of(out), djpeg((root / "g.jpg").string()), 100, 50, 2), 0);
    // The first tile starts 100 pixels left of the view, 200 on the screen.
    qi::DibRect first = image.tile_position({0, 0}, 0);
    EXPECT_EQ(first.left, -200);
    EXPECT_EQ(first.top, -100);
    EXPECT_EQ(first.right, 56);
    qi::DibRect second_row = image.tile_position({10, 20}, image.tile_grid()->number(2, 1));
    EXPECT_EQ(second_row.left, 10 - 200 + 512);
    EXPECT_EQ(second_row.top, 20 - 100 + 256);
}

TEST_F(TiledDrawing, BelowZoom175TheWholeImageIsDrawn) {
    make_jpeg("g.jpg", "-colorspace gray");
    qd::p_ImageSource image(irl(u"\\g.jpg"), kSmallMemory);
    ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
    ASSERT_NE(image.tile_grid(), nullptr);
    qi::Dib out = canvas(200, 200);
    qi::SoftwareDrawingTarget target(out);
    image.set_zoom(174);
    ASSERT_EQ(image.draw(target, {0, 0}), 0);
    EXPECT_EQ(image.tile_grid()->queued(), 0u);
    EXPECT_EQ(image.next_tile(nullptr), P_FAILED);  // nothing to decode
    image.set_zoom(175);
    ASSERT_EQ(image.draw(target, {0, 0}), 0);
    EXPECT_EQ(image.tile_grid()->queued(), 20u);
    // A whole image at least as fine as the zoom needs no tiles either.
    image.set_zoom(125);
    ASSERT_EQ(image.draw(target, {0, 0}), 0);
    EXPECT_EQ(image.tile_grid()->queued(), 0u);
}

TEST_F(TiledDrawing, DecodedTilesStayWithinTheBudget) {
    make_jpeg("g.jpg", "-colorspace gray");
    // Three full-size tiles' worth of memory.
    qd::p_ImageSource image(irl(u"\\g.jpg"), {10000, 104857600, 3 * 32768});
    ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
    ASSERT_NE(image.tile_grid(), nullptr);
    qi::Dib out = canvas(600, 400);
    qi::SoftwareDrawingTarget target(out);
    EXPECT_EQ(qd::render_zoomed(image, target, {0, 0}), 20);
    const qd::TileGrid& grid = *image.tile_grid();
    EXPECT_LE(grid.memory(), 3u * 32768);
    int kept = 0;
    for (int n = 0; n < grid.count(); ++n) kept += grid.tile(n).bitmap ? 1 : 0;
    EXPECT_EQ(static_cast<std::size_t>(kept), grid.history().size());
    EXPECT_GE(kept, 1);
    // The canvas still shows every tile as it was decoded.
    EXPECT_EQ(largest_difference(pixels_of(out), djpeg((root / "g.jpg").string()), 0, 0, 1), 0);
}

TEST_F(TiledDrawing, TilesTakeTheScreensFormat) {
    make_jpeg("c.jpg", "-sampling-factor 1x1");
    qd::p_ImageSource::set_screen_bits_per_pixel(16);
    qd::p_ImageSource image(irl(u"\\c.jpg"), kSmallMemory);
    ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
    ASSERT_NE(image.tile_grid(), nullptr);
    qi::Dib out = canvas(128, 128);
    qi::SoftwareDrawingTarget target(out);
    qi::DibRect view{0, 0, 128, 128};
    EXPECT_EQ(qd::render_zoomed(image, target, {0, 0}, &view), 1);
    qd::p_ImageSource::set_screen_bits_per_pixel(24);
    ASSERT_TRUE(image.tile_grid()->tile(0).bitmap);
    EXPECT_EQ(qi::DibBitCount(*image.tile_grid()->tile(0).bitmap), 16);
    EXPECT_LE(largest_difference(pixels_of(out), djpeg((root / "c.jpg").string()), 0, 0, 1), 7);
}

TEST_F(TiledDrawing, OnlyLargeBaselineImagesInViewingModeAreTiled) {
    make_jpeg("g.jpg", "-colorspace gray");
    std::string progressive = "convert '" + (root / "g.jpg").string() + "' -interlace jpeg '" +
                              (root / "p.jpg").string() + "'";
    ASSERT_EQ(std::system(progressive.c_str()), 0);

    qd::p_ImageSource whole(irl(u"\\g.jpg"));  // fits at full size
    ASSERT_EQ(whole.set_mode(qd::kModeViewing), 0);
    EXPECT_EQ(whole.whole_image_scale(), 1000);
    EXPECT_FALSE(whole.tiled());
    EXPECT_EQ(whole.tile_grid(), nullptr);

    qd::p_ImageSource interlaced(irl(u"\\p.jpg"), kSmallMemory);
    ASSERT_EQ(interlaced.set_mode(qd::kModeViewing), 0);
    EXPECT_FALSE(interlaced.tiled());
    EXPECT_FALSE(interlaced.has_region_index());

    qd::p_ImageSource image(irl(u"\\g.jpg"), kSmallMemory);
    ASSERT_EQ(image.set_mode(qd::kModeViewing), 0);
    ASSERT_TRUE(image.tiled());
    image.release(qd::kReleaseTiles);
    EXPECT_EQ(image.tile_grid(), nullptr);
    EXPECT_FALSE(image.has_region_index());
    ASSERT_EQ(image.set_mode(qd::kModeEditing), 0);
    EXPECT_FALSE(image.tiled());
}

}  // namespace
