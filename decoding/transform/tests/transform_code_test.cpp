// Output sizes, trimming and mirrorable extents of the five codes.
#include "decoding/transform/transform_code.h"

#include <gtest/gtest.h>

using namespace qelvio::decoding;

TEST(TransformGeometry, SizesTrimmingAndMirrorableExtent) {
    struct Case {
        int code, width, height, max_h, max_v;
        int out_width, out_height, across, down;
    };
    const Case cases[] = {
        // 100 x 75 with 16-pixel MCUs: only the mirrored direction is trimmed.
        {1, 100, 75, 2, 2, 96, 75, 6, 0},
        {2, 100, 75, 2, 2, 100, 64, 0, 4},
        {5, 100, 75, 2, 2, 64, 100, 4, 0},
        {6, 100, 75, 2, 2, 96, 64, 6, 4},
        {7, 100, 75, 2, 2, 75, 96, 0, 6},
        // 4:2:2 turns into 1 x 2 sampling: the MCU is 8 wide and 16 high.
        {5, 100, 75, 2, 1, 72, 100, 9, 0},
        {7, 100, 75, 2, 1, 75, 96, 0, 6},
        // Greyscale: 8-pixel MCUs.
        {5, 100, 75, 1, 1, 72, 100, 9, 0},
        // Whole MCUs lose nothing.
        {5, 640, 480, 2, 2, 480, 640, 30, 0},
        {6, 640, 480, 2, 2, 640, 480, 40, 30},
        // Smaller than one MCU: nothing trimmed, nothing mirrorable.
        {1, 10, 10, 2, 2, 10, 10, 0, 0},
        {5, 10, 10, 2, 2, 10, 10, 0, 0},
        {6, 10, 10, 2, 2, 10, 10, 0, 0},
        // One direction below an MCU, the other not.
        {6, 40, 10, 2, 2, 32, 10, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " " << c.width << "x" << c.height << " "
                                        << c.max_h << "x" << c.max_v);
        TransformGeometry g = transform_geometry(c.code, c.width, c.height, c.max_h, c.max_v);
        EXPECT_EQ(g.width, c.out_width);
        EXPECT_EQ(g.height, c.out_height);
        EXPECT_EQ(g.mirror_mcus_across, c.across);
        EXPECT_EQ(g.mirror_mcus_down, c.down);
    }
}

TEST(TransformGeometry, OnlyTheFiveCodesAreTransforms) {
    for (int code = -1; code <= 9; ++code)
        EXPECT_EQ(is_transform_code(code), code == 1 || code == 2 || code == 5 || code == 6 || code == 7)
            << code;
}
