#include "decoding/jpeg_region_transcoder.h"

#include "decoding/decoder_status.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace qelvio::decoding {
namespace {

// Natural (row-major) position of each zigzag position, walking the
// anti-diagonals alternately up and down.
constexpr std::array<std::uint8_t, 64> zigzag_to_natural() {
    std::array<std::uint8_t, 64> order{};
    int i = 0;
    for (int s = 0; s < 15; ++s) {
        const int low = std::max(0, s - 7), high = std::min(s, 7);
        for (int step = 0; step <= high - low; ++step) {
            const int row = s % 2 == 0 ? high - step : low + step;
            order[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(row * 8 + (s - row));
        }
    }
    return order;
}
constexpr std::array<std::uint8_t, 64> kZigzag = zigzag_to_natural();

int magnitude_bits(int value) {
    int n = 0;
    for (unsigned v = static_cast<unsigned>(std::abs(value)); v; v >>= 1) ++n;
    return n;
}

// Writes the small baseline file: headers, entropy-coded bits with 0xFF
// stuffing, markers.
class BaselineWriter {
public:
    explicit BaselineWriter(std::vector<std::uint8_t>& out) : out_(out) {
        build(standard_huffman_table(false, 0), dc_code_, dc_size_);
        build(standard_huffman_table(true, 0), ac_code_, ac_size_);
    }

    void headers(const ScanLayout& l, std::uint32_t width, std::uint32_t height, std::uint32_t mcus_per_row) {
        marker(0xD8);  // start of image
        bool wide = false;
        for (int slot = 0; slot < 4; ++slot) {
            if (!l.quant_present[slot]) continue;
            const bool sixteen = std::any_of(l.quant[slot], l.quant[slot] + 64, [](int q) { return q > 255; });
            wide = wide || sixteen;
            segment(0xDB, 1 + 64 * (sixteen ? 2 : 1));
            byte(static_cast<std::uint8_t>((sixteen ? 0x10 : 0) | slot));
            for (std::uint8_t natural : kZigzag) {
                if (sixteen) byte(static_cast<std::uint8_t>(l.quant[slot][natural] >> 8));
                byte(static_cast<std::uint8_t>(l.quant[slot][natural]));
            }
        }
        // Sixteen-bit quantisation tables need the extended sequential frame.
        segment(wide ? 0xC1 : 0xC0, 6 + 3 * l.components);
        byte(8);
        word(height);
        word(width);
        byte(static_cast<std::uint8_t>(l.components));
        for (int i = 0; i < l.components; ++i) {
            byte(l.frame[i].id);
            byte(static_cast<std::uint8_t>(l.frame[i].h << 4 | l.frame[i].v));
            byte(l.frame[i].quant_slot);
        }
        for (bool ac : {false, true}) {
            const HuffmanCodes& t = standard_huffman_table(ac, 0);
            int symbols = 0;
            for (int length = 1; length <= 16; ++length) symbols += t.counts[length];
            segment(0xC4, 17 + symbols);
            byte(ac ? 0x10 : 0x00);
            for (int length = 1; length <= 16; ++length) byte(t.counts[length]);
            for (int i = 0; i < symbols; ++i) byte(t.symbols[i]);
        }
        segment(0xDD, 2);
        word(mcus_per_row);
        segment(0xDA, 4 + 2 * l.components);
        byte(static_cast<std::uint8_t>(l.components));
        for (int j = 0; j < l.components; ++j) {
            byte(l.frame[l.scan[j].frame_index].id);
            byte(0x00);
        }
        byte(0);
        byte(63);
        byte(0);
    }

    // One block of quantised coefficients in zigzag order; DC coded against
    // *prediction. Values no standard table can code (only from corrupt
    // data) are clamped.
    void block(const std::int16_t* c, int* prediction) {
        const int diff = std::clamp(c[0] - *prediction, -2047, 2047);
        *prediction += diff;
        const int dc_bits = magnitude_bits(diff);
        bits(dc_code_[dc_bits], dc_size_[dc_bits]);
        value(diff, dc_bits);
        int run = 0;
        for (int k = 1; k < 64; ++k) {
            if (c[k] == 0) {
                ++run;
                continue;
            }
            for (; run > 15; run -= 16) bits(ac_code_[0xF0], ac_size_[0xF0]);
            const int v = std::clamp<int>(c[k], -1023, 1023);
            const int size = magnitude_bits(v);
            const int symbol = run << 4 | size;
            bits(ac_code_[symbol], ac_size_[symbol]);
            value(v, size);
            run = 0;
        }
        if (run) bits(ac_code_[0], ac_size_[0]);
    }

    // Pads the last byte with one bits.
    void align() {
        if (pending_) bits((1u << (8 - pending_)) - 1, 8 - pending_);
    }
    void marker(int code) {
        byte(0xFF);
        byte(static_cast<std::uint8_t>(code));
    }

private:
    static void build(const HuffmanCodes& t, std::uint16_t* code, std::uint8_t* size) {
        std::uint16_t next = 0;
        int p = 0;
        for (int length = 1; length <= 16; ++length) {
            for (int i = 0; i < t.counts[length]; ++i, ++p) {
                code[t.symbols[p]] = next++;
                size[t.symbols[p]] = static_cast<std::uint8_t>(length);
            }
            next = static_cast<std::uint16_t>(next << 1);
        }
    }
    void byte(std::uint8_t b) { out_.push_back(b); }
    void word(std::uint32_t w) {
        byte(static_cast<std::uint8_t>(w >> 8));
        byte(static_cast<std::uint8_t>(w));
    }
    void segment(int code, int payload) {
        marker(code);
        word(static_cast<std::uint32_t>(payload + 2));
    }
    void bits(std::uint32_t code, int length) {
        accumulator_ = accumulator_ << length | code;
        pending_ += length;
        while (pending_ >= 8) {
            pending_ -= 8;
            const auto b = static_cast<std::uint8_t>(accumulator_ >> pending_);
            byte(b);
            if (b == 0xFF) byte(0);
        }
    }
    void value(int v, int size) {
        if (size) bits(static_cast<std::uint32_t>(v < 0 ? v - 1 : v) & ((1u << size) - 1), size);
    }

    std::vector<std::uint8_t>& out_;
    std::uint64_t accumulator_ = 0;
    int pending_ = 0;
    std::uint16_t dc_code_[256]{}, ac_code_[256]{};
    std::uint8_t dc_size_[256]{}, ac_size_[256]{};
};

}  // namespace

bool region_rectangle(const ScanLayout& l, const std::int32_t source[4], RegionRectangle& out) {
    const std::int64_t left = source[0], top = source[1], right = source[2], bottom = source[3];
    if (left < 0 || top < 0 || left >= right || top >= bottom || right > std::int64_t{l.width} ||
        bottom > std::int64_t{l.height})
        return false;
    std::uint32_t unit_w = 8, unit_h = 8;
    if (l.blocks_per_mcu == 4) {
        unit_w = l.max_h >= l.max_v ? 16 : 8;
        unit_h = l.max_h >= l.max_v ? 8 : 16;
    } else if (l.blocks_per_mcu == 6) {
        unit_w = unit_h = 16;
    }
    if (unit_w % l.mcu_width || unit_h % l.mcu_height) {
        unit_w = l.mcu_width;
        unit_h = l.mcu_height;
    }
    const auto x0 = static_cast<std::uint32_t>(left) - static_cast<std::uint32_t>(left) % unit_w;
    const auto y0 = static_cast<std::uint32_t>(top) - static_cast<std::uint32_t>(top) % unit_h;
    const std::uint32_t x1 =
        std::min<std::uint64_t>(x0 + (std::uint64_t{static_cast<std::uint32_t>(right)} - x0 + unit_w - 1) / unit_w * unit_w, l.width);
    const std::uint32_t y1 =
        std::min<std::uint64_t>(y0 + (std::uint64_t{static_cast<std::uint32_t>(bottom)} - y0 + unit_h - 1) / unit_h * unit_h, l.height);
    out.pixels[0] = static_cast<std::int32_t>(x0);
    out.pixels[1] = static_cast<std::int32_t>(y0);
    out.pixels[2] = static_cast<std::int32_t>(x1);
    out.pixels[3] = static_cast<std::int32_t>(y1);
    // Upsampling reaches one chroma sample across the rectangle's edges;
    // one MCU of margin holds it.
    bool subsampled = false;
    for (int i = 0; i < l.components; ++i)
        subsampled = subsampled || l.frame[i].h != l.max_h || l.frame[i].v != l.max_v;
    const std::uint32_t margin = subsampled ? 1 : 0;
    const std::uint32_t first_column = x0 / l.mcu_width, first_row = y0 / l.mcu_height;
    out.mcus[0] = first_column - std::min(margin, first_column);
    out.mcus[1] = first_row - std::min(margin, first_row);
    out.mcus[2] = std::min((x1 + l.mcu_width - 1) / l.mcu_width + margin, l.mcus_across);
    out.mcus[3] = std::min((y1 + l.mcu_height - 1) / l.mcu_height + margin, l.mcu_rows);
    out.transcoded[0] = static_cast<std::int32_t>(out.mcus[0] * l.mcu_width);
    out.transcoded[1] = static_cast<std::int32_t>(out.mcus[1] * l.mcu_height);
    out.transcoded[2] = static_cast<std::int32_t>(std::min(std::uint64_t{out.mcus[2]} * l.mcu_width, std::uint64_t{l.width}));
    out.transcoded[3] = static_cast<std::int32_t>(std::min(std::uint64_t{out.mcus[3]} * l.mcu_height, std::uint64_t{l.height}));
    return true;
}

int transcode_region(const ScanLayout& l, const std::uint8_t* data, std::uint32_t size,
                     const RegionIndexReader& index, const RegionRectangle& r, std::vector<std::uint8_t>& jpeg) {
    jpeg.clear();
    const std::uint32_t left = r.mcus[0], top = r.mcus[1], right = r.mcus[2], bottom = r.mcus[3];
    if (left >= right || top >= bottom || right > l.mcus_across || bottom > l.mcu_rows) return kDecodeFailed;
    BaselineWriter writer(jpeg);
    writer.headers(l, static_cast<std::uint32_t>(r.transcoded[2] - r.transcoded[0]),
                   static_cast<std::uint32_t>(r.transcoded[3] - r.transcoded[1]), right - left);
    auto scanner = std::make_unique<EntropyScanner>(l, data, size);
    std::int16_t blocks[10][64];
    const std::uint32_t interval = index.interval();
    for (std::uint32_t row = top; row < bottom; ++row) {
        const std::uint32_t first = left - left % interval;
        EntropyState state;
        if (int st = index.point(row, first, state)) return st;
        scanner->restore(state);
        int prediction[4] = {};
        for (std::uint32_t column = first; column < right; ++column) {
            const std::uint64_t mcu = std::uint64_t{row} * l.mcus_across + column;
            if (l.restart_interval && column != first && mcu % l.restart_interval == 0) {
                if (scanner->restart(static_cast<int>((mcu / l.restart_interval - 1) & 7))) return kDecodeCorrupt;
            }
            if (column < left) {
                scanner->skip_mcu();
                continue;
            }
            scanner->decode_mcu(blocks);
            for (int b = 0; b < l.blocks_per_mcu; ++b) writer.block(blocks[b], &prediction[scanner->block_component(b)]);
        }
        writer.align();
        if (row + 1 < bottom) writer.marker(JPEG_RST0 + static_cast<int>((row - top) & 7));
    }
    writer.marker(JPEG_EOI);
    return kDecodeOk;
}

}  // namespace qelvio::decoding
