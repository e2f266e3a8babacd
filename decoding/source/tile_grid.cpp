#include "decoding/source/tile_grid.h"

#include <algorithm>

namespace qelvio::decoding {

int required_tile_scale(int zoom) {
    if (zoom >= 750) return 1000;
    if (zoom >= 500) return 750;
    if (zoom >= 250) return 500;
    return 250;
}

namespace {

int tiles_for(int length) { return std::max(1, (length + kTileSide - 1) / kTileSide); }
int last_length(int length) { return length % kTileSide ? length % kTileSide : kTileSide; }

}  // namespace

TileGrid::TileGrid(int width, int height, uint64_t budget)
    : across_(tiles_for(width)),
      down_(tiles_for(height)),
      last_width_(last_length(width)),
      last_height_(last_length(height)),
      budget_(budget),
      tiles_(static_cast<std::size_t>(across_) * static_cast<std::size_t>(down_)) {}

imaging::DibRect TileGrid::source_rect(int number) const {
    int left = column(number) * kTileSide, top = row(number) * kTileSide;
    return {left, top, left + tile_width(column(number)), top + tile_height(row(number))};
}

uint64_t TileGrid::estimate(int number) const {
    uint64_t area = static_cast<uint64_t>(tile_width(column(number))) * static_cast<uint64_t>(tile_height(row(number)));
    return area * static_cast<uint64_t>(tile(number).scale) / 1000 * 2;
}

void TileGrid::move_to_front(int number) {
    auto found = std::find(history_.begin(), history_.end(), number);
    if (found != history_.end()) history_.erase(found);
    history_.insert(history_.begin(), number);
}

void TileGrid::store(int number, imaging::DibPtr bitmap) {
    if (number < 0 || number >= count() || !bitmap) return;
    Tile& kept = tiles_[static_cast<std::size_t>(number)];
    if (kept.bitmap) memory_ -= estimate(number);
    kept.scale = imaging::DibWidth(*bitmap) * 1000 / tile_width(column(number));
    kept.bitmap = std::move(bitmap);
    memory_ += estimate(number);
    move_to_front(number);
    while (memory_ > budget_ && !history_.empty()) {
        int oldest = history_.back();
        history_.pop_back();
        Tile& evicted = tiles_[static_cast<std::size_t>(oldest)];
        if (!evicted.bitmap) continue;
        memory_ -= estimate(oldest);
        evicted.bitmap.reset();
        evicted.scale = 0;
    }
}

void TileGrid::mark_used(const std::vector<int>& numbers) {
    for (int number : numbers) move_to_front(number);
}

bool TileGrid::enqueue(int number) {
    if (queue_.size() >= kTileQueueLimit) return false;
    if (std::find(queue_.begin() + static_cast<std::ptrdiff_t>(next_), queue_.end(), number) != queue_.end())
        return false;
    queue_.push_back(number);
    return true;
}

int TileGrid::take_next() {
    if (next_ >= queue_.size()) return -1;
    int number = queue_[next_++];
    if (next_ == queue_.size()) clear_queue();
    return number;
}

void TileGrid::clear_queue() {
    queue_.clear();
    next_ = 0;
}

}  // namespace qelvio::decoding
