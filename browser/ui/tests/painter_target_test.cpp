// The QPainter drawing target against the core's software target: the same
// copies, stretches, fills and frames give the same pixels.
#include "imaging/drawing_target.h"
#include "imaging/ui/painter_target.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace qelvio::imaging {
namespace {

// A picture whose every pixel differs: red from x, green from y.
Dib make_source(int bits) {
    Dib dib;
    const int w = 12, h = 9;
    if (bits == 24) {
        EXPECT_TRUE(DibCreate(dib, w, h, 24, 0));
        for (int y = 0; y < h; ++y) {
            // Row 0 of the picture is the last stored row.
            uint8_t* row = DibRow(dib, h - 1 - y);
            for (int x = 0; x < w; ++x) {
                row[3 * x] = 40;
                row[3 * x + 1] = static_cast<uint8_t>(20 * y);
                row[3 * x + 2] = static_cast<uint8_t>(20 * x);
            }
        }
    } else {
        RgbQuad table[256] = {};
        for (int i = 0; i < 256; ++i) table[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7, 0};
        EXPECT_TRUE(DibCreate(dib, w, h, 8, 256, table));
        for (int y = 0; y < h; ++y) {
            uint8_t* row = DibRow(dib, h - 1 - y);
            for (int x = 0; x < w; ++x) row[x] = static_cast<uint8_t>(x * 16 + y);
        }
    }
    return dib;
}

// The software target's canvas as RGB triples at (x, y).
QColor soft_pixel(const Dib& canvas, int x, int y) {
    const uint8_t* p = DibRow(canvas, DibHeight(canvas) - 1 - y) + 3 * x;
    return QColor(p[2], p[1], p[0]);
}

class PainterMatchesSoftware : public ::testing::TestWithParam<int> {};

TEST_P(PainterMatchesSoftware, CopyStretchFillFrame) {
    Dib source = make_source(GetParam());
    const int W = 40, H = 30;
    Dib canvas;
    ASSERT_TRUE(DibCreate(canvas, W, H, 24, 0));
    SoftwareDrawingTarget soft(canvas);
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    PainterDrawingTarget qt(painter, 24);
    EXPECT_EQ(qt.bits_per_pixel(), 24);
    for (DrawingTarget* t : {static_cast<DrawingTarget*>(&soft), static_cast<DrawingTarget*>(&qt)}) {
        t->fill({0, 0, W, H}, 0x00102030);
        EXPECT_TRUE(t->copy(source, 1, 2, {2, 1, 10, 8}, RasterOp::SourceCopy));
        // Exactly twice as large: nearest pixels match either way.
        EXPECT_TRUE(t->stretch(source, {14, 4, 38, 22}, {0, 0, 12, 9}, RasterOp::SourceCopy));
        t->frame({0, 24, 10, 30}, 0x000000FF);
    }
    painter.end();
    int differing = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (image.pixelColor(x, y) != soft_pixel(canvas, x, y)) ++differing;
    EXPECT_EQ(differing, 0);
    // Spot checks against the source itself: its (2, 1) lands at (1, 2).
    EXPECT_EQ(image.pixelColor(1, 2), soft_pixel(canvas, 1, 2));
    if (GetParam() == 24) {
        EXPECT_EQ(image.pixelColor(1, 2), QColor(40, 20, 40));
    }
    EXPECT_EQ(image.pixelColor(0, 24), QColor(255, 0, 0));  // the frame's red (0x000000FF)
}

INSTANTIATE_TEST_SUITE_P(Depths, PainterMatchesSoftware, ::testing::Values(24, 8));

TEST(PainterTarget, InvertedCopy) {
    Dib source = make_source(24);
    QImage image(12, 9, QImage::Format_RGB32);
    QPainter painter(&image);
    PainterDrawingTarget qt(painter, 24);
    qt.copy(source, 0, 0, {0, 0, 12, 9}, RasterOp::NotSourceCopy);
    painter.end();
    EXPECT_EQ(image.pixelColor(3, 2), QColor(255 - 60, 255 - 40, 255 - 40));
}

}  // namespace
}  // namespace qelvio::imaging
