#include "browser/list_geometry.h"

#include <gtest/gtest.h>

namespace qelvio::browser {
namespace {

TEST(ListGeometry, CellsAndBoxesOfTheGrid) {
    GridGeometry grid{3, kCellHeightWithNames};
    // Item 4: column 1, row 1.
    EXPECT_EQ(grid.cell(4), (ListRect{76, 88, 148, 172}));
    EXPECT_EQ(grid.thumbnail_box(4, true), (ListRect{80, 92, 144, 156}));
    EXPECT_EQ(grid.thumbnail_box(4, false), (ListRect{80, 92, 144, 168}));
    EXPECT_EQ(grid.audio_box(4), (ListRect{77, 89, 97, 109}));
    EXPECT_EQ(grid.description_box(4), (ListRect{127, 89, 147, 109}));
    EXPECT_EQ(grid.name_band(4), (ListRect{80, 156, 144, 168}));
    EXPECT_EQ(grid.rows(7), 3);
    EXPECT_EQ(grid.rows(6), 2);
    EXPECT_EQ(grid.rows(0), 0);
    // Hits: inside a cell, in the origin margin, right of the last column,
    // in the last row past the last item.
    EXPECT_EQ(grid.hit(80, 100, 7), 4);
    EXPECT_EQ(grid.hit(2, 100, 7), -1);
    EXPECT_EQ(grid.hit(230, 10, 7), -1);
    EXPECT_EQ(grid.hit(80, 180, 7), -1);
    EXPECT_EQ(grid.hit(10, 180, 7), 6);
}

TEST(ListGeometry, RowIconBoxes) {
    ListRect row{0, 54, 300, 108};
    EXPECT_EQ(row_audio_box(row), (ListRect{262, 88, 278, 104}));
    EXPECT_EQ(row_description_box(row), (ListRect{282, 88, 298, 104}));
}

TEST(ListGeometry, ColumnsFollowTheWidth) {
    struct Case {
        int width, columns;
    } cases[] = {{240, 3}, {216, 3}, {215, 2}, {71, 1}, {0, 1}, {1000, 13}};
    for (const Case& c : cases) EXPECT_EQ(GridGeometry::columns_for(c.width), c.columns) << c.width;
}

TEST(ListGeometry, LayoutAddsAScrollBarThenRecomputesColumns) {
    // 20 images, cells 84 high, a 240 x 200 pane: 2 whole rows x 3 columns
    // hold 6, so a bar is added first...
    GridLayoutResult first = layout_grid(240, 200, 16, 20, kCellHeightWithNames, false);
    EXPECT_EQ(first.bar, GridLayoutResult::Bar::add);
    // ...and the layout after the size change keeps it with the columns of
    // the narrower width (still 3: 224 / 72).
    GridLayoutResult second = layout_grid(240, 200, 16, 20, kCellHeightWithNames, true);
    EXPECT_EQ(second.bar, GridLayoutResult::Bar::keep);
    EXPECT_EQ(second.columns, 3);
    EXPECT_EQ(second.range_max, 7 * 84 + 8);
    EXPECT_EQ(second.page, 200);
    // A bar 25 wide leaves 215: two columns.
    EXPECT_EQ(layout_grid(240, 200, 25, 20, kCellHeightWithNames, true).columns, 2);
    // Everything fits: no bar, whatever there was.
    GridLayoutResult fits = layout_grid(240, 200, 16, 6, kCellHeightWithNames, true);
    EXPECT_EQ(fits.bar, GridLayoutResult::Bar::none);
    EXPECT_EQ(fits.columns, 3);
}

TEST(ListGeometry, VisibleRanges) {
    GridGeometry grid{3, kCellHeightWithNames};
    EXPECT_EQ(grid_visible_range(0, 200, grid, 20), (VisibleRange{0, 8}));
    EXPECT_EQ(grid_visible_range(100, 200, grid, 20), (VisibleRange{3, 11}));
    EXPECT_EQ(grid_visible_range(500, 200, grid, 20), (VisibleRange{15, 19}));  // last limited
    EXPECT_EQ(grid_visible_range(0, 200, grid, 0), (VisibleRange{-1, -1}));
    EXPECT_EQ(rows_visible_range(10, 12, 100), (VisibleRange{10, 22}));
    EXPECT_EQ(rows_visible_range(0, 12, 5), (VisibleRange{0, 4}));
}

TEST(ListGeometry, ShowItemAndClamping) {
    GridGeometry grid{3, kCellHeightWithNames};
    // Cell of item 9 is 256 ... 340: below a 200-high view at 0.
    EXPECT_EQ(scroll_to_show(grid.cell(9), 0, 200), 140);
    // Above the view at 300: up by the overlap to its top.
    EXPECT_EQ(scroll_to_show(grid.cell(0), 300, 200), 4);
    // Already visible: unchanged.
    EXPECT_EQ(scroll_to_show(grid.cell(3), 50, 200), 50);
    EXPECT_EQ(clamp_scroll(-5, 596, 200), 0);
    EXPECT_EQ(clamp_scroll(1000, 596, 200), 396);
    EXPECT_EQ(clamp_scroll(100, 150, 200), 0);
}

TEST(ListGeometry, AutoscrollSpeed) {
    EXPECT_EQ(autoscroll_speed(100, 200), 0);
    EXPECT_EQ(autoscroll_speed(15, 200), 0);
    EXPECT_EQ(autoscroll_speed(5, 200), -10);
    EXPECT_EQ(autoscroll_speed(-20, 200), -35);
    EXPECT_EQ(autoscroll_speed(190, 200), 5);
    EXPECT_EQ(line_step(200), 20);
}

}  // namespace
}  // namespace qelvio::browser
