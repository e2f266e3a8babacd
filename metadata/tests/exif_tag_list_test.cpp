#include "metadata/exif_tag_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace qelvio::metadata {
namespace {

ExifTag make_short(std::uint16_t tag, std::uint16_t value) {
    ExifTag t;
    t.set_shape(tag, kExifShort, 1);
    t.set_16bit(0, value);
    return t;
}

ExifTag make_text(std::uint16_t tag, const char* text) {
    ExifTag t;
    t.set_shape(tag, kExifAscii, 1);
    t.set_text(std::string_view(text));
    return t;
}

std::uint32_t integer(const ExifTag* t, std::uint32_t index = 0) {
    std::uint32_t v = 0xFFFFFFFF;
    if (t) t->get_integer(index, v);
    return v;
}

// Builds the bytes of an APP1 payload: "Exif\0\0" and TIFF data in either
// byte order. Offsets given to the helpers are counted from the TIFF header.
class Payload {
public:
    explicit Payload(bool big, std::size_t tiff_size = 8) : big_(big) {
        bytes_.assign(6 + tiff_size, 0);
        std::memcpy(bytes_.data(), "Exif\0\0", 6);
        bytes_[6] = bytes_[7] = big ? 'M' : 'I';
        u16(2, 42);
        u32(4, 8);
    }
    void u16(std::size_t at, std::uint16_t v) {
        grow(at + 2);
        bytes_[6 + at + (big_ ? 1 : 0)] = static_cast<std::uint8_t>(v);
        bytes_[6 + at + (big_ ? 0 : 1)] = static_cast<std::uint8_t>(v >> 8);
    }
    void u32(std::size_t at, std::uint32_t v) {
        grow(at + 4);
        for (int i = 0; i < 4; ++i)
            bytes_[6 + at + (big_ ? 3 - i : i)] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void raw(std::size_t at, const void* data, std::size_t n) {
        grow(at + n);
        std::memcpy(&bytes_[6 + at], data, n);
    }
    // A directory at `at` with `entries` (tag, type, count, value word); the
    // next-directory offset follows.
    struct Entry {
        std::uint16_t tag, type;
        std::uint32_t count, value;
        bool short_inline = false;
    };
    void directory(std::size_t at, const std::vector<Entry>& entries, std::uint32_t next = 0) {
        u16(at, static_cast<std::uint16_t>(entries.size()));
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            std::size_t p = at + 2 + 12 * i;
            u16(p, e.tag);
            u16(p + 2, e.type);
            u32(p + 4, e.count);
            if (e.short_inline) {
                u32(p + 8, 0);
                u16(p + 8, static_cast<std::uint16_t>(e.value));
            } else {
                u32(p + 8, e.value);
            }
        }
        u32(at + 2 + 12 * entries.size(), next);
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    void grow(std::size_t tiff_end) {
        if (bytes_.size() < 6 + tiff_end) bytes_.resize(6 + tiff_end);
    }
    bool big_;
    std::vector<std::uint8_t> bytes_;
};

TEST(ExifTagList, AutomaticGrouping) {
    struct Case {
        std::uint16_t tag;
        int group;
    } cases[] = {{270, 0}, {33432, 0}, {33433, 0}, {33434, 1}, {33437, 1},
                 {45055, 1}, {45056, 2}, {0xFFFF, 2}};
    for (const Case& c : cases) EXPECT_EQ(exif_auto_group(c.tag), c.group) << c.tag;

    ExifTagList list;
    ASSERT_TRUE(list.add(make_short(33437, 28), false));
    EXPECT_NE(list.find(33437, 1), nullptr);
    EXPECT_EQ(list.find(33437, 0), nullptr);
    EXPECT_EQ(list.find(33437, 3), nullptr);
    EXPECT_EQ(list.add(make_short(1, 1), false, 3), 0);
}

TEST(ExifTagList, AddKeepsAscendingOrderAndReplaceRule) {
    ExifTagList list;
    EXPECT_FALSE(list.modified());
    for (std::uint16_t tag : {274, 256, 305, 257}) ASSERT_TRUE(list.add(make_short(tag, tag), false));
    ASSERT_EQ(list.size(0), 4u);
    std::uint16_t expected[] = {256, 257, 274, 305};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(list.at(0, i)->tag(), expected[i]);
    EXPECT_TRUE(list.modified());

    EXPECT_EQ(list.add(make_short(274, 6), false), 0);
    EXPECT_EQ(integer(list.find(274)), 274u);
    EXPECT_EQ(list.add(make_text(274, "replaced"), true), 1);
    EXPECT_EQ(list.find(274)->type(), kExifAscii);
    EXPECT_EQ(list.find(274)->text(), u"replaced");
    EXPECT_EQ(list.size(0), 4u);

    list.set_modified(false);
    EXPECT_EQ(list.remove(999), 0);
    EXPECT_FALSE(list.modified());
    EXPECT_EQ(list.remove(257), 1);
    EXPECT_TRUE(list.modified());
    EXPECT_EQ(list.find(257), nullptr);
}

TEST(ExifTagList, MergeReplacesEntriesGroupByGroup) {
    ExifTagList a, b;
    a.add(make_short(274, 1), false);
    b.add(make_short(33437, 28), false);
    b.add(make_short(1, 7), false, 2);
    a.merge(b);
    EXPECT_EQ(a.find(274), nullptr);
    EXPECT_EQ(integer(a.find(33437, 1)), 28u);
    EXPECT_EQ(integer(a.find(1, 2)), 7u);
    EXPECT_EQ(a.find(33437, 1)->list(), &a);
    a.merge(a);  // merging into itself keeps the entries
    EXPECT_EQ(a.total_size(), 2u);
}

TEST(ExifTagReader, BigAndLittleEndianPayloads) {
    for (bool big : {true, false}) {
        SCOPED_TRACE(big ? "MM" : "II");
        Payload p(big);
        // IFD0 at 8: orientation 6 (inline SHORT), a 2-value LONG with data at
        // 100, a text at 120, an Exif pointer to 150.
        p.directory(8, {{274, kExifShort, 1, 6, true},
                        {700, kExifLong, 2, 100},
                        {270, kExifAscii, 6, 120},
                        {kExifIfdPointer, kExifLong, 1, 150}});
        p.u32(100, 0x01020304);
        p.u32(104, 0xA0B0C0D0);
        p.raw(120, "Hello", 6);
        p.directory(150, {{33437, kExifRational, 1, 200}, {37377, kExifDouble, 1, 208}});
        p.u32(200, 28);
        p.u32(204, 10);
        // DOUBLE -2.5 in the file's byte order.
        double v = -2.5;
        std::uint8_t d[8];
        std::memcpy(d, &v, 8);
        if (big) std::reverse(d, d + 8);
        p.raw(208, d, 8);

        ExifTagList list;
        ASSERT_TRUE(list.read(p.bytes().data(), p.bytes().size(), false));
        EXPECT_EQ(list.big_endian(), big);
        ASSERT_EQ(list.size(0), 3u);  // the pointer entry is not kept
        EXPECT_EQ(integer(list.find(274)), 6u);
        EXPECT_EQ(integer(list.find(700), 0), 0x01020304u);
        EXPECT_EQ(integer(list.find(700), 1), 0xA0B0C0D0u);
        EXPECT_EQ(list.find(270)->text(), u"Hello");
        ASSERT_EQ(list.size(1), 1u + 1u);
        std::uint32_t n, den;
        ASSERT_TRUE(list.find(33437, 1)->get_rational(0, n, den));
        EXPECT_EQ(n, 28u);
        EXPECT_EQ(den, 10u);
        double r;
        ASSERT_TRUE(list.find(37377, 1)->get_real(0, r));
        EXPECT_EQ(r, -2.5);
    }
}

TEST(ExifTagReader, RefusesBadHeaders) {
    Payload good(false);
    good.directory(8, {{274, kExifShort, 1, 1, true}});
    struct Case {
        const char* name;
        std::size_t at;
        std::uint8_t byte;
    } cases[] = {
        {"not Exif", 3, 'g'},       {"no zero after Exif", 4, 'x'},
        {"byte order XX", 6, 'X'},  {"magic not 42", 8, 43},
        {"first IFD past end", 12, 0xF0},
    };
    ExifTagList list;
    ASSERT_TRUE(list.read(good.bytes().data(), good.bytes().size(), false));
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bad = good.bytes();
        bad[c.at] = c.byte;
        ExifTagList l;
        EXPECT_EQ(l.read(bad.data(), bad.size(), false), 0) << c.name;
        EXPECT_EQ(l.total_size(), 0u) << c.name;
    }
    EXPECT_EQ(list.read(good.bytes().data(), 13, false), 0);
    EXPECT_EQ(list.read(nullptr, 0, false), 0);
}

TEST(ExifTagReader, HostileOffsetsAndCounts) {
    Payload p(false);
    p.directory(8, {
                       {1, kExifShort, 1, 5, true},
                       {2, kExifRational, 0x20000000, 200},  // count × 8 wraps in 32 bits
                       {3, kExifLong, 2, 0xFFFFFFF8},       // offset + size wraps
                       {4, kExifAscii, 100, 200},            // runs past the end
                       {5, 0, 1, 0},                        // invalid type 0
                       {6, 13, 1, 0},                       // invalid type 13
                       {kGpsIfdPointer, kExifLong, 1, 5000},  // directory out of range
                       {7, kExifByte, 3, 0x00434241},
                   });
    p.u32(200, 0);
    ExifTagList list;
    ASSERT_TRUE(list.read(p.bytes().data(), p.bytes().size(), true));
    ASSERT_EQ(list.size(0), 2u);
    EXPECT_EQ(list.at(0, 0)->tag(), 1);
    EXPECT_EQ(list.at(0, 1)->tag(), 7);
    EXPECT_EQ(list.size(2), 0u);
    std::uint8_t b;
    ASSERT_TRUE(list.at(0, 1)->get_byte(2, b));
    EXPECT_EQ(b, 'C');

    // A directory count that runs past the data fails the read.
    Payload q(false);
    q.u16(8, 0xFFFF);
    q.u32(10, 0);
    ExifTagList l2;
    EXPECT_EQ(l2.read(q.bytes().data(), q.bytes().size(), false), 0);
}

TEST(ExifTagReader, RepeatedPointersReadTheDirectoryOnce) {
    Payload p(false);
    std::vector<Payload::Entry> entries(200, {kExifIfdPointer, kExifLong, 1, 8});
    p.directory(8, entries);
    ExifTagList list;
    ASSERT_TRUE(list.read(p.bytes().data(), p.bytes().size(), false));
    EXPECT_EQ(list.size(0), 0u);
    // IFD0 is read as the Exif directory once (its pointer entries are plain
    // entries there), not once per pointer.
    EXPECT_EQ(list.size(1), 200u);
}

TEST(ExifTagReader, Thumbnails) {
    const std::uint8_t jpeg[] = {0xFF, 0xD8, 1, 2, 3, 0xFF, 0xD9};
    struct Case {
        const char* name;
        std::uint32_t compression, offset, length;
        std::size_t expected;  // bytes of the copy; 0 = none
        bool jpeg;
    } cases[] = {
        {"jpeg", 6, 100, 7, 7, true},
        {"jpeg past end", 6, 100, 8, 0, false},
        {"jpeg zero length", 6, 100, 0, 0, false},
        {"jpeg offset wraps", 6, 0xFFFFFFFF, 9, 0, false},
        {"uncompressed: whole TIFF part", 1, 100, 7, 107, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Payload p(false);
        p.directory(8, {{274, kExifShort, 1, 1, true}}, 40);
        p.directory(40, {{259, kExifShort, 1, c.compression, true},
                         {513, kExifLong, 1, c.offset},
                         {514, kExifLong, 1, c.length}});
        p.raw(100, jpeg, sizeof jpeg);
        ExifTagList list;
        ASSERT_TRUE(list.read(p.bytes().data(), p.bytes().size(), true));
        EXPECT_EQ(list.size(0), 1u);  // the thumbnail directory's entries are not kept
        EXPECT_EQ(list.thumbnail().size(), c.expected);
        EXPECT_EQ(list.thumbnail_is_jpeg(), c.jpeg);
        if (c.jpeg) {
            EXPECT_EQ(0, std::memcmp(list.thumbnail().data(), jpeg, sizeof jpeg));
        }

        ExifTagList without;
        ASSERT_TRUE(without.read(p.bytes().data(), p.bytes().size(), false));
        EXPECT_TRUE(without.thumbnail().empty());
    }
}

TEST(ExifTagWriter, LayoutAndRoundTrip) {
    ExifTagList list;
    list.add(make_short(274, 6), false);
    list.add(make_text(270, "A description"), false);
    ExifTag rational;
    rational.set_shape(33437, kExifRational, 1);
    rational.set_rational(0, 28, 10);
    list.add(rational, false);
    ASSERT_EQ(list.size(2), 0u);

    std::vector<std::uint8_t> out = list.write();
    ASSERT_FALSE(out.empty());
    EXPECT_LE(out.size(), list.write_size());
    EXPECT_EQ(0, std::memcmp(out.data(), "Exif\0\0II\x2A\0\x08\0\0\0", 14));
    // Directory 0: the two primary entries and the Exif pointer only.
    EXPECT_EQ(out[14] | out[15] << 8, 3);
    std::vector<std::uint16_t> tags;
    for (int i = 0; i < 3; ++i) tags.push_back(out[16 + 12 * i] | out[17 + 12 * i] << 8);
    EXPECT_EQ(tags, (std::vector<std::uint16_t>{270, 274, kExifIfdPointer}));

    ExifTagList back;
    ASSERT_TRUE(back.read(out.data(), out.size(), true));
    EXPECT_EQ(back.find(270)->text(), u"A description");
    EXPECT_EQ(integer(back.find(274)), 6u);
    std::uint32_t n, d;
    ASSERT_TRUE(back.find(33437)->get_rational(0, n, d));
    EXPECT_EQ(n * 100 / d, 280u);
    EXPECT_TRUE(back.thumbnail().empty());

    std::uint8_t small[16];
    EXPECT_EQ(list.write(small, sizeof small), 0u);
}

}  // namespace
}  // namespace qelvio::metadata
