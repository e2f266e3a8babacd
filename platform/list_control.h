// ListControl: what the registry code needs of an editable drop-down list
// (a combo box): its entries, its edit text and switching redraw off while it
// is filled. The user interface's combo boxes implement it; PlainList is a
// plain in-memory one for the command line and for tests.
//
// Called on the thread that owns the control (the user-interface thread for
// widgets).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qelvio::platform {

class ListControl {
public:
    virtual ~ListControl() = default;

    virtual int count() const = 0;
    // Entry index (0 <= index < count()).
    virtual std::u16string item(int index) const = 0;
    // Inserts before index; index == count() appends.
    virtual void insert(int index, std::u16string_view text) = 0;
    virtual void remove(int index) = 0;
    virtual void clear() = 0;

    // The text in the edit field.
    virtual std::u16string edit_text() const = 0;
    virtual void set_edit_text(std::u16string_view text) = 0;

    // Switches redrawing off while the list is changed; switching it on
    // repaints the control.
    virtual void set_redraw(bool on) = 0;
};

// A list held in memory.
class PlainList : public ListControl {
public:
    std::vector<std::u16string> items;
    std::u16string text;
    bool redraw = true;
    int repaints = 0;

    int count() const override { return static_cast<int>(items.size()); }
    std::u16string item(int index) const override { return items.at(static_cast<std::size_t>(index)); }
    void insert(int index, std::u16string_view t) override {
        items.insert(items.begin() + index, std::u16string(t));
    }
    void remove(int index) override { items.erase(items.begin() + index); }
    void clear() override { items.clear(); }
    std::u16string edit_text() const override { return text; }
    void set_edit_text(std::u16string_view t) override { text = t; }
    void set_redraw(bool on) override {
        redraw = on;
        if (on) ++repaints;
    }
};

}  // namespace qelvio::platform
