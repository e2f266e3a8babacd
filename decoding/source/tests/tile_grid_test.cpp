// The tile grid's geometry, memory budget and request queue.
#include "decoding/source/tile_grid.h"

#include <gtest/gtest.h>

namespace qd = qelvio::decoding;
namespace qi = qelvio::imaging;

namespace {

qi::DibPtr bitmap(int width, int height) {
    auto dib = std::make_unique<qi::Dib>();
    EXPECT_TRUE(qi::DibCreate(*dib, width, height, 24, 0));
    return dib;
}

TEST(TileGrid, Geometry) {
    struct Case {
        int width, height;
        int across, down, last_width, last_height;
    } cases[] = {
        {1000, 700, 8, 6, 104, 60},
        {1024, 128, 8, 1, 128, 128},
        {1, 1, 1, 1, 1, 1},
        {129, 257, 2, 3, 1, 1},
        {40000, 300, 313, 3, 64, 44},  // wider than 255 tiles
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        qd::TileGrid grid(c.width, c.height, 2000000);
        EXPECT_EQ(grid.across(), c.across);
        EXPECT_EQ(grid.down(), c.down);
        EXPECT_EQ(grid.tile_width(c.across - 1), c.last_width);
        EXPECT_EQ(grid.tile_height(c.down - 1), c.last_height);
        qi::DibRect last = grid.source_rect(grid.count() - 1);
        EXPECT_EQ(last.right, c.width);
        EXPECT_EQ(last.bottom, c.height);
        EXPECT_EQ(last.left, (c.across - 1) * 128);
    }
}

TEST(TileGrid, RequiredScaleForZoom) {
    const std::pair<int, int> cases[] = {{100, 250}, {174, 250}, {249, 250}, {250, 500}, {499, 500},
                                         {500, 750}, {749, 750}, {750, 1000}, {4000, 1000}};
    for (auto [zoom, scale] : cases) EXPECT_EQ(qd::required_tile_scale(zoom), scale) << zoom;
}

TEST(TileGrid, StoringKeepsTheBudgetByEvictingTheLeastRecentlyUsed) {
    qd::TileGrid grid(128 * 8, 128 * 8, 2000000);
    // 128 x 128 at full scale: 32768 bytes; 61 fit, the 62nd pushes out the first.
    for (int n = 0; n < 61; ++n) grid.store(n, bitmap(128, 128));
    EXPECT_EQ(grid.memory(), 61u * 32768);
    grid.mark_used({0});  // tile 0 was drawn again: tile 1 is now the oldest
    grid.store(61, bitmap(128, 128));
    EXPECT_EQ(grid.memory(), 61u * 32768);
    EXPECT_TRUE(grid.tile(0).bitmap);
    EXPECT_FALSE(grid.tile(1).bitmap);
    EXPECT_EQ(grid.tile(1).scale, 0);
    EXPECT_EQ(grid.history().front(), 61);
    EXPECT_EQ(grid.history().size(), 61u);

    // A redecoded tile replaces its old estimate; a half-size one counts half.
    grid.store(5, bitmap(64, 64));
    EXPECT_EQ(grid.tile(5).scale, 500);
    EXPECT_EQ(grid.memory(), 60u * 32768 + 16384);
}

TEST(TileGrid, ATileLargerThanTheBudgetIsNotKept) {
    qd::TileGrid grid(300, 300, 1000);
    grid.store(0, bitmap(128, 128));
    EXPECT_FALSE(grid.tile(0).bitmap);
    EXPECT_EQ(grid.memory(), 0u);
    EXPECT_TRUE(grid.history().empty());
}

TEST(TileGrid, QueueHoldsAtMost255AndNoRepeats) {
    qd::TileGrid grid(128 * 20, 128 * 20, 2000000);
    for (int n = 0; n < 300; ++n) grid.enqueue(n);
    EXPECT_EQ(grid.queued(), 255u);
    EXPECT_EQ(grid.take_next(), 0);
    EXPECT_EQ(grid.take_next(), 1);
    EXPECT_FALSE(grid.enqueue(2));    // still waiting
    EXPECT_FALSE(grid.enqueue(299));  // taken entries still count until the queue empties
    for (int n = 2; n < 255; ++n) EXPECT_EQ(grid.take_next(), n);
    EXPECT_EQ(grid.take_next(), -1);
    EXPECT_TRUE(grid.enqueue(299));  // emptied once all were taken
    EXPECT_EQ(grid.take_next(), 299);
}

}  // namespace
