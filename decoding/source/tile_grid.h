// The tiles of one page for zoomed viewing of a large image: the full-size
// page cut into 128 x 128 pixel tiles (the last column and row narrower),
// each decoded on its own at the resolution the zoom needs; the order the
// tiles were last used in, which decides which lose their bitmaps when
// together they exceed the memory budget; and the queue of tiles waiting to
// be decoded. Used on the owner's thread only.
#pragma once

#include "imaging/dib.h"

#include <cstdint>
#include <vector>

namespace qelvio::decoding {

inline constexpr int kTileSide = 128;
inline constexpr std::size_t kTileQueueLimit = 255;

// Thousandths of full size a tile must be decoded at to look sharp at a
// zoom (also in thousandths).
int required_tile_scale(int zoom);

// A length in full-size pixels as shown at a zoom.
inline int displayed(int length, int zoom) {
    return static_cast<int>(static_cast<int64_t>(length) * zoom / 1000);
}

struct Tile {
    imaging::DibPtr bitmap;
    int scale = 0;  // thousandths of full size the bitmap was decoded at; 0 without one
};

class TileGrid {
public:
    // `budget`: bytes the decoded tiles may take together, by the estimate
    // width x height x scale / 1000 x 2 of each.
    TileGrid(int width, int height, uint64_t budget);

    int across() const { return across_; }
    int down() const { return down_; }
    int count() const { return across_ * down_; }
    int column(int number) const { return number % across_; }
    int row(int number) const { return number / across_; }
    int number(int column, int row) const { return row * across_ + column; }
    int tile_width(int column) const { return column == across_ - 1 ? last_width_ : kTileSide; }
    int tile_height(int row) const { return row == down_ - 1 ? last_height_ : kTileSide; }
    // The tile's rectangle in full-size pixels.
    imaging::DibRect source_rect(int number) const;

    const Tile& tile(int number) const { return tiles_[static_cast<std::size_t>(number)]; }

    // Keeps a tile's newly decoded bitmap, replacing the older one, and puts
    // the tile first in the history; then, while the tiles together exceed
    // the budget, the least recently used lose their bitmaps (this one too
    // when it alone is too large).
    void store(int number, imaging::DibPtr bitmap);
    // Moves tiles to the front of the history (in the order given, so the
    // last ends first).
    void mark_used(const std::vector<int>& numbers);
    // Tile numbers, most recently used first.
    const std::vector<int>& history() const { return history_; }
    uint64_t memory() const { return memory_; }

    // The queue of tiles to decode. Adding refuses a tile already waiting
    // and any tile once 255 wait.
    bool enqueue(int number);
    // The next tile to decode, or -1; the queue empties once all were taken.
    int take_next();
    void clear_queue();
    std::size_t queued() const { return queue_.size() - next_; }

private:
    uint64_t estimate(int number) const;
    void move_to_front(int number);

    int across_, down_;
    int last_width_, last_height_;
    uint64_t budget_;
    std::vector<Tile> tiles_;
    std::vector<int> history_;
    uint64_t memory_ = 0;
    std::vector<int> queue_;
    std::size_t next_ = 0;
};

}  // namespace qelvio::decoding
