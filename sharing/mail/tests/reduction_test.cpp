// The size rules of reduced attachments, with the sizes the choices give
// for common camera resolutions.
#include "sharing/mail/reduction.h"

#include <gtest/gtest.h>

namespace qelvio::sharing {
namespace {

struct Case {
    int width, height, reduction;
    bool unchanged;
    int divisor;
    int out_width, out_height;  // after the decode at 1000 / divisor and the resampling
};

TEST(Reduction, DecodeScaleAndResampledSize) {
    const Case cases[] = {
        {1600, 1200, 2, false, 1, 576, 432},   // Small: decoded whole, resampled (u = 36)
        {2048, 1536, 1, false, 4, 512, 384},   // Extra Small: g 8 halved to 4, no resampling
        {640, 480, 2, true, 1, 640, 480},      // already smaller
        {800, 625, 2, true, 1, 800, 625},      // exactly the target: unchanged
        {1600, 1200, 0, true, 1, 1600, 1200},  // No reduction
        {4000, 3000, 5, false, 2, 1860, 1395}, // r = 6, k = 1: decoded 2000x1500, u = 93
        {2272, 1704, 3, false, 1, 817, 613},   // r = 3: decoded whole, u = 36
        {8000, 6000, 1, false, 8, 460, 345},   // r = 192, k capped at 3; 1000x750, u = 46
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " choice " << c.reduction);
        int64_t pixels = int64_t{c.width} * c.height, target = reduction_pixels(c.reduction);
        ASSERT_EQ(send_unchanged(pixels, target), c.unchanged);
        if (c.unchanged) continue;
        int g = decode_divisor(pixels, target);
        EXPECT_EQ(g, c.divisor);
        imaging::DibSize size = resampled_size(c.width / g, c.height / g, target);
        EXPECT_EQ(size.width, c.out_width);
        EXPECT_EQ(size.height, c.out_height);
    }
}

TEST(Reduction, TargetsOfTheChoices) {
    const int64_t expected[] = {0, 250000, 500000, 1000000, 1500000, 2000000};
    for (int i = 0; i < kReductionCount; ++i) EXPECT_EQ(reduction_pixels(i), expected[i]);
    EXPECT_EQ(reduction_pixels(-1), 0);
    EXPECT_EQ(reduction_pixels(6), 0);
}

TEST(Reduction, WithinTenPercentOfTheTargetIsNotResampled) {
    // 550 000 pixels is T + T / 10 for Small: kept; one row more is resampled.
    EXPECT_EQ(resampled_size(1000, 550, 500000).width, 1000);
    imaging::DibSize over = resampled_size(1000, 551, 500000);
    EXPECT_EQ(over.width, 1000 * (500000 * 140 / 551000) / 100);
}

}  // namespace
}  // namespace qelvio::sharing
