// p_ImageSource: zoomed drawing, from the whole-image bitmap or from tiles
// decoded one by one at the resolution the zoom needs.
#include "decoding/source/image_source.h"

#include "decoding/bitmap_output.h"
#include "imaging/drawing_target.h"

#include <algorithm>
#include <atomic>

namespace qelvio::decoding {
namespace {

std::atomic<int> screen_bits{24};

// Zooms below this show the whole-image bitmap even when it is coarser.
constexpr int kSmallestTiledZoom = 175;

imaging::DibRect scaled(const imaging::DibRect& r, int scale) {
    return {displayed(r.left, scale), displayed(r.top, scale), displayed(r.right, scale), displayed(r.bottom, scale)};
}

// Selects the whole-image bitmap's palette into the target for as long as a
// drawing lasts.
class PaletteSelection {
public:
    PaletteSelection(imaging::DrawingTarget& target, const imaging::Dib& dib) : target_(target), on_(dib.palette) {
        if (on_) target_.select_palette(dib.palette);
    }
    ~PaletteSelection() {
        if (on_) target_.select_palette(nullptr);
    }
    PaletteSelection(const PaletteSelection&) = delete;
    PaletteSelection& operator=(const PaletteSelection&) = delete;

private:
    imaging::DrawingTarget& target_;
    bool on_;
};

}  // namespace

void p_ImageSource::set_screen_bits_per_pixel(int bits) { screen_bits = std::max(bits, 16); }

void p_ImageSource::set_zoom(int zoom) { zoomlevel = std::clamp(zoom, 1, 65535); }

imaging::DibSize p_ImageSource::displayed_size() {
    imaging::DibSize full = size();
    return {displayed(full.width, zoomlevel), displayed(full.height, zoomlevel)};
}

imaging::DibRect p_ImageSource::tile_position(DrawPoint origin, int number) const {
    if (!tiles || firstdrawntile < 0 || number < 0 || number >= tiles->count()) return {0, 0, 0, 0};
    int step = displayed(kTileSide, zoomlevel);
    int column = tiles->column(number), row = tiles->row(number);
    int left = origin.x + firsttileoffset.x + (column - tiles->column(firstdrawntile)) * step;
    int top = origin.y + firsttileoffset.y + (row - tiles->row(firstdrawntile)) * step;
    return {left, top, left + displayed(tiles->tile_width(column), zoomlevel),
            top + displayed(tiles->tile_height(row), zoomlevel)};
}

void p_ImageSource::finish_tile(int number) {
    imaging::DibPtr dib = take_decode_result(result);
    if (!dib || !tiles) return;
    // Kept in the screen's format when that has fewer bits: less memory.
    if (imaging::DibBitCount(*dib) > screen_bits.load()) {
        if (imaging::DibPtr converted = imaging::DibTo16Bit(*dib)) dib = std::move(converted);
    }
    tiles->store(number, std::move(dib));
}

// Draws one tile where the last full drawing placed it: its own bitmap when
// it has one, else the matching part of the whole-image bitmap.
void p_ImageSource::draw_tile(imaging::DrawingTarget& target, DrawPoint origin, int number) {
    imaging::DibRect destination = tile_position(origin, number);
    const Tile& tile = tiles->tile(number);
    if (tile.bitmap) {
        imaging::DibDraw(*tile.bitmap, target, destination);
        return;
    }
    imaging::DibRect part = scaled(tiles->source_rect(number), wholescale);
    // Keep at least one pixel of a coarse whole image.
    part.right = std::min(std::max(part.right, part.left + 1), imaging::DibWidth(*wholebitmap));
    part.bottom = std::min(std::max(part.bottom, part.top + 1), imaging::DibHeight(*wholebitmap));
    if (part.left < part.right && part.top < part.bottom) imaging::DibDraw(*wholebitmap, target, destination, &part);
}

int p_ImageSource::draw(imaging::DrawingTarget& target, DrawPoint origin, const imaging::DibRect* view,
                        int finished_tile, bool keep_queue) {
    if (finished_tile >= 0) finish_decode();
    if (!wholebitmap) return P_FAILED;
    PaletteSelection palette(target, *wholebitmap);

    // Only the tile that just arrived, on top of the last full drawing.
    if (finished_tile >= 0 && firstdrawntile >= 0 && tiles) {
        if (finished_tile < tiles->count() && tiles->column(finished_tile) >= tiles->column(firstdrawntile) &&
            tiles->row(finished_tile) >= tiles->row(firstdrawntile) && tiles->tile(finished_tile).bitmap)
            draw_tile(target, origin, finished_tile);
        return P_OK;
    }

    imaging::DibSize full = size();
    imaging::DibRect area = view ? *view : imaging::DibRect{0, 0, full.width, full.height};
    area.left = std::max(area.left, 0);
    area.top = std::max(area.top, 0);
    area.right = std::min(area.right, full.width);
    area.bottom = std::min(area.bottom, full.height);
    if (area.left >= area.right || area.top >= area.bottom) return P_OK;

    if (!tiling || !tiles || wholescale >= zoomlevel || zoomlevel < kSmallestTiledZoom) {
        firstdrawntile = -1;
        if (tiles) tiles->clear_queue();
        imaging::DibRect destination{origin.x, origin.y,
                                     origin.x + displayed(area.right - area.left, zoomlevel),
                                     origin.y + displayed(area.bottom - area.top, zoomlevel)};
        imaging::DibRect part = scaled(area, wholescale);
        if (part.left < part.right && part.top < part.bottom)
            imaging::DibDraw(*wholebitmap, target, destination, &part);
        return P_OK;
    }

    if (!keep_queue) {
        firstdrawntile = -1;
        tiles->clear_queue();
    }
    int busy = state.load() != kStateIdle && requestkind >= 0 ? requestkind : -1;
    int required = required_tile_scale(zoomlevel);
    int first_column = area.left / kTileSide, last_column = (area.right - 1) / kTileSide;
    int first_row = area.top / kTileSide, last_row = (area.bottom - 1) / kTileSide;
    if (firstdrawntile < 0) {
        firstdrawntile = tiles->number(first_column, first_row);
        firsttileoffset = {-displayed(area.left - first_column * kTileSide, zoomlevel),
                           -displayed(area.top - first_row * kTileSide, zoomlevel)};
    }
    std::vector<int> used;
    for (int row = first_row; row <= last_row; ++row) {
        for (int column = first_column; column <= last_column; ++column) {
            int number = tiles->number(column, row);
            draw_tile(target, origin, number);
            const Tile& tile = tiles->tile(number);
            if (tile.bitmap && tile.scale >= required)
                used.push_back(number);
            else if (number != busy)
                tiles->enqueue(number);
        }
    }
    tiles->mark_used(used);
    return P_OK;
}

int p_ImageSource::next_tile(platform::MessageTarget* window) {
    if (!tiling || !tiles) return P_OK;
    finish_decode();
    if (state.load() == kStateRunning) return P_FAILED;
    // Tiles are read from the image file, which stays open while viewing.
    if (!is_open() || open_is_thumbnail) {
        if (is_open()) close();
        if (!open(false)) return P_NOT_OPEN;
    }
    int number = tiles->take_next();
    if (number < 0) return P_FAILED;
    int status = start_decode(number, required_tile_scale(zoomlevel), window, 0);
    if (status < 0) return P_FAILED;
    if (state.load() != kStateRunning) finish_decode();  // no window: decoded here
    return P_OK;
}

}  // namespace qelvio::decoding
