// JpegSegmentEditor: rewrites a JPEG file's APPn segments without touching
// anything else. It parses the file into logical segments (a run of
// same-marker segments of 65531 payload bytes each continues one segment),
// lets the caller resize, insert or delete APPn segments, lays out the new
// file through a p_filestream, lets the caller fill the replaced payloads,
// and commits or discards the result. Everything it does not replace,
// including the scan, is copied byte for byte.
//
// Typical use: parse; set_segment...; rewrite; for each replaced segment
// open_segment, write_to_segment, close_segment; finish(true), or
// finish(false) after any failure (the file then stays as it was).
//
// Not thread-safe; one editor per file and thread.
#pragma once

#include "qelvio/p_filestream.h"

#include <cstdint>
#include <vector>

namespace qelvio::metadata {

// Results of the editor's operations besides 0 and the stream's statuses.
enum JpegSegmentStatus : int32_t {
    kSegmentNotJpeg = -1,        // not a complete JPEG
    kSegmentNone = -2,           // no such segment, or not an APPn marker
    kSegmentNoneOpen = -6,       // no segment open for that direction
    kSegmentShortTransfer = -8,  // a read or write came up short
    kSegmentAlreadyOpen = -9,    // another segment is open
    kSegmentOutside = -10,       // an offset outside the payload
    kSegmentNoMemory = -11,      // no copy buffer
    kSegmentBusy = -12,          // a segment is open or a rewrite is pending
    kSegmentTooLarge = -13,      // the new file's layout does not fit a JPEG file here
};

// Payload bytes in one physical segment the editor writes. Segments read
// from a file may hold up to kMaxPhysicalPayload bytes each (libjpeg's ICC
// chunks, extended XMP and others do); those are copied as they are.
inline constexpr uint32_t kMaxSegmentPayload = 65531;
inline constexpr uint32_t kMaxPhysicalPayload = 65533;

struct JpegSegment {
    uint8_t marker = 0;
    uint32_t source_offset = 0;  // first payload byte in the input
    uint32_t source_size = 0;    // payload bytes, all physical segments together
    uint32_t new_offset = 0;     // the same in the output, after a rewrite
    uint32_t new_size = 0;
    uint32_t replacement_size = 0;  // 0: copied unchanged
    bool replaced = false;          // a replacement size was set
    bool deleted = false;
    bool inserted = false;  // new: has no bytes in the input
    // Payload bytes of each physical segment in the input, in order; empty
    // for the markers without a length (start and end of image, scan).
    std::vector<uint32_t> pieces;
};

class JpegSegmentEditor {
public:
    // Works on the stream's node; the stream must outlive the editor.
    explicit JpegSegmentEditor(p_filestream& file) : stream(file) {}
    ~JpegSegmentEditor();
    JpegSegmentEditor(const JpegSegmentEditor&) = delete;
    JpegSegmentEditor& operator=(const JpegSegmentEditor&) = delete;

    // Reads the file's segment list. 0, or -1 for a file that is not a
    // complete JPEG (the list is then empty), or the stream's status.
    int32_t parse();
    // Segments in file order.
    const std::vector<JpegSegment>& segments() const { return list; }
    // The n-th segment (from 0) with that marker, or null.
    const JpegSegment* find(uint8_t marker, int n) const;
    // Resizes the n-th APPn segment (0 deletes it), or inserts a new one
    // right after the last existing segment with that marker (so it is
    // numbered after all of them), else after the APPn segments of lower
    // markers; a file without any APPn segment receives it right after its
    // start-of-image marker. -2 for a marker other than APPn.
    int32_t set_segment(uint8_t marker, int n, uint32_t size);
    // Inserts a new APPn segment of that size just before the n-th existing
    // segment with the same marker, which (like every later one) then counts
    // one higher. -2 for a marker other than APPn or when there is no n-th.
    int32_t insert_segment_before(uint8_t marker, int n, uint32_t size);
    // The payload size with no buffer; otherwise reads up to length bytes
    // of the payload (before a rewrite) and returns the count.
    int32_t read_segment(uint8_t marker, int n, void* buffer, uint32_t length);

    // Opens a segment's payload: for reading before a rewrite, for writing
    // after it. Returns the payload size; -9 when one is open, -2 when the
    // segment does not exist.
    int32_t open_segment(uint8_t marker, int n);
    // Moves within the open payload (origin 0 current, 1 start, 2 end);
    // -6 when none is open, -10 outside the payload.
    int32_t seek_segment(int origin, int32_t offset);
    // Transfer at the open payload's position; -6 when no segment is open
    // for that direction, -10 past the payload, -8 for a short transfer.
    int32_t read_from_segment(void* buffer, uint32_t count);
    int32_t write_to_segment(const void* buffer, uint32_t count);
    int32_t close_segment();

    // Writes the new file's layout: unchanged segments copied exactly as
    // they are (whatever their physical lengths), replaced ones as
    // placeholders in physical segments of at most 65531 payload bytes. -12
    // when a segment is open or a rewrite is pending, -11 without memory,
    // -13 (before anything is written) when the new file would be too large;
    // on failure nothing is kept.
    int32_t rewrite();
    // Closes both sides; with commit the new file replaces the old one.
    int32_t finish(bool commit);

private:
    JpegSegment* find_mutable(uint8_t marker, int n);
    int32_t copy_range(uint32_t from, uint32_t length, std::vector<char>& buffer);
    int32_t write_placeholder(const JpegSegment& s, std::vector<char>& buffer);
    // Where logical payload offset k of the segment lies (in the input, or
    // in the output after a rewrite), and how many payload bytes follow it
    // in the same physical segment.
    uint32_t physical(const JpegSegment& s, bool output, uint32_t k, uint32_t* left) const;

    p_filestream& stream;
    std::vector<JpegSegment> list;
    bool rewritten = false;
    // The open segment: index, direction, logical position.
    int open_index = -1;
    bool open_for_writing = false;
    uint32_t open_position = 0;
};

}  // namespace qelvio::metadata
