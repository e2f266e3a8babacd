// Conversion of any supported Dib to 24-bit blue-green-red rows.
#include "imaging/dib.h"

#include <cstring>

namespace qelvio::imaging {

namespace {

void row_from_555(const std::uint8_t* s, std::uint8_t* d, int width) {
    for (int x = 0; x < width; ++x, s += 2, d += 3) {
        const unsigned v = s[0] | (s[1] << 8);
        d[0] = static_cast<std::uint8_t>((v & 0x1F) << 3);
        d[1] = static_cast<std::uint8_t>(((v >> 5) & 0x1F) << 3);
        d[2] = static_cast<std::uint8_t>(((v >> 10) & 0x1F) << 3);
    }
}

void row_from_indices(const std::uint8_t* s, std::uint8_t* d, int width, int bits,
                      const RgbQuad* table) {
    for (int x = 0; x < width; ++x, d += 3) {
        unsigned index;
        if (bits == 8) {
            index = s[x];
        } else if (bits == 4) {
            index = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        } else {
            index = (s[x >> 3] >> (7 - (x & 7))) & 1;
        }
        const RgbQuad& q = table[index];
        d[0] = q.blue;
        d[1] = q.green;
        d[2] = q.red;
    }
}

}  // namespace

DibPtr DibToTrueColor(const Dib& source, ProgressCallback progress, std::intptr_t user) {
    if (!source.bitmap) return nullptr;
    const int bits = DibBitCount(source);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24) return nullptr;
    const int width = DibWidth(source), height = DibHeight(source);
    auto result = std::make_unique<Dib>();
    if (!DibCreate(*result, width, height, 24, 0)) return nullptr;
    const RgbQuad* table = DibColourTable(source);
    const std::size_t out_bytes = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = DibRow(source, y);
        std::uint8_t* d = DibRow(*result, y);
        if (bits == 24) {
            std::memcpy(d, s, out_bytes);
        } else if (bits == 16) {
            row_from_555(s, d, width);
        } else {
            row_from_indices(s, d, width, bits, table);
        }
        // Row mode; the conversion always runs to the end.
        if (progress) progress(user, y, height);
    }
    return result;
}

DibPtr DibTo16Bit(const Dib& source) {
    if (!source.bitmap || DibBitCount(source) != 24) return nullptr;
    const int width = DibWidth(source), height = DibHeight(source);
    auto result = std::make_unique<Dib>();
    if (!DibCreate(*result, width, height, 16, 0)) return nullptr;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = DibRow(source, y);
        std::uint8_t* d = DibRow(*result, y);
        for (int x = 0; x < width; ++x, s += 3, d += 2) {
            const unsigned v = (s[0] >> 3) | ((s[1] >> 3) << 5) | ((s[2] >> 3) << 10);
            d[0] = static_cast<std::uint8_t>(v);
            d[1] = static_cast<std::uint8_t>(v >> 8);
        }
    }
    return result;
}

}  // namespace qelvio::imaging
