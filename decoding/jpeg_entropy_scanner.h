// Reading the Huffman-coded data of a baseline JPEG scan without libjpeg:
// the scan's layout taken from a header libjpeg has read, and a scanner that
// walks MCUs (skipping them, or decoding their quantised coefficients) from
// any saved state. Region-index recording and region transcoding are built
// on it; both need the entropy decoder's state, which libjpeg keeps private.
//
// The scanner reproduces libjpeg's reading of the data exactly: 0xFF 0x00
// stuffing, 0xFF fill bytes before markers, restart markers, bad codes
// (treated as symbol 0 after 17 bits, as libjpeg does), and the end of the
// data or an unexpected marker (zero bits for the rest of that MCU, then
// all-zero MCUs until the next restart marker). It never reads outside the
// bytes it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace qelvio::decoding {

// A Huffman table as stored in the file: counts of codes of each length
// 1..16 (index 0 unused) and the symbols in code order.
struct HuffmanCodes {
    std::uint8_t counts[17];
    std::uint8_t symbols[256];
};

// The standard tables of the JPEG standard (annex K) as libjpeg installs
// them: slot 0 luminance, slot 1 chrominance.
const HuffmanCodes& standard_huffman_table(bool ac, int slot);

// What the scanner and the region transcoder need of the frame and scan
// headers. Only single-scan, 8-bit, Huffman-coded sequential files have one.
struct ScanLayout {
    struct FrameComponent {
        std::uint8_t id, h, v, quant_slot;
    };
    struct ScanComponent {
        int frame_index;        // into frame[]
        int dc_table, ac_table; // into dc[] / ac[]
    };
    std::uint32_t width = 0, height = 0;
    int components = 0;              // in the frame, all of them in the one scan
    FrameComponent frame[4]{};       // frame-header order
    ScanComponent scan[4]{};         // scan-header order (the order of blocks in an MCU)
    int max_h = 1, max_v = 1;
    int blocks_per_mcu = 0;
    std::uint32_t mcu_width = 8, mcu_height = 8;  // pixels of one MCU
    std::uint32_t mcus_across = 0, mcu_rows = 0;
    std::uint32_t restart_interval = 0;           // MCUs, 0 = none
    std::uint32_t scan_start = 0;    // offset of the first entropy-coded byte
    HuffmanCodes dc[4]{}, ac[4]{};
    bool quant_present[4]{};
    std::uint16_t quant[4][64]{};    // natural (row-major) order
};

// Fills the layout from a decompression object whose header has just been
// read (jpeg_read_header), with scan_start the offset of the byte after the
// start-of-scan segment. Returns 0, or kDecodeNotSupported for files the
// scanner does not read (progressive, arithmetic, 12-bit, several scans,
// unusual sampling), or kDecodeCorrupt for invalid tables.
int scan_layout_from_header(const jpeg_decompress_struct& cinfo, std::uint32_t scan_start,
                            ScanLayout& layout);

// The entropy decoder's state between two MCUs: everything needed to go on
// from there.
struct EntropyState {
    std::uint32_t position = 0;   // next byte to fetch into the bit buffer
    std::uint64_t buffer = 0;     // fetched bits, the next one in the top bit
    int bits = 0;                 // valid bits in buffer (0..64)
    bool marker = false;          // fetching stopped at a marker or the end at `position`
    bool exhausted = false;       // the data ran out: MCUs are zero until a restart
    std::int16_t dc[4]{};         // DC predictions, scan order
};

class EntropyScanner {
public:
    // The layout must have passed scan_layout_from_header; data is the
    // whole file as far as it is available.
    EntropyScanner(const ScanLayout& layout, const std::uint8_t* data, std::uint32_t size);

    const EntropyState& state() const { return state_; }
    // The scan component (0..3) of block b of an MCU.
    int block_component(int b) const { return block_component_[b]; }
    // Resumes from a saved state (its position at most the data size, its
    // bit count at most 64; other values are harmless).
    void restore(const EntropyState& state);

    // Handles the restart marker before an interval (number 0..7): drops the
    // bits left, finds the marker and resets the DC predictions. Returns 0,
    // or kDecodeCorrupt when a restart marker of another number is found.
    // Another marker or the end of the data leaves the following MCUs zero,
    // as libjpeg does.
    int restart(int number);

    // Reads one MCU, keeping only the DC predictions.
    void skip_mcu();
    // Reads one MCU into blocks_per_mcu blocks of 64 quantised coefficients
    // in zigzag order.
    void decode_mcu(std::int16_t (*blocks)[64]);

private:
    struct Table {
        // Lookahead of kLookahead bits: code length << 8 | symbol, 0 when
        // the code is longer.
        std::uint16_t fast[1 << 10];
        // For skipping AC coefficients: bits to drop (code + value) | how far
        // the coefficient index moves << 8 (64 = end of block); 0 = slow path.
        std::uint16_t skip[1 << 10];
        std::int32_t maxcode[18];
        std::int32_t valoffset[18];
        std::uint8_t symbols[256];
    };
    static constexpr int kLookahead = 10;

    static void build(const HuffmanCodes& codes, bool ac, Table& table);
    void fill();
    void fill_bytewise();
    void need(int n);
    std::uint32_t peek(int n) const { return static_cast<std::uint32_t>(state_.buffer >> (64 - n)); }
    void drop(int n) {
        state_.buffer <<= n;
        state_.bits -= n;
    }
    int get_bits(int n);
    int decode_symbol(const Table& table);
    int slow_symbol(const Table& table);
    int decode_dc(int block);
    void skip_ac(const Table& table);

    const ScanLayout& layout_;
    const std::uint8_t* data_;
    std::uint32_t size_;
    EntropyState state_;
    Table dc_[4], ac_[4];
    // Per block of an MCU: its scan component.
    std::uint8_t block_component_[10]{};
};

}  // namespace qelvio::decoding
