#include "decoding/jpeg_entropy_scanner.h"

#include "decoding/decoder_status.h"
#include "decoding/jpeg_library.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace qelvio::decoding {
namespace {

void copy_table(const JHUFF_TBL& from, HuffmanCodes& to) {
    std::memcpy(to.counts, from.bits, sizeof to.counts);
    std::memcpy(to.symbols, from.huffval, sizeof to.symbols);
}

// The code space of a table is valid (no code overflows its length) and it
// has at most 256 symbols; DC tables hold only sizes up to 15. libjpeg
// refuses the same tables when it starts decompressing.
bool valid_table(const HuffmanCodes& t, bool ac) {
    int total = 0;
    std::uint32_t code = 0;
    for (int length = 1; length <= 16; ++length) {
        code = (code << 1) + t.counts[length];
        if (code > (1u << length)) return false;
        total += t.counts[length];
    }
    if (total > 256) return false;
    if (!ac)
        for (int i = 0; i < total; ++i)
            if (t.symbols[i] > 15) return false;
    return true;
}

int huff_extend(int value, int size) {
    return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value;
}

}  // namespace

const HuffmanCodes& standard_huffman_table(bool ac, int slot) {
    // Taken once from libjpeg's compressor defaults, which install the
    // tables of the JPEG standard's annex K in slots 0 and 1.
    static const struct Tables {
        HuffmanCodes dc[2]{}, ac[2]{};
        Tables() {
            jpeg_compress_struct c{};
            JpegErrorManager errors{};
            jpeg_install_errors(c, errors);
            if (setjmp(errors.jump)) {
                jpeg_destroy_compress(&c);
                return;
            }
            jpeg_create_compress(&c);
            c.in_color_space = JCS_YCbCr;
            c.input_components = 3;
            jpeg_set_defaults(&c);
            for (int i = 0; i < 2; ++i) {
                copy_table(*c.dc_huff_tbl_ptrs[i], dc[i]);
                copy_table(*c.ac_huff_tbl_ptrs[i], ac[i]);
            }
            jpeg_destroy_compress(&c);
        }
    } tables;
    return ac ? tables.ac[slot & 1] : tables.dc[slot & 1];
}

int scan_layout_from_header(const jpeg_decompress_struct& cinfo, std::uint32_t scan_start,
                            ScanLayout& layout) {
    layout = ScanLayout{};
    const int n = cinfo.num_components;
    if (cinfo.progressive_mode || cinfo.arith_code || cinfo.data_precision != 8 || n < 1 || n > 4 ||
        cinfo.comps_in_scan != n)
        return kDecodeNotSupported;
    layout.width = cinfo.image_width;
    layout.height = cinfo.image_height;
    layout.components = n;
    layout.max_h = cinfo.max_h_samp_factor;
    layout.max_v = cinfo.max_v_samp_factor;
    layout.restart_interval = cinfo.restart_interval;
    layout.scan_start = scan_start;
    for (int i = 0; i < n; ++i) {
        const jpeg_component_info& c = cinfo.comp_info[i];
        if (c.h_samp_factor < 1 || c.h_samp_factor > 4 || c.v_samp_factor < 1 || c.v_samp_factor > 4 ||
            c.quant_tbl_no < 0 || c.quant_tbl_no > 3)
            return kDecodeNotSupported;
        layout.frame[i] = {static_cast<std::uint8_t>(c.component_id), static_cast<std::uint8_t>(c.h_samp_factor),
                           static_cast<std::uint8_t>(c.v_samp_factor), static_cast<std::uint8_t>(c.quant_tbl_no)};
        const JQUANT_TBL* q = cinfo.quant_tbl_ptrs[c.quant_tbl_no];
        if (!q) return kDecodeCorrupt;
        layout.quant_present[c.quant_tbl_no] = true;
        std::copy(q->quantval, q->quantval + 64, layout.quant[c.quant_tbl_no]);
        layout.blocks_per_mcu += c.h_samp_factor * c.v_samp_factor;
    }
    for (int j = 0; j < n; ++j) {
        const jpeg_component_info* c = cinfo.cur_comp_info[j];
        if (!c || c < cinfo.comp_info || c >= cinfo.comp_info + n) return kDecodeCorrupt;
        if (c->dc_tbl_no < 0 || c->dc_tbl_no > 3 || c->ac_tbl_no < 0 || c->ac_tbl_no > 3)
            return kDecodeCorrupt;
        layout.scan[j] = {static_cast<int>(c - cinfo.comp_info), c->dc_tbl_no, c->ac_tbl_no};
        // libjpeg supplies the standard tables for empty slots 0 and 1.
        for (bool ac : {false, true}) {
            const int slot = ac ? c->ac_tbl_no : c->dc_tbl_no;
            const JHUFF_TBL* t = ac ? cinfo.ac_huff_tbl_ptrs[slot] : cinfo.dc_huff_tbl_ptrs[slot];
            HuffmanCodes& codes = ac ? layout.ac[slot] : layout.dc[slot];
            if (t)
                copy_table(*t, codes);
            else if (slot < 2)
                codes = standard_huffman_table(ac, slot);
            else
                return kDecodeCorrupt;
            if (!valid_table(codes, ac)) return kDecodeCorrupt;
        }
    }
    if (n == 1) {
        // A single-component scan is not interleaved: one block per MCU.
        layout.blocks_per_mcu = 1;
        layout.mcus_across = cinfo.comp_info[0].width_in_blocks;
        layout.mcu_rows = cinfo.comp_info[0].height_in_blocks;
    } else {
        if (layout.blocks_per_mcu > 10) return kDecodeNotSupported;
        layout.mcu_width = 8u * static_cast<std::uint32_t>(layout.max_h);
        layout.mcu_height = 8u * static_cast<std::uint32_t>(layout.max_v);
        layout.mcus_across = (layout.width + layout.mcu_width - 1) / layout.mcu_width;
        layout.mcu_rows = (layout.height + layout.mcu_height - 1) / layout.mcu_height;
    }
    if (layout.mcus_across == 0 || layout.mcu_rows == 0 || layout.mcus_across > 0xFFFF ||
        layout.mcu_rows > 0xFFFF)
        return kDecodeCorrupt;
    return kDecodeOk;
}

EntropyScanner::EntropyScanner(const ScanLayout& layout, const std::uint8_t* data, std::uint32_t size)
    : layout_(layout), data_(data), size_(size) {
    for (int slot = 0; slot < 4; ++slot) {
        build(layout.dc[slot], false, dc_[slot]);
        build(layout.ac[slot], true, ac_[slot]);
    }
    int b = 0;
    for (int j = 0; j < layout.components && b < 10; ++j) {
        const ScanLayout::FrameComponent& f = layout.frame[layout.scan[j].frame_index];
        const int blocks = layout.components == 1 ? 1 : f.h * f.v;
        for (int i = 0; i < blocks && b < 10; ++i) block_component_[b++] = static_cast<std::uint8_t>(j);
    }
    state_.position = std::min(layout.scan_start, size);
}

void EntropyScanner::build(const HuffmanCodes& codes, bool ac, Table& t) {
    std::memset(&t, 0, sizeof t);
    std::memcpy(t.symbols, codes.symbols, sizeof t.symbols);
    std::int32_t code = 0;
    int p = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = codes.counts[length];
        if (count == 0) {
            t.maxcode[length] = -1;
        } else {
            t.valoffset[length] = p - code;
            for (int i = 0; i < count && p < 256; ++i, ++p, ++code) {
                if (length > kLookahead) continue;
                const int symbol = codes.symbols[p];
                const int shift = kLookahead - length;
                const auto first = static_cast<std::uint32_t>(code) << shift;
                const int run = symbol >> 4, size = symbol & 15;
                std::uint16_t skip;
                if (size) skip = static_cast<std::uint16_t>((length + size) | (run + 1) << 8);
                else if (run == 15) skip = static_cast<std::uint16_t>(length | 16 << 8);
                else skip = static_cast<std::uint16_t>(length | 64 << 8);
                for (std::uint32_t j = 0; j < (1u << shift) && first + j < (1u << kLookahead); ++j) {
                    t.fast[first + j] = static_cast<std::uint16_t>(length << 8 | symbol);
                    if (ac) t.skip[first + j] = skip;
                }
            }
            t.maxcode[length] = code - 1;
        }
        code <<= 1;
    }
    t.maxcode[17] = 0xFFFFF;
}

void EntropyScanner::restore(const EntropyState& state) {
    state_ = state;
    state_.position = std::min(state_.position, size_);
    state_.bits = std::clamp(state_.bits, 0, 64);
    if (state_.bits < 64) state_.buffer &= ~(~std::uint64_t{0} >> state_.bits);
}

// Fetches bytes until the buffer holds more than 56 bits, undoing 0xFF 0x00
// stuffing; stops at a marker (0xFF, any 0xFF fill, then a non-zero byte) or
// at the end of the data.
inline void EntropyScanner::fill() {
    EntropyState& s = state_;
    // Common case: the next eight bytes hold no 0xFF, so whole bytes go in
    // at once.
    if (!s.marker && std::uint64_t{s.position} + 8 <= size_) {
        std::uint64_t word;
        std::memcpy(&word, data_ + s.position, 8);
        if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
        const std::uint64_t inverted = ~word;
        if (((inverted - 0x0101010101010101ull) & ~inverted & 0x8080808080808080ull) == 0) {
            const int bytes = (64 - s.bits) >> 3;
            s.buffer |= (word & (~std::uint64_t{0} << (64 - 8 * bytes))) >> s.bits;
            s.bits += 8 * bytes;
            s.position += static_cast<std::uint32_t>(bytes);
            return;
        }
    }
    fill_bytewise();
}

void EntropyScanner::fill_bytewise() {
    EntropyState& s = state_;
    while (s.bits <= 56 && !s.marker) {
        if (s.position >= size_) {
            s.marker = true;
            break;
        }
        const std::uint8_t b = data_[s.position];
        if (b != 0xFF) {
            s.buffer |= std::uint64_t{b} << (56 - s.bits);
            s.bits += 8;
            ++s.position;
            continue;
        }
        std::uint32_t q = s.position + 1;
        while (q < size_ && data_[q] == 0xFF) ++q;
        if (q < size_ && data_[q] == 0) {
            s.buffer |= std::uint64_t{0xFF} << (56 - s.bits);
            s.bits += 8;
            s.position = q + 1;
        } else {
            s.marker = true;
        }
    }
}

// Makes sure n bits (at most 32) can be consumed: real ones, or past a
// marker zeros (get_bits notes when zeros are actually used).
inline void EntropyScanner::need(int n) {
    if (state_.bits < n) fill();
}

inline int EntropyScanner::get_bits(int n) {
    const int v = static_cast<int>(peek(n));
    drop(n);
    if (state_.bits < 0) {
        state_.bits = 0;
        state_.exhausted = true;
    }
    return v;
}

int EntropyScanner::slow_symbol(const Table& t) {
    for (int length = 1; length <= 16; ++length) {
        const auto code = static_cast<std::int32_t>(peek(length));
        if (code <= t.maxcode[length]) {
            get_bits(length);
            return t.symbols[(code + t.valoffset[length]) & 0xFF];
        }
    }
    get_bits(17);  // libjpeg reads 17 bits of a bad code and takes symbol 0
    return 0;
}

inline int EntropyScanner::decode_symbol(const Table& t) {
    const std::uint16_t e = t.fast[peek(kLookahead)];
    if (e) {
        get_bits(e >> 8);
        return e & 0xFF;
    }
    return slow_symbol(t);
}

inline int EntropyScanner::decode_dc(int block) {
    const int j = block_component_[block];
    need(32);
    const int size = decode_symbol(dc_[layout_.scan[j].dc_table]);
    const int diff = size ? huff_extend(get_bits(size), size) : 0;
    state_.dc[j] = static_cast<std::int16_t>(state_.dc[j] + diff);
    return state_.dc[j];
}

inline void EntropyScanner::skip_ac(const Table& t) {
    int k = 1;
    while (k < 64) {
        need(32);
        const std::uint16_t e = t.skip[peek(kLookahead)];
        if (e) {
            get_bits(e & 0xFF);
            k += e >> 8;
            continue;
        }
        const int symbol = slow_symbol(t);
        const int run = symbol >> 4, size = symbol & 15;
        if (size) {
            get_bits(size);
            k += run + 1;
        } else if (run == 15) {
            k += 16;
        } else {
            break;
        }
    }
}

void EntropyScanner::skip_mcu() {
    if (state_.exhausted) return;
    for (int b = 0; b < layout_.blocks_per_mcu; ++b) {
        decode_dc(b);
        skip_ac(ac_[layout_.scan[block_component_[b]].ac_table]);
    }
}

void EntropyScanner::decode_mcu(std::int16_t (*blocks)[64]) {
    std::memset(blocks, 0, sizeof(std::int16_t) * 64 * static_cast<std::size_t>(layout_.blocks_per_mcu));
    if (state_.exhausted) return;
    for (int b = 0; b < layout_.blocks_per_mcu; ++b) {
        std::int16_t* coefficients = blocks[b];
        coefficients[0] = static_cast<std::int16_t>(decode_dc(b));
        const Table& t = ac_[layout_.scan[block_component_[b]].ac_table];
        for (int k = 1; k < 64; ++k) {
            need(32);
            const int symbol = decode_symbol(t);
            const int run = symbol >> 4, size = symbol & 15;
            if (size) {
                k += run;
                // Past the last coefficient libjpeg writes to the last one.
                coefficients[std::min(k, 63)] = static_cast<std::int16_t>(huff_extend(get_bits(size), size));
            } else if (run == 15) {
                k += 15;
            } else {
                break;
            }
        }
    }
}

int EntropyScanner::restart(int number) {
    EntropyState& s = state_;
    s.buffer = 0;
    s.bits = 0;
    std::fill(std::begin(s.dc), std::end(s.dc), std::int16_t{0});
    // Like libjpeg: skip any bytes up to the next marker.
    std::uint32_t p = s.position;
    for (;;) {
        while (p < size_ && data_[p] != 0xFF) ++p;
        std::uint32_t q = p + 1;
        while (q < size_ && data_[q] == 0xFF) ++q;
        if (q >= size_) {
            s.position = size_;
            s.marker = true;
            return kDecodeOk;
        }
        if (data_[q] == 0) {
            p = q + 1;
            continue;
        }
        const int code = data_[q];
        if (code == JPEG_RST0 + number) {
            s.position = q + 1;
            s.marker = false;
            s.exhausted = false;
            return kDecodeOk;
        }
        if (code >= JPEG_RST0 && code <= JPEG_RST0 + 7) return kDecodeCorrupt;
        s.position = p;
        s.marker = true;
        return kDecodeOk;
    }
}

}  // namespace qelvio::decoding
