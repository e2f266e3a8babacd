#include "metadata/exif_update.h"

#include "metadata/annotation.h"
#include "metadata/jpeg_segment_editor.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace qelvio::metadata {
namespace {

constexpr std::size_t kTiffStart = 6;  // after "Exif\0\0"
constexpr std::uint16_t kInteropPointer = 40965;
constexpr std::uint16_t kStripOffsets = 273, kStripByteCounts = 279;
constexpr std::uint16_t kThumbnailOffset = 513, kThumbnailLength = 514;

struct Range {
    std::uint64_t start, end;
    bool overlaps(const Range& o) const { return start < o.end && o.start < end; }
};

// One 12-byte entry as the file has it.
struct RawEntry {
    std::uint32_t at = 0;  // position of the entry in the TIFF data
    std::uint16_t tag = 0, type = 0;
    std::uint32_t count = 0;
    std::uint64_t bytes = 0;         // count × type size
    std::uint32_t value_offset = 0;  // where the values are, when bytes > 4
    bool model = false;              // the reader keeps it as a list entry
    bool pointer = false;            // an Exif or GPS pointer of the primary directory
    bool out_of_line() const { return bytes > 4; }
};

struct RawDirectory {
    bool present = false;
    std::uint32_t offset = 0;
    std::vector<RawEntry> entries;
    std::uint32_t next = 0;  // the next directory's offset
    std::uint64_t extent() const { return 2 + 12 * std::uint64_t{entries.size()} + 4; }
    Range range() const { return {offset, offset + extent()}; }
};

// An entry of a directory being written: either a raw entry copied (with
// its 4 value bytes replaced when `pointer_value` is set), or an edited one.
struct OutEntry {
    const RawEntry* raw = nullptr;
    const ExifTag* edited = nullptr;
    std::uint16_t tag = 0;
    bool has_pointer_value = false;
    std::uint32_t pointer_value = 0;
    const RawEntry* replaced = nullptr;  // the raw entry whose place an edited value may reuse
};

bool same_values(const ExifTag& a, const ExifTag& b) {
    return a.type() == b.type() && a.count() == b.count() && a.byte_size() == b.byte_size() &&
           (a.byte_size() == 0 || std::memcmp(a.value_address(), b.value_address(), a.byte_size()) == 0);
}

class Patcher {
public:
    Patcher(std::vector<std::uint8_t>& payload, bool big) : out_(payload), big_(big) {}

    std::uint64_t size() const { return out_.size() - kTiffStart; }
    bool fits(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size() && length <= size() - offset;
    }
    std::uint8_t* at(std::uint64_t t) { return out_.data() + kTiffStart + t; }
    std::uint16_t u16(std::uint64_t t) const {
        const std::uint8_t* p = out_.data() + kTiffStart + t;
        return big_ ? static_cast<std::uint16_t>(p[0] << 8 | p[1]) : static_cast<std::uint16_t>(p[1] << 8 | p[0]);
    }
    std::uint32_t u32(std::uint64_t t) const {
        const std::uint8_t* p = out_.data() + kTiffStart + t;
        return big_ ? std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3]
                    : std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
    }
    void put(std::uint64_t t, std::uint64_t v, unsigned width) {
        std::uint8_t* p = at(t);
        for (unsigned i = 0; i < width; ++i) p[big_ ? width - 1 - i : i] = static_cast<std::uint8_t>(v >> (8 * i));
    }

    // Reads a directory's raw entries the way the reader reads them.
    bool parse(std::uint32_t offset, bool primary, RawDirectory& d) const {
        if (!fits(offset, 2)) return false;
        std::uint32_t n = u16(offset);
        if (!fits(std::uint64_t{offset} + 2, 12ull * n)) return false;
        d.present = true;
        d.offset = offset;
        for (std::uint32_t i = 0; i < n; ++i) {
            RawEntry e;
            e.at = offset + 2 + 12 * i;
            e.tag = u16(e.at);
            e.type = u16(e.at + 2);
            e.count = u32(e.at + 4);
            std::uint32_t unit = exif_type_size(e.type);
            e.bytes = std::uint64_t{e.count} * unit;
            e.model = unit != 0;
            if (e.out_of_line()) {
                e.value_offset = u32(e.at + 8);
                if (!fits(e.value_offset, e.bytes)) e.model = false;
            }
            if (primary && (e.tag == kExifIfdPointer || e.tag == kGpsIfdPointer)) {
                e.pointer = true;
                e.model = false;
            }
            d.entries.push_back(e);
        }
        std::uint64_t next_at = std::uint64_t{offset} + 2 + 12ull * n;
        d.next = fits(next_at, 4) ? u32(next_at) : 0;
        return true;
    }

    // The directory offset a pointer entry holds, as the reader takes it.
    bool pointer_target(const RawEntry& e, std::uint32_t& offset) const {
        if (e.count < 1 || e.out_of_line()) return false;
        if (e.type == kExifLong || e.type == kExifSLong) offset = u32(e.at + 8);
        else if (e.type == kExifShort) offset = u16(e.at + 8);
        else return false;
        return true;
    }

    // Room for `length` bytes after the end, at an even offset as TIFF
    // wants; returns where.
    std::uint64_t append(std::uint64_t length) {
        if (out_.size() & 1) out_.push_back(0);
        std::uint64_t t = size();
        out_.resize(out_.size() + static_cast<std::size_t>(length), 0);
        return t;
    }

    // Zeroes the part of the range inside the payload (a directory's
    // next-directory field may lie past the end of a truncated one).
    void zero(const Range& r) {
        std::uint64_t end = std::min(r.end, size());
        if (r.start < end) std::memset(at(r.start), 0, static_cast<std::size_t>(end - r.start));
    }

    // An edited entry's values in the payload's byte order.
    void encode(const ExifTag& e, std::uint8_t* dst) const {
        unsigned unit = 1;
        switch (e.type()) {
            case kExifShort: case kExifSShort: unit = 2; break;
            case kExifLong: case kExifSLong: case kExifRational: case kExifSRational: case kExifFloat: unit = 4; break;
            case kExifDouble: unit = 8; break;
            default: break;
        }
        const std::uint8_t* src = e.value_address();
        for (std::size_t i = 0; i + unit <= e.byte_size(); i += unit) {
            std::uint64_t v = 0;
            if (unit == 1) v = src[i];
            else if (unit == 2) { std::uint16_t x; std::memcpy(&x, src + i, 2); v = x; }
            else if (unit == 4) { std::uint32_t x; std::memcpy(&x, src + i, 4); v = x; }
            else std::memcpy(&v, src + i, 8);
            for (unsigned b = 0; b < unit; ++b)
                dst[i + (big_ ? unit - 1 - b : b)] = static_cast<std::uint8_t>(v >> (8 * b));
        }
    }

private:
    std::vector<std::uint8_t>& out_;
    bool big_;
};

// What changed in one group: tag -> its new entry, or null when removed.
using Edits = std::map<std::uint16_t, const ExifTag*>;

Edits group_edits(const ExifTagList& before, const ExifTagList& after, int group) {
    Edits edits;
    for (std::size_t i = 0; i < after.size(group); ++i) {
        const ExifTag* n = after.at(group, i);
        if (after.find(n->tag(), group) != n) continue;  // a later entry of the same tag
        const ExifTag* o = before.find(n->tag(), group);
        if (!o || !same_values(*o, *n)) edits[n->tag()] = n;
    }
    for (std::size_t i = 0; i < before.size(group); ++i) {
        const ExifTag* o = before.at(group, i);
        if (!after.find(o->tag(), group)) edits[o->tag()] = nullptr;
    }
    return edits;
}

class Update {
public:
    Update(std::vector<std::uint8_t>& payload, bool big) : p_(payload, big) {}

    int run(const ExifTagList& before, const ExifTagList& after) {
        for (int g = 0; g < 3; ++g) edits_[g] = group_edits(before, after, g);
        if (edits_[0].empty() && edits_[1].empty() && edits_[2].empty()) return kExifUnchanged;
        if (!parse_all()) return kExifCannotUpdate;
        save_entries();
        for (int g = 0; g < 3; ++g) plan(g);
        if (!protect_and_clear()) return kExifCannotUpdate;
        // The sub-directories first: where they land goes into the primary one.
        for (int g : {1, 2}) {
            if (!edits_[g].empty() || !dirs_[g].present) write_group(g);
        }
        write_group(0);
        return kExifUpdated;
    }

private:
    bool parse_all() {
        std::uint32_t first = p_.u32(4);
        if (!p_.parse(first, true, dirs_[0])) return false;
        bool followed[3] = {};
        for (std::size_t i = 0; i < dirs_[0].entries.size(); ++i) {
            const RawEntry& e = dirs_[0].entries[i];
            if (!e.pointer) continue;
            int g = e.tag == kExifIfdPointer ? 1 : 2;
            std::uint32_t offset = 0;
            if (followed[g] || !p_.pointer_target(e, offset)) continue;
            followed[g] = true;
            pointer_index_[g] = static_cast<int>(i);
            p_.parse(offset, false, dirs_[g]);
        }
        // Directories nothing here edits, read only to keep their bytes.
        if (dirs_[1].present)
            for (const RawEntry& e : dirs_[1].entries)
                if (e.tag == kInteropPointer && e.model && !e.out_of_line()) {
                    p_.parse(p_.u32(e.at + 8), false, others_.emplace_back());
                    break;
                }
        if (dirs_[0].next) p_.parse(dirs_[0].next, false, others_.emplace_back());
        return true;
    }

    // The new entry list of group g.
    void plan(int g) {
        std::vector<OutEntry>& list = out_[g];
        std::map<std::uint16_t, bool> placed;
        for (const RawEntry& e : dirs_[g].entries) {
            // An entry whose values lie past the end of a truncated payload
            // points at nothing; kept, it would point at what is appended.
            if (!e.pointer && e.out_of_line() && !p_.fits(e.value_offset, e.bytes)) continue;
            auto edit = e.pointer ? edits_[g].end() : edits_[g].find(e.tag);
            if (edit == edits_[g].end()) {
                list.push_back({&e, nullptr, e.tag});
                continue;
            }
            // An edited or removed tag: its old values go, every copy of it.
            if (e.out_of_line() && p_.fits(e.value_offset, e.bytes))
                cleared_.push_back({e.value_offset, e.value_offset + e.bytes});
            if (edit->second && !placed[e.tag]) {
                placed[e.tag] = true;
                list.push_back({nullptr, edit->second, e.tag, false, 0, e.model ? &e : nullptr});
            }
        }
        for (const auto& [edited_tag, entry] : edits_[g]) {
            std::uint16_t tag = edited_tag;
            if (!entry || placed[tag]) continue;
            auto pos = std::find_if(list.begin(), list.end(), [&](const OutEntry& o) { return o.tag > tag; });
            list.insert(pos, {nullptr, entry, tag});
        }
    }

    // Marks what must stay (directories, kept values, the thumbnail) and
    // zeroes the old values that went, unless something still uses them.
    bool protect_and_clear() {
        auto keep_dir = [&](const RawDirectory& d, const std::vector<OutEntry>* kept) {
            if (!d.present) return;
            kept_.push_back(d.range());
            for (const RawEntry& e : d.entries) {
                bool still = !kept || std::any_of(kept->begin(), kept->end(),
                                                  [&](const OutEntry& o) { return o.raw == &e; });
                if (still && e.out_of_line() && p_.fits(e.value_offset, e.bytes))
                    kept_.push_back({e.value_offset, e.value_offset + e.bytes});
            }
        };
        for (int g = 0; g < 3; ++g) keep_dir(dirs_[g], &out_[g]);
        for (const RawDirectory& d : others_) {
            keep_dir(d, nullptr);
            keep_data_blocks(d);
        }
        // A directory rewritten in place must not overlap anything else.
        for (int g = 0; g < 3; ++g) {
            if (!dirs_[g].present || !changes(g)) continue;
            Range own = dirs_[g].range();
            for (const Range& k : kept_)
                if (!(k.start == own.start && k.end == own.end) && own.overlaps(k)) return false;
        }
        for (const Range& c : cleared_)
            if (!overlaps_kept(c)) p_.zero(c);
        return true;
    }

    // The thumbnail's bytes and any strips the thumbnail directory points to.
    void keep_data_blocks(const RawDirectory& d) {
        auto value = [&](std::uint16_t tag, std::uint32_t index, std::uint32_t& v) {
            for (const RawEntry& e : d.entries) {
                if (e.tag != tag || !e.model || index >= e.count) continue;
                std::uint64_t from = e.out_of_line() ? e.value_offset : e.at + 8;
                if (e.type == kExifShort) v = p_.u16(from + 2ull * index);
                else if (e.type == kExifLong) v = p_.u32(from + 4ull * index);
                else return false;
                return true;
            }
            return false;
        };
        std::uint32_t start = 0, length = 0;
        if (value(kThumbnailOffset, 0, start) && value(kThumbnailLength, 0, length))
            kept_.push_back({start, std::uint64_t{start} + length});
        for (std::uint32_t i = 0; i < 4096 && value(kStripOffsets, i, start) && value(kStripByteCounts, i, length); ++i)
            kept_.push_back({start, std::uint64_t{start} + length});
    }

    bool overlaps_kept(const Range& r) const {
        return std::any_of(kept_.begin(), kept_.end(), [&](const Range& k) { return r.overlaps(k); });
    }

    bool changes(int g) const { return !edits_[g].empty() || moved_[g]; }

    // Writes group g's directory: where it was when it does not grow,
    // otherwise after the end, then points the header or the primary
    // directory at it.
    void write_group(int g) {
        std::vector<OutEntry>& list = out_[g];
        RawDirectory& d = dirs_[g];
        if (!d.present && list.empty()) return;
        if (g == 0) {
            // The pointers follow moved or new sub-directories.
            for (int sub : {1, 2}) {
                if (!moved_[sub]) continue;
                std::uint16_t tag = sub == 1 ? kExifIfdPointer : kGpsIfdPointer;
                if (pointer_index_[sub] >= 0) {
                    const RawEntry* raw = &d.entries[static_cast<std::size_t>(pointer_index_[sub])];
                    for (OutEntry& o : list)
                        if (o.raw == raw) o.has_pointer_value = true, o.pointer_value = new_offset_[sub];
                } else {
                    OutEntry o{nullptr, nullptr, tag, true, new_offset_[sub]};
                    auto pos = std::find_if(list.begin(), list.end(), [&](const OutEntry& e) { return e.tag > tag; });
                    list.insert(pos, o);
                }
            }
            if (edits_[0].empty() && !moved_[1] && !moved_[2]) return;
        }
        std::uint64_t extent = 2 + 12 * std::uint64_t{list.size()} + 4;
        std::uint64_t offset;
        if (d.present && list.size() <= d.entries.size() && p_.fits(d.offset, d.extent())) {
            offset = d.offset;
            p_.zero(d.range());
        } else {
            if (d.present && !overlaps_kept_other(d.range())) p_.zero(d.range());
            offset = p_.append(extent);
            moved_[g] = true;
            new_offset_[g] = static_cast<std::uint32_t>(offset);
        }
        p_.put(offset, list.size(), 2);
        for (std::size_t i = 0; i < list.size(); ++i) write_entry(offset + 2 + 12 * i, list[i]);
        p_.put(offset + 2 + 12 * list.size(), d.present ? d.next : 0, 4);
        if (g == 0 && moved_[0]) p_.put(4, offset, 4);
    }

    bool overlaps_kept_other(const Range& own) const {
        for (const Range& k : kept_)
            if (!(k.start == own.start && k.end == own.end) && own.overlaps(k)) return true;
        return false;
    }

    void write_entry(std::uint64_t at, const OutEntry& o) {
        if (o.raw) {
            // Copied as the file has it (the source bytes are untouched: a
            // directory only moves to the end or is rewritten from a copy).
            std::memcpy(p_.at(at), raw_bytes(*o.raw).data(), 12);
            if (o.has_pointer_value) {
                if (o.raw->type == kExifShort) {
                    p_.put(at + 8, o.pointer_value, 2);
                } else {
                    p_.put(at + 2, kExifLong, 2);
                    p_.put(at + 8, o.pointer_value, 4);
                }
            }
            return;
        }
        if (!o.edited) {  // a new pointer
            p_.put(at, o.tag, 2);
            p_.put(at + 2, kExifLong, 2);
            p_.put(at + 4, 1, 4);
            p_.put(at + 8, o.pointer_value, 4);
            return;
        }
        const ExifTag& e = *o.edited;
        p_.put(at, e.tag(), 2);
        p_.put(at + 2, e.type(), 2);
        p_.put(at + 4, e.count(), 4);
        std::size_t n = e.byte_size();
        if (n <= 4) {
            std::memset(p_.at(at + 8), 0, 4);
            p_.encode(e, p_.at(at + 8));
            return;
        }
        // The old place when the new values fit it and nothing else uses it.
        std::uint64_t where;
        const RawEntry* old = o.replaced;
        if (old && old->out_of_line() && n <= old->bytes && (old->value_offset & 1) == 0 &&
            !overlaps_kept({old->value_offset, old->value_offset + old->bytes})) {
            where = old->value_offset;
        } else {
            where = p_.append(n);
        }
        p_.put(at + 8, where, 4);
        p_.encode(e, p_.at(where));
    }

    // The 12 bytes of a raw entry as they were before any change.
    const std::vector<std::uint8_t>& raw_bytes(const RawEntry& e) const {
        return saved_.at(e.at);
    }

    // Keeps a copy of every raw entry before the first write.
    void save_entries() {
        auto save = [&](const RawDirectory& d) {
            for (const RawEntry& e : d.entries)
                saved_[e.at] = std::vector<std::uint8_t>(p_.at(e.at), p_.at(e.at) + 12);
        };
        for (const RawDirectory& d : dirs_) save(d);
    }

private:
    Patcher p_;
    Edits edits_[3];
    RawDirectory dirs_[3];
    std::vector<RawDirectory> others_;
    int pointer_index_[3] = {-1, -1, -1};
    std::vector<OutEntry> out_[3];
    std::vector<Range> cleared_, kept_;
    bool moved_[3] = {};
    std::uint32_t new_offset_[3] = {};
    std::map<std::uint64_t, std::vector<std::uint8_t>> saved_;
};

// Every first entry of a tag in `a` is in `b` with the same values.
bool contained(const ExifTagList& a, const ExifTagList& b) {
    for (int g = 0; g < 3; ++g)
        for (std::size_t i = 0; i < a.size(g); ++i) {
            const ExifTag* e = a.at(g, i);
            if (a.find(e->tag(), g) != e) continue;
            const ExifTag* other = b.find(e->tag(), g);
            if (!other || !same_values(*e, *other)) return false;
        }
    return true;
}

bool reads_back_as(const std::vector<std::uint8_t>& payload, const ExifTagList& edited) {
    ExifTagList back;
    return back.read(payload.data(), payload.size(), false) && contained(edited, back) && contained(back, edited);
}

// The ranges a directory and its out-of-line values take.
void directory_ranges(const RawDirectory& d, const Patcher& p, std::vector<Range>& out) {
    if (!d.present) return;
    out.push_back(d.range());
    for (const RawEntry& e : d.entries)
        if (e.out_of_line() && p.fits(e.value_offset, e.bytes)) out.push_back({e.value_offset, e.value_offset + e.bytes});
}

}  // namespace

int drop_thumbnail_directory(std::vector<std::uint8_t>& payload) {
    if (payload.size() < kTiffStart + 8 || std::memcmp(payload.data(), "Exif\0\0", 6) != 0)
        return kExifCannotUpdate;
    bool big = payload[kTiffStart] == 'M';
    Patcher p(payload, big);
    RawDirectory primary;
    if (!p.parse(p.u32(4), true, primary)) return kExifCannotUpdate;
    if (primary.next == 0) return kExifUnchanged;
    // What stays: the primary, Exif, GPS and Interop directories with their
    // values (the maker note among them).
    std::vector<Range> kept = {{0, 8}};
    directory_ranges(primary, p, kept);
    for (const RawEntry& e : primary.entries) {
        std::uint32_t offset = 0;
        if (!e.pointer || !p.pointer_target(e, offset)) continue;
        RawDirectory sub;
        if (!p.parse(offset, false, sub)) continue;
        directory_ranges(sub, p, kept);
        for (const RawEntry& i : sub.entries) {
            RawDirectory interop;
            if (e.tag == kExifIfdPointer && i.tag == kInteropPointer && !i.out_of_line() &&
                p.parse(p.u32(i.at + 8), false, interop))
                directory_ranges(interop, p, kept);
        }
    }
    // What goes: the thumbnail's directory, its values and its picture.
    std::vector<Range> gone;
    RawDirectory thumbnail;
    if (p.parse(primary.next, false, thumbnail)) {
        directory_ranges(thumbnail, p, gone);
        auto value = [&](std::uint16_t tag, std::uint32_t index, std::uint32_t& v) {
            for (const RawEntry& e : thumbnail.entries) {
                if (e.tag != tag || index >= e.count) continue;
                std::uint64_t from = e.out_of_line() ? e.value_offset : e.at + 8;
                if (e.out_of_line() && !p.fits(e.value_offset, e.bytes)) return false;
                if (e.type == kExifShort) v = p.u16(from + 2ull * index);
                else if (e.type == kExifLong) v = p.u32(from + 4ull * index);
                else return false;
                return true;
            }
            return false;
        };
        std::uint32_t start = 0, length = 0;
        if (value(kThumbnailOffset, 0, start) && value(kThumbnailLength, 0, length))
            gone.push_back({start, std::uint64_t{start} + length});
        for (std::uint32_t i = 0; i < 4096 && value(kStripOffsets, i, start) && value(kStripByteCounts, i, length); ++i)
            gone.push_back({start, std::uint64_t{start} + length});
    }
    // The primary directory's link goes first, then every byte of the old
    // thumbnail that nothing kept shares is zeroed.
    std::uint64_t link = std::uint64_t{primary.offset} + 2 + 12 * std::uint64_t{primary.entries.size()};
    if (!p.fits(link, 4)) return kExifCannotUpdate;
    p.put(link, 0, 4);
    std::uint64_t kept_end = 0;
    for (const Range& k : kept) kept_end = std::max(kept_end, std::min(k.end, p.size()));
    for (const Range& g : gone) {
        bool shared = std::any_of(kept.begin(), kept.end(), [&](const Range& k) { return g.overlaps(k); });
        if (!shared) p.zero(g);
    }
    // Whatever lies after the last kept byte is now zeros or unused: it goes.
    std::size_t end = kTiffStart + static_cast<std::size_t>(kept_end);
    bool only_zeros = std::all_of(payload.begin() + static_cast<long>(end), payload.end(),
                                  [](std::uint8_t b) { return b == 0; });
    if (only_zeros) payload.resize(end);
    return kExifUpdated;
}

int update_exif_payload(const std::vector<std::uint8_t>& original, const ExifTagList& edited,
                        std::vector<std::uint8_t>& out) {
    ExifTagList before;
    if (original.empty()) {
        if (edited.total_size() == 0) return kExifUnchanged;
        out = serialize_for_jpeg(edited);
        return out.empty() ? kExifCannotUpdate : kExifUpdated;
    }
    if (!before.read(original.data(), original.size(), false)) {
        // A damaged payload (its first directory cannot be read whole) stays
        // as it is when the list was not edited: other programs may still
        // read parts of it. Storing an edit would mean writing a new payload
        // in its place, losing those parts, so it is refused.
        if (contained(edited, before) && contained(before, edited)) return kExifUnchanged;
        return kExifCannotUpdate;
    }
    out = original;
    Update update(out, before.big_endian());
    int result = update.run(before, edited);
    // The result must read back as the edited list, entry for entry. A
    // payload whose structures overlap in ways the update cannot keep apart
    // (values lying in the header or in a directory that moved, entries of
    // a truncated directory left untouched that would point at what is
    // appended) is refused.
    if (result == kExifUpdated && !reads_back_as(out, edited)) result = kExifCannotUpdate;
    if (result != kExifUpdated) out.clear();
    if (result == kExifUpdated && out.size() > kMaxSegmentPayload) {
        out.clear();
        return kExifCannotUpdate;
    }
    return result;
}

}  // namespace qelvio::metadata
