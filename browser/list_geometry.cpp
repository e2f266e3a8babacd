#include "browser/list_geometry.h"

#include <algorithm>

namespace qelvio::browser {

ListRect span_rect(int x0, int y0, int x1, int y1) {
    return {std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
}

int GridGeometry::columns_for(int client_width) { return std::max(1, client_width / kCellWidth); }

int GridGeometry::rows(int count) const { return count <= 0 ? 0 : (count + columns - 1) / columns; }

ListRect GridGeometry::cell(int index) const {
    const int column = index % columns;
    const int row = index / columns;
    const int left = column * kCellWidth + kGridOrigin;
    const int top = row * cell_height + kGridOrigin;
    return {left, top, left + kCellWidth, top + cell_height};
}

ListRect GridGeometry::thumbnail_box(int index, bool file_names) const {
    ListRect r = cell(index);
    r = {r.left + 4, r.top + 4, r.right - 4, r.bottom - 4};
    if (file_names) r.bottom -= 12;
    return r;
}

ListRect GridGeometry::audio_box(int index) const {
    const ListRect c = cell(index);
    return {c.left + 1, c.top + 1, c.left + 21, c.top + 21};
}

ListRect GridGeometry::description_box(int index) const {
    const ListRect c = cell(index);
    return {c.right - 21, c.top + 1, c.right - 1, c.top + 21};
}

ListRect GridGeometry::name_band(int index) const {
    const ListRect c = cell(index);
    return {c.left + 4, c.bottom - 4 - 12, c.right - 4, c.bottom - 4};
}

int GridGeometry::hit(int x, int y, int count) const {
    if (x < kGridOrigin || y < kGridOrigin) return -1;
    const int column = (x - kGridOrigin) / kCellWidth;
    const int row = (y - kGridOrigin) / cell_height;
    if (column >= columns) return -1;
    const int index = row * columns + column;
    return index < count ? index : -1;
}

ListRect row_audio_box(const ListRect& row) { return {row.right - 38, row.bottom - 20, row.right - 22, row.bottom - 4}; }

ListRect row_description_box(const ListRect& row) {
    return {row.right - 18, row.bottom - 20, row.right - 2, row.bottom - 4};
}

GridLayoutResult layout_grid(int client_width, int client_height, int bar_width, int count, int cell_height,
                             bool has_bar) {
    GridLayoutResult out;
    out.columns = GridGeometry::columns_for(client_width);
    const int whole_rows = std::max(0, client_height / cell_height);
    if (static_cast<int64_t>(whole_rows) * out.columns >= count) return out;  // no bar
    if (!has_bar) {
        out.bar = GridLayoutResult::Bar::add;
        return out;
    }
    out.bar = GridLayoutResult::Bar::keep;
    out.columns = GridGeometry::columns_for(client_width - bar_width);
    GridGeometry grid{out.columns, cell_height};
    out.range_max = grid.rows(count) * cell_height + 8;
    out.page = client_height;
    return out;
}

VisibleRange grid_visible_range(int position, int client_height, const GridGeometry& grid, int count) {
    VisibleRange r;
    r.first = (position / grid.cell_height) * grid.columns;
    r.last = ((position + client_height) / grid.cell_height + 1) * grid.columns - 1;
    r.last = std::min(r.last, count - 1);
    r.first = std::min(r.first, count - 1);
    return r;
}

VisibleRange rows_visible_range(int top_index, int rows_per_page, int count) {
    VisibleRange r{top_index, top_index + rows_per_page};
    r.last = std::min(r.last, count - 1);
    r.first = std::min(r.first, count - 1);
    return r;
}

int clamp_scroll(int position, int total, int client) {
    return std::clamp(position, 0, std::max(0, total - client));
}

int scroll_to_show(const ListRect& cell, int position, int client_height) {
    const int top = cell.top - position;
    const int bottom = cell.bottom - position;
    if (top < 0) return position + top;
    if (bottom > client_height) return position + (bottom - client_height);
    return position;
}

int autoscroll_speed(int y, int client_height) {
    if (y < kAutoscrollMargin) return y - kAutoscrollMargin;
    if (y > client_height - kAutoscrollMargin) return y - (client_height - kAutoscrollMargin);
    return 0;
}

int line_step(int client_height) { return std::max(1, client_height / 10); }

}  // namespace qelvio::browser
