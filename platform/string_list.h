// StringList: a growable array of owned 16-bit texts, used for multi-string
// registry values and for key and value enumerations. Room starts at 32
// entries and grows by 64 at a time. Not thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::platform {

class StringList {
public:
    StringList() { items_.reserve(32); }

    // Appends a copy of the text.
    void add(std::u16string_view text) {
        if (items_.size() == items_.capacity()) items_.reserve(items_.capacity() + 64);
        items_.emplace_back(text);
    }
    void clear() { items_.clear(); }

    std::size_t count() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    // Entry i; i must be below count().
    const std::u16string& operator[](std::size_t i) const { return items_[i]; }

    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }

private:
    std::vector<std::u16string> items_;
};

}  // namespace qelvio::platform
