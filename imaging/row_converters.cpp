// Scan-line converters that turn decoder samples into Dib rows.
#include "imaging/dib.h"

#include <algorithm>

namespace qelvio::imaging {

void CmykTableBuild(CmykTable& table) {
    for (int i = 0; i < 256; ++i) {
        table[i] = 0;
        table[256 + i] = static_cast<std::uint8_t>(i);
    }
}

void row_cmyk_to_bgr(const std::uint8_t* source, std::uint8_t* destination, int count,
                     bool invert, const CmykTable& table) {
    for (int i = 0; i < count; ++i, source += 4, destination += 3) {
        int c = source[0], m = source[1], y = source[2], k = source[3];
        if (invert) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // x' + k never exceeds 255: x' = (255 - k) x / 255 <= 255 - k.
        auto channel = [&](int x) {
            int scaled = ((255 - k) * x) / 255;
            return static_cast<std::uint8_t>(255 - table[256 + scaled + k]);
        };
        destination[0] = channel(y);
        destination[1] = channel(m);
        destination[2] = channel(c);
    }
}

void row_rgbx_to_bgr(const std::uint8_t* source, std::uint8_t* destination, int count) {
    for (int i = 0; i < count; ++i, source += 4, destination += 3) {
        destination[0] = source[2];
        destination[1] = source[1];
        destination[2] = source[0];
    }
}

void row_444_to_bgr(const std::uint8_t* source, std::uint8_t* destination, int count) {
    for (int i = 0; i < count; ++i, source += 2, destination += 3) {
        destination[0] = static_cast<std::uint8_t>(source[1] & 0xF0);
        destination[1] = static_cast<std::uint8_t>((source[0] & 0x0F) << 4);
        destination[2] = static_cast<std::uint8_t>(source[0] & 0xF0);
    }
}

void row_grey12_to_8(const std::uint8_t* source, std::uint8_t* destination, int count,
                     bool invert) {
    auto out = [invert](int v) {
        v = std::min((v + 7) >> 4, 255);
        return static_cast<std::uint8_t>(invert ? 255 - v : v);
    };
    int i = 0;
    for (; i + 1 < count; i += 2, source += 3) {
        destination[i] = out(source[0] * 16 + (source[1] >> 4));
        destination[i + 1] = out((source[1] & 0x0F) * 256 + source[2]);
    }
    if (i < count) destination[i] = out(source[0] * 16 + (source[1] >> 4));
}

void row_grey16_to_8(const std::uint8_t* source, std::uint8_t* destination, int count,
                     bool second_byte, bool invert) {
    const std::uint8_t flip = invert ? 0xFF : 0x00;
    source += second_byte ? 1 : 0;
    for (int i = 0; i < count; ++i) destination[i] = source[2 * i] ^ flip;
}

void row_unpack2(const std::uint8_t* source, std::uint8_t* destination, int count) {
    for (int i = 0; i < count; ++i) {
        destination[i] = static_cast<std::uint8_t>((source[i >> 2] >> (6 - 2 * (i & 3))) & 3);
    }
}

void row_pack1(const std::uint8_t* source, std::uint8_t* destination, int count) {
    for (int i = 0; i < count; i += 8) {
        std::uint8_t byte = 0;
        for (int b = 0; b < 8 && i + b < count; ++b) {
            byte |= static_cast<std::uint8_t>((source[i + b] & 1) << (7 - b));
        }
        destination[i >> 3] = byte;
    }
}

void row_pack4(const std::uint8_t* source, std::uint8_t* destination, int count) {
    int i = 0;
    for (; i + 1 < count; i += 2) {
        destination[i >> 1] =
            static_cast<std::uint8_t>(((source[i] & 0x0F) << 4) | (source[i + 1] & 0x0F));
    }
    if (i < count) destination[i >> 1] = static_cast<std::uint8_t>((source[i] & 0x0F) << 4);
}

void row_reverse1(std::uint8_t* row, int count) {
    auto get = [row](int i) { return (row[i >> 3] >> (i & 7)) & 1; };
    auto put = [row](int i, int v) {
        row[i >> 3] = static_cast<std::uint8_t>((row[i >> 3] & ~(1 << (i & 7))) | (v << (i & 7)));
    };
    for (int i = 0, j = count - 1; i < j; ++i, --j) {
        const int a = get(i), b = get(j);
        put(i, b);
        put(j, a);
    }
}

void row_reverse8(std::uint8_t* row, int count) {
    if (count > 1) std::reverse(row, row + count);
}

void row_reverse24(std::uint8_t* row, int count) {
    for (int i = 0, j = count - 1; i < j; ++i, --j) {
        for (int b = 0; b < 3; ++b) std::swap(row[3 * i + b], row[3 * j + b]);
    }
}

}  // namespace qelvio::imaging
