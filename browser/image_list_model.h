// The image list's items and the rules that change them: selection by
// press, move and release (with control and the multi-select flag), the
// rubber band, and sorting by name, type, size or date in either
// direction. No widgets: the pane hit-tests, measures and draws, then tells
// this model what happened.
//
// User-interface thread only.
#pragma once

#include "browser/list_geometry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class p_filenode;

namespace qelvio::decoding {
class p_ImageSource;
}

namespace qelvio::browser {

// Item states.
inline constexpr int kItemUnselected = 0;
inline constexpr int kItemInBand = 1;  // drawn as selected, not yet selected
inline constexpr int kItemSelected = 2;

struct ListItem {
    p_filenode* file = nullptr;
    decoding::p_ImageSource* image = nullptr;
    int state = kItemUnselected;
    // Drawn as selected (in the band or selected).
    bool shown_selected() const { return state != kItemUnselected; }
};

// Sort keys (the setting sortmode).
inline constexpr int kSortName = 0;
inline constexpr int kSortType = 1;
inline constexpr int kSortSize = 2;
inline constexpr int kSortDate = 3;

// What a sort compares, read once per item before sorting.
struct SortFacts {
    std::u16string name;
    std::u16string format;  // empty when unknown
    int64_t size = 0;
    int64_t seconds = 0;  // file time in whole seconds
};

// What a move with the button down started.
enum class MoveResult { nothing, band_started, band_changed, drag_started };

class ImageListModel {
public:
    std::vector<ListItem>& items() { return items_; }
    const std::vector<ListItem>& items() const { return items_; }
    int count() const { return static_cast<int>(items_.size()); }
    int selected_count() const { return selected_; }
    bool is_selected(int index) const { return valid(index) && items_[index].state == kItemSelected; }

    void clear() {
        items_.clear();
        selected_ = 0;
        press_ = {};
        band_active_ = false;
    }
    void reserve(std::size_t n) { items_.reserve(n); }
    void add(p_filenode* file, decoding::p_ImageSource* image) { items_.push_back({file, image, kItemUnselected}); }
    // Removes an item; a selected one lowers the selected count.
    void remove(int index);
    int index_of_file(const p_filenode* file) const;
    // Indices of the selected items in list order.
    std::vector<int> selected_indices() const;
    // The next selected item after index (or the next at all), -1 at the end;
    // previous likewise.
    int next(int index, bool selected_only) const;
    int previous(int index, bool selected_only) const;

    void select(int index, bool selected);
    void select_all(bool selected);

    // ---- sorting ----
    // Sorts by key (0 name, 1 type, 2 size, 3 date); descending reverses it.
    // facts(item) is asked once per item. Names compare without regard to
    // case, format names likewise; items with an empty format name go after
    // all named ones (they compare equal among themselves). Equal keys keep
    // their previous order.
    void sort(int key, bool descending, const std::function<SortFacts(const ListItem&)>& facts);

    // ---- pointer ----
    // A press on item hit (-1 for none). An icon hit changes no selection.
    // Returns true when the selection changed.
    bool press(int hit, int x, int y, bool control, bool icon_hit, int view_mode);
    // A move with the button down to (x, y). meets(i) tells whether item i's
    // rectangle meets the band; it is asked only while a band is active.
    MoveResult move(int x, int y, const std::function<bool(int, const ListRect&)>& meets);
    // Re-evaluates the band (after a scroll moved the content under it).
    bool update_band(const std::function<bool(int, const ListRect&)>& meets);
    // Release: ends a band (its items become selected), or applies the tap
    // rules. Returns true when the selection changed.
    bool release(bool control);

    bool button_down() const { return press_.down; }
    bool band_active() const { return band_active_; }
    const ListRect& band() const { return band_; }
    int pressed_index() const { return press_.index; }
    bool press_hit_icon() const { return press_.icon_hit; }
    bool dragging() const { return press_.dragging; }

private:
    bool valid(int index) const { return index >= 0 && index < count(); }

    struct Press {
        bool down = false;
        int x = 0, y = 0;
        int index = -1;
        bool changed_selection = false;
        bool icon_hit = false;
        bool dragging = false;
        int view_mode = kViewThumbnails;
    };
    std::vector<ListItem> items_;
    int selected_ = 0;
    Press press_;
    bool band_active_ = false;
    ListRect band_;
};

}  // namespace qelvio::browser
