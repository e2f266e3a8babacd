// The image list's geometry: the thumbnail grid's cells and boxes, the rows
// of the details and thumbs-and-details modes, the grid's layout with its
// scroll bar rule, the visible range, hit testing, scrolling to an item and
// the autoscroll speed. Plain numbers, no widgets.
#pragma once

#include <cstdint>

namespace qelvio::browser {

// View modes (the setting viewmode).
inline constexpr int kViewDetails = 0;
inline constexpr int kViewThumbnails = 1;
inline constexpr int kViewThumbsDetails = 2;

inline constexpr int kCellWidth = 72;
inline constexpr int kCellHeight = 72;
inline constexpr int kCellHeightWithNames = 84;
inline constexpr int kGridOrigin = 4;
inline constexpr int kRowHeightDetails = 16;
inline constexpr int kRowHeightThumbsDetails = 54;
// Pointer travel that starts a rubber band or a drag.
inline constexpr int kDragThreshold = 8;
// Distance from the top or bottom edge where autoscroll begins.
inline constexpr int kAutoscrollMargin = 15;
inline constexpr int kAutoscrollIntervalMs = 30;
inline constexpr int kNotificationIntervalMs = 100;

struct ListRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool intersects(const ListRect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    bool operator==(const ListRect&) const = default;
};

// The rectangle spanned by two points, whichever way round.
ListRect span_rect(int x0, int y0, int x1, int y1);

// The grid of mode 1 in content coordinates (scroll position not applied).
struct GridGeometry {
    int columns = 1;
    int cell_height = kCellHeight;

    static int cell_height_for(bool file_names) { return file_names ? kCellHeightWithNames : kCellHeight; }
    // Client width divided by the cell width, at least 1.
    static int columns_for(int client_width);
    // Rows for count items (a partial row counts).
    int rows(int count) const;
    ListRect cell(int index) const;
    // The cell shrunk by 4 on every side, and 12 more from the bottom with names.
    ListRect thumbnail_box(int index, bool file_names) const;
    ListRect audio_box(int index) const;
    ListRect description_box(int index) const;
    ListRect name_band(int index) const;
    // The item under a content point, or -1.
    int hit(int x, int y, int count) const;
};

// The annotation icon boxes of a row in modes 0 and 2.
ListRect row_audio_box(const ListRect& row);
ListRect row_description_box(const ListRect& row);

// The grid's layout for a client area. client_width is the width without a
// vertical scroll bar; bar_width the bar's width.
struct GridLayoutResult {
    enum class Bar { none, add, keep };
    Bar bar = Bar::none;
    int columns = 1;
    int range_max = 0;  // scroll range 0 ... range_max (with a bar kept)
    int page = 0;
};
// has_bar tells whether the pane has a scroll bar now. Adding a bar ends the
// layout: the size change that follows lays out again with has_bar set.
GridLayoutResult layout_grid(int client_width, int client_height, int bar_width, int count, int cell_height,
                             bool has_bar);

struct VisibleRange {
    int first = 0;
    int last = -1;
    bool operator==(const VisibleRange&) const = default;
};
// Mode 1: the items at least partly visible at the scroll position.
VisibleRange grid_visible_range(int position, int client_height, const GridGeometry& grid, int count);
// Modes 0 and 2: from the list's top index and its rows per page.
VisibleRange rows_visible_range(int top_index, int rows_per_page, int count);

// Clamps a scroll position to 0 ... total - client (0 when it all fits).
int clamp_scroll(int position, int total, int client);
// The scroll position that shows a cell: up by the overlap when it lies
// above the client area, so that its bottom meets the client's bottom when
// it reaches below, unchanged otherwise.
int scroll_to_show(const ListRect& cell, int position, int client_height);
// Autoscroll speed at a pointer's y in a client area of the height: the
// distance beyond the margin, negative upwards, 0 inside.
int autoscroll_speed(int y, int client_height);
// Scroll steps: a tenth of the client height for a line, all of it for a page.
int line_step(int client_height);

}  // namespace qelvio::browser
