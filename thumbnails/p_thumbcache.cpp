#include "thumbnails/p_thumbcache.h"

#include "decoding/source/jpeg_writer.h"
#include "platform/file_system.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace qelvio::thumbnails {
namespace {

constexpr uint16_t kIndexVersion = 2;
constexpr std::size_t kNameUnits = 12;  // stored name units, the terminator included

char16_t fold(char16_t c) { return text::fold_case(c); }

// Thumbnail file names: the cache's own "olm*" files in any letter case.
bool same_name(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

bool name_starts_with(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && same_name(text.substr(0, prefix.size()), prefix);
}

// A name in the form the cache compares names in (letters folded).
std::u16string folded(std::u16string_view name) {
    std::u16string out(name);
    for (char16_t& c : out) c = fold(c);
    return out;
}

// Image locators compare as the file system compares names: exactly.
bool same_path(std::u16string_view a, std::u16string_view b) { return a == b; }

// The locator itself, or one inside it (a folder's locator and its files).
bool is_within(std::u16string_view path, std::u16string_view prefix) {
    return path.size() >= prefix.size() && same_path(path.substr(0, prefix.size()), prefix) &&
           (path.size() == prefix.size() || path[prefix.size()] == u'\\');
}

// A stored thumbnail's name: "olm..." without any path separator, so that a
// damaged index can never make a save delete a file elsewhere.
bool valid_name(std::u16string_view name) {
    return name.size() > 3 && name_starts_with(name, u"olm") &&
           name.find_first_of(u"\\/") == std::u16string_view::npos && name != u"." && name != u"..";
}

// The modification time of a locator's file, read through the platform
// layer (safe on any thread); nullopt when it cannot be read.
std::optional<uint64_t> file_time_of(const p_string& locator) {
    p_irl irl;
    irl.p_string::operator=(locator);
    p_string scheme, path;
    if (!irl.get(&scheme, nullptr, &path) || scheme.cmpi(u"file") != 0) return std::nullopt;
    return platform::file_time(path.view());
}

void put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

p_string p_thumbcache::Record::current_path() const { return image ? p_string(image->locator()) : path; }

p_thumbcache::p_thumbcache(std::u16string thumbnail_folder, decoding::ImageSourceLimits image_limits,
                           std::size_t stored_count)
    : folder(std::move(thumbnail_folder)), limits(image_limits), stored(std::max<std::size_t>(stored_count, 1)) {
    while (folder.size() > 1 && folder.back() == u'\\') folder.pop_back();
    load();
}

p_thumbcache::~p_thumbcache() { join_save_thread(); }

std::u16string p_thumbcache::file_of(const char16_t* name) const { return folder + u"\\" + name; }

void p_thumbcache::load() {
    std::unordered_set<std::u16string> names;
    uint32_t file = platform::open_file(file_of(u"index"), platform::OpenMode::read_existing);
    if (!file) return;
    auto read_exact = [&](void* into, uint32_t n) { return platform::read_file(file, into, n) == n; };
    uint8_t version[2];
    if (read_exact(version, 2) && (version[0] | (version[1] << 8)) == kIndexVersion) {
        for (;;) {
            uint8_t count[4];
            if (!read_exact(count, 4)) break;
            uint32_t n = count[0] | (count[1] << 8) | (count[2] << 16) | (uint32_t{count[3]} << 24);
            // A path longer than an entry may hold means the rest is damaged.
            if (n == 0 || n > kMaxIndexPath) break;
            std::vector<uint8_t> units(2 * n);
            uint8_t name[2 * kNameUnits], time[8];
            if (!read_exact(units.data(), 2 * n) || !read_exact(name, sizeof name) || !read_exact(time, 8)) break;
            Record record;
            std::u16string path;
            for (uint32_t i = 0; i < n; ++i) path += static_cast<char16_t>(units[2 * i] | (units[2 * i + 1] << 8));
            record.path = path.c_str();
            for (std::size_t i = 0; i < kNameUnits; ++i)
                record.name[i] = static_cast<char16_t>(name[2 * i] | (name[2 * i + 1] << 8));
            record.name[kNameUnits] = 0;
            // A damaged index may name one file twice: only the first
            // record keeps it, so no image shows another's thumbnail.
            if (!valid_name(record.name) || !names.insert(folded(record.name)).second) record.name[0] = 0;
            for (int i = 7; i >= 0; --i) record.time = (record.time << 8) | time[i];
            list.push_back(std::move(record));
        }
    }
    platform::close_file(file);
    rebuild_index();
}

p_irl p_thumbcache::thumbnail_locator(Record& record) {
    p_irl locator;
    if (!record.name[0]) return locator;
    if (record.time != 0) {
        auto now = file_time_of(record.current_path());
        if (now && *now != record.time) {  // changed since its thumbnail was stored
            record.name[0] = 0;
            return locator;
        }
    }
    return stored_locator(record.name);
}

p_irl p_thumbcache::stored_locator(const char16_t* name) const {
    p_irl locator;
    locator.set(u"file", nullptr, file_of(name).c_str());
    return locator;
}

void p_thumbcache::release_at_window() {
    if (list.size() <= kWindow) return;
    Record& record = *std::next(list.begin(), kWindow);
    if (!record.image) return;
    // A thumbnail made since the last save, for a record whose thumbnail
    // will be stored, waits beside the record for that save.
    if (kWindow < stored && !record.name[0] && !record.image->thumbnail_from_store()) {
        uint64_t made_at = 0;
        if (imaging::DibPtr thumbnail = record.image->copy_thumbnail(&made_at)) {
            record.pending = std::move(thumbnail);
            record.pending_time = made_at;
        }
    }
    record.image->release(decoding::kReleaseEverything);
}

decoding::p_ImageSource* p_thumbcache::getimage(const p_string& path) {
    std::lock_guard guard(lock);
    auto found = index.find(std::u16string(path.view()));
    // An entry whose record no longer has that path (its image was given
    // another locator directly) is not trusted: the index is made again.
    if (found != index.end() && !same_path(found->second->current_path().view(), path.view())) {
        rebuild_index();
        found = index.find(std::u16string(path.view()));
    }
    p_irl locator;
    locator.p_string::operator=(path);
    if (found == index.end()) {
        list.emplace_front();
        list.front().path = path;
        list.front().image = std::make_unique<decoding::p_ImageSource>(locator, limits);
        index[std::u16string(path.view())] = list.begin();
        release_at_window();
        return list.front().image.get();
    }
    auto it = found->second;
    const bool was_in_window = within_window(it);
    if (!it->image) it->image = std::make_unique<decoding::p_ImageSource>(locator, limits);
    it->image->set_thumbnail_locator(thumbnail_locator(*it));
    list.splice(list.begin(), list, it);
    if (!was_in_window) release_at_window();
    return list.front().image.get();
}

bool p_thumbcache::within_window(std::list<Record>::const_iterator it) const {
    std::size_t position = 0;
    for (auto walk = list.cbegin(); walk != list.cend() && position < kWindow; ++walk, ++position)
        if (walk == it) return true;
    return false;
}

void p_thumbcache::rebuild_index() {
    index.clear();
    index.reserve(list.size());
    for (auto it = list.begin(); it != list.end(); ++it) index.emplace(std::u16string(it->current_path().view()), it);
}

void p_thumbcache::forget(const p_irl& path) {
    std::lock_guard guard(lock);
    for (Record& record : list) {
        if (!is_within(record.current_path().view(), path.view())) continue;
        if (record.image) {
            record.image->release(decoding::kReleaseEverything);
            record.image->set_thumbnail_locator(p_irl());
        }
        record.name[0] = 0;
        record.pending.reset();
    }
}

void p_thumbcache::repath(const p_irl& from, const p_irl& to) {
    std::lock_guard guard(lock);
    for (Record& record : list) {
        p_string current = record.current_path();
        // Only the locator itself and what lies inside it: renaming "a" must
        // not touch "ab.jpg".
        if (!is_within(current.view(), from.view())) continue;
        std::u16string renamed(to.view());
        renamed += current.view().substr(from.len());
        record.path = renamed.c_str();
        if (record.image) {
            p_irl locator;
            locator.p_string::operator=(record.path);
            record.image->set_locator(locator);
        }
    }
    rebuild_index();
}

std::unordered_set<std::u16string> p_thumbcache::names_in_use() const {
    std::unordered_set<std::u16string> names;
    for (const Record& r : list)
        if (r.name[0]) names.insert(folded(r.name));
    return names;
}

int p_thumbcache::run_pass(bool write_thumbnails) {
    platform::create_folder(folder);  // an existing folder is fine

    // Trim: nothing from the stored count on keeps a stored thumbnail.
    std::vector<Record*> records;
    {
        std::lock_guard guard(lock);
        std::size_t position = 0;
        for (Record& record : list) {
            if (position++ >= stored) {
                if (record.name[0]) platform::delete_file(file_of(record.name));
                record.name[0] = 0;
                record.pending.reset();
            }
            records.push_back(&record);  // records are never removed, so these stay valid
        }
    }

    if (write_thumbnails) {
        int counter = 1;
        std::unordered_set<std::u16string> taken;
        {
            std::lock_guard guard(lock);
            taken = names_in_use();
        }
        for (Record* record : records) {
            imaging::DibPtr thumbnail;
            std::u16string target;
            {
                std::lock_guard guard(lock);
                // The image could not use its stored file (damaged): that
                // record takes a new one, and the sweep removes the old.
                if (record->name[0] && record->image &&
                    record->image->rejected_thumbnail_file() == stored_locator(record->name).view())
                    record->name[0] = 0;
                if (!record->name[0] && !stop_requested) {
                    for (;; ++counter) {
                        std::u16string name = u"OLM" + text::to_utf16(std::to_string(counter)) + u".jpg";
                        if (!taken.count(folded(name)) && !platform::get_attributes(file_of(name.c_str()))) {
                            taken.insert(folded(name));
                            std::copy(name.begin(), name.end(), record->name);
                            record->name[name.size()] = 0;
                            ++counter;
                            break;
                        }
                    }
                }
                if (!record->name[0]) continue;  // a stop came before it got a name
                if (platform::get_attributes(file_of(record->name))) {
                    record->pending.reset();  // already stored
                    continue;
                }
                uint64_t made_at = 0;
                if (!stop_requested && record->image) thumbnail = record->image->copy_thumbnail(&made_at);
                // A stopped pass keeps a waiting thumbnail for the next save.
                if (!stop_requested) {
                    if (!thumbnail && record->pending) {
                        thumbnail = std::move(record->pending);
                        made_at = record->pending_time;
                    }
                    record->pending.reset();
                }
                auto now = thumbnail ? file_time_of(record->current_path()) : std::nullopt;
                if (!thumbnail || !now || *now != made_at) {
                    record->name[0] = 0;  // nothing current to store
                    continue;
                }
                target = file_of(record->name);
            }
            // Encoded outside the lock: the user-interface thread goes on.
            if (decoding::write_jpeg_bitmap(*thumbnail, target, decoding::kThumbnailQuality) < 0) {
                std::lock_guard guard(lock);
                platform::delete_file(target);
                if (file_of(record->name) == target) record->name[0] = 0;
            }
        }
    }

    // Sweep: "olm*" files that no record names are stale.
    if (auto entries = platform::list_folder(folder, false)) {
        std::lock_guard guard(lock);
        const std::unordered_set<std::u16string> names = names_in_use();
        for (const platform::FolderEntry& e : *entries)
            if (!e.attributes.directory && name_starts_with(e.name, u"olm") && !names.count(folded(e.name)))
                platform::delete_file(file_of(e.name.c_str()));
    }

    // The index: the records up to the stored count, head first.
    std::vector<uint8_t> index;
    put(index, kIndexVersion, 2);
    {
        std::lock_guard guard(lock);
        std::size_t position = 0;
        for (Record& record : list) {
            if (position++ >= stored) break;
            if (record.image) record.path = record.image->locator();
            if (record.path.isempty() || record.path.len() > kMaxIndexPath) continue;  // cannot be stored
            put(index, record.path.len(), 4);
            for (char16_t c : record.path.view()) put(index, c, 2);
            for (std::size_t i = 0; i < kNameUnits; ++i) put(index, i < 12 && record.name[i] ? record.name[i] : 0, 2);
            record.time = file_time_of(record.path).value_or(0);
            put(index, record.time, 8);
        }
    }
    put(index, 0, 4);
    // Written beside the index and renamed over it: a crash never leaves a
    // half-written index.
    std::u16string temporary = file_of(u"index.new");
    uint32_t file = platform::open_file(temporary, platform::OpenMode::write_truncate);
    bool written = file && platform::write_file(file, index.data(), static_cast<uint32_t>(index.size())) ==
                               static_cast<int64_t>(index.size());
    if (file && !platform::close_file(file)) written = false;
    if (written && platform::replace_file(temporary, file_of(u"index"))) return P_OK;
    platform::delete_file(temporary);
    platform::delete_file(file_of(u"index"));
    return P_FAILED;
}

void p_thumbcache::join_save_thread() {
    if (save_thread.joinable()) save_thread.join();
}

int p_thumbcache::save(bool write_thumbnails, bool in_background) {
    join_save_thread();
    if (!write_thumbnails) return run_pass(false);
    stop_requested = false;
    if (!in_background) return run_pass(true);
    try {
        save_thread = std::thread([this] { run_pass(true); });
    } catch (const std::system_error&) {
        return run_pass(true);
    }
    return P_OK;
}

void p_thumbcache::stopsave() {
    if (!save_thread.joinable()) return;
    stop_requested = true;
    save_thread.join();
    stop_requested = false;
}

std::vector<p_thumbcache::RecordView> p_thumbcache::records() const {
    std::lock_guard guard(lock);
    std::vector<RecordView> out;
    for (const Record& r : list) out.push_back({std::u16string(r.current_path().view()), r.name, r.time, r.image.get()});
    return out;
}

}  // namespace qelvio::thumbnails
