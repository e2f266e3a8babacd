#include "metadata/exif_tag_list.h"

#include <algorithm>

namespace qelvio::metadata {

int exif_auto_group(std::uint16_t tag) {
    if (tag > 45055) return kExifGroupGps;
    if (tag > 33433) return kExifGroupExif;
    return kExifGroupPrimary;
}

ExifTagList::Group* ExifTagList::group_list(int group) {
    return const_cast<Group*>(static_cast<const ExifTagList*>(this)->group_list(group));
}

const ExifTagList::Group* ExifTagList::group_list(int group) const {
    if (group >= 0 && group <= 2) return &groups_[group];
    return nullptr;
}

int ExifTagList::add(const ExifTag& entry, bool replace, int group) {
    if (group == kExifGroupAuto) group = exif_auto_group(entry.tag());
    Group* g = group_list(group);
    if (!g) return 0;
    auto pos = std::find_if(g->begin(), g->end(),
                            [&](const auto& e) { return e->tag() >= entry.tag(); });
    if (pos != g->end() && (*pos)->tag() == entry.tag()) {
        if (!replace) return 0;
        int ok = (*pos)->copy_from(entry);
        modified_ = true;
        return ok;
    }
    auto copy = std::make_unique<ExifTag>();
    if (!copy->copy_from(entry)) return 0;
    copy->list_ = this;
    g->insert(pos, std::move(copy));
    modified_ = true;
    return 1;
}

const ExifTag* ExifTagList::find(std::uint16_t tag, int group) const {
    if (group == kExifGroupAuto) group = exif_auto_group(tag);
    const Group* g = group_list(group);
    if (!g) return nullptr;
    for (const auto& e : *g)
        if (e->tag() == tag) return e.get();
    return nullptr;
}

ExifTag* ExifTagList::find(std::uint16_t tag, int group) {
    return const_cast<ExifTag*>(static_cast<const ExifTagList*>(this)->find(tag, group));
}

int ExifTagList::remove(std::uint16_t tag, int group) {
    if (group == kExifGroupAuto) group = exif_auto_group(tag);
    Group* g = group_list(group);
    if (!g) return 0;
    auto it = std::find_if(g->begin(), g->end(), [&](const auto& e) { return e->tag() == tag; });
    if (it == g->end()) return 0;
    g->erase(it);
    modified_ = true;
    return 1;
}

void ExifTagList::merge(const ExifTagList& other) {
    if (&other == this) return;
    for (auto& g : groups_) g.clear();
    for (int group = 0; group < 3; ++group)
        for (const auto& e : other.groups_[group]) add(*e, false, group);
    modified_ = true;
}

void ExifTagList::clear() {
    for (auto& g : groups_) g.clear();
    thumbnail_.clear();
    thumbnail_is_jpeg_ = false;
    modified_ = true;
}

std::size_t ExifTagList::size(int group) const {
    const Group* g = group_list(group);
    return g ? g->size() : 0;
}

const ExifTag* ExifTagList::at(int group, std::size_t index) const {
    const Group* g = group_list(group);
    return g && index < g->size() ? (*g)[index].get() : nullptr;
}

std::size_t ExifTagList::total_size() const {
    return groups_[0].size() + groups_[1].size() + groups_[2].size();
}

}  // namespace qelvio::metadata
