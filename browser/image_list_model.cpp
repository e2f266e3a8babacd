#include "browser/image_list_model.h"

#include "platform/text.h"

#include <algorithm>
#include <cstdlib>

namespace qelvio::browser {
namespace {

int compare_folded(const std::u16string& a, const std::u16string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t x = text::fold_case(a[i]), y = text::fold_case(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

void ImageListModel::remove(int index) {
    if (!valid(index)) return;
    if (items_[index].state == kItemSelected) --selected_;
    items_.erase(items_.begin() + index);
    if (press_.index == index) press_.index = -1;
    else if (press_.index > index) --press_.index;
}

int ImageListModel::index_of_file(const p_filenode* file) const {
    for (int i = 0; i < count(); ++i)
        if (items_[i].file == file) return i;
    return -1;
}

std::vector<int> ImageListModel::selected_indices() const {
    std::vector<int> out;
    for (int i = 0; i < count(); ++i)
        if (items_[i].state == kItemSelected) out.push_back(i);
    return out;
}

int ImageListModel::next(int index, bool selected_only) const {
    for (int i = std::max(index + 1, 0); i < count(); ++i)
        if (!selected_only || items_[i].state == kItemSelected) return i;
    return -1;
}

int ImageListModel::previous(int index, bool selected_only) const {
    for (int i = std::min(index, count()) - 1; i >= 0; --i)
        if (!selected_only || items_[i].state == kItemSelected) return i;
    return -1;
}

void ImageListModel::select(int index, bool selected) {
    if (!valid(index)) return;
    int& state = items_[index].state;
    if (selected && state != kItemSelected) {
        state = kItemSelected;
        ++selected_;
    } else if (!selected && state != kItemUnselected) {
        if (state == kItemSelected) --selected_;
        state = kItemUnselected;
    }
}

void ImageListModel::select_all(bool selected) {
    for (ListItem& item : items_) item.state = selected ? kItemSelected : kItemUnselected;
    selected_ = selected ? count() : 0;
}

void ImageListModel::sort(int key, bool descending, const std::function<SortFacts(const ListItem&)>& facts) {
    struct Keyed {
        SortFacts facts;
        ListItem item;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(items_.size());
    for (const ListItem& item : items_) keyed.push_back({facts(item), item});
    // A strict weak order for every key: an item without a format name
    // cannot be compared with a named one, so those go last, and the
    // direction reverses the named ones only.
    auto less = [key, descending](const Keyed& a0, const Keyed& b0) {
        const Keyed& a = descending ? b0 : a0;
        const Keyed& b = descending ? a0 : b0;
        switch (key) {
        case kSortType: {
            const bool ae = a0.facts.format.empty(), be = b0.facts.format.empty();
            if (ae || be) return !ae && be;
            return compare_folded(a.facts.format, b.facts.format) < 0;
        }
        case kSortSize: return a.facts.size < b.facts.size;
        case kSortDate: return a.facts.seconds < b.facts.seconds;
        default: return compare_folded(a.facts.name, b.facts.name) < 0;
        }
    };
    std::stable_sort(keyed.begin(), keyed.end(), less);
    for (std::size_t i = 0; i < keyed.size(); ++i) items_[i] = keyed[i].item;
}

bool ImageListModel::press(int hit, int x, int y, bool control, bool icon_hit, int view_mode) {
    press_ = {};
    press_.down = true;
    press_.x = x;
    press_.y = y;
    press_.index = valid(hit) ? hit : -1;
    press_.view_mode = view_mode;
    band_active_ = false;
    if (icon_hit && press_.index >= 0) {
        press_.icon_hit = true;
        return false;
    }
    bool changed = false;
    if (press_.index < 0 || items_[press_.index].state != kItemSelected) {
        if (!control && selected_ > 0) {
            select_all(false);
            changed = true;
        }
        if (press_.index >= 0) {
            select(press_.index, true);
            press_.changed_selection = true;
            changed = true;
        }
    }
    return changed;
}

MoveResult ImageListModel::move(int x, int y, const std::function<bool(int, const ListRect&)>& meets) {
    if (!press_.down || press_.icon_hit || press_.dragging) return MoveResult::nothing;
    if (band_active_) {
        band_ = span_rect(press_.x, press_.y, x, y);
        return update_band(meets) ? MoveResult::band_changed : MoveResult::nothing;
    }
    if (std::abs(x - press_.x) <= kDragThreshold && std::abs(y - press_.y) <= kDragThreshold)
        return MoveResult::nothing;
    const bool grid = press_.view_mode == kViewThumbnails;
    if ((grid && press_.index < 0) || (!grid && press_.changed_selection)) {
        band_active_ = true;
        band_ = span_rect(press_.x, press_.y, x, y);
        update_band(meets);
        return MoveResult::band_started;
    }
    if (press_.index >= 0) {
        press_.dragging = true;
        return MoveResult::drag_started;
    }
    return MoveResult::nothing;
}

bool ImageListModel::update_band(const std::function<bool(int, const ListRect&)>& meets) {
    if (!band_active_) return false;
    bool changed = false;
    for (int i = 0; i < count(); ++i) {
        int& state = items_[i].state;
        if (state == kItemSelected) continue;
        const bool inside = meets(i, band_);
        if (inside && state == kItemUnselected) {
            state = kItemInBand;
            changed = true;
        } else if (!inside && state == kItemInBand) {
            state = kItemUnselected;
            changed = true;
        }
    }
    return changed;
}

bool ImageListModel::release(bool control) {
    if (!press_.down) return false;
    press_.down = false;
    bool changed = false;
    if (band_active_) {
        band_active_ = false;
        for (int i = 0; i < count(); ++i)
            if (items_[i].state == kItemInBand) {
                items_[i].state = kItemUnselected;
                select(i, true);
                changed = true;
            }
    }
    if (press_.icon_hit || press_.dragging) return changed;
    if (press_.index >= 0 && !press_.changed_selection) {
        if (control) {
            if (items_[press_.index].state == kItemSelected) {
                select(press_.index, false);
                changed = true;
            }
        } else {
            select_all(false);
            select(press_.index, true);
            changed = true;
        }
    }
    return changed;
}

}  // namespace qelvio::browser
