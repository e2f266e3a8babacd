// Source rows for the resamplers, expanded to blue-green-red or grey bytes.
#include "imaging/resample_source.h"

namespace qelvio::imaging {

SourceRows::SourceRows(const Dib& source, FiveBitExpansion expansion) : source_(source) {
    if (!source.bitmap) return;
    bits_ = DibBitCount(source);
    width_ = DibWidth(source);
    if (bits_ != 1 && bits_ != 4 && bits_ != 8 && bits_ != 16 && bits_ != 24) return;
    channels_ = DibIsGrey(source) ? 1 : 3;
    if (bits_ <= 8) {
        const RgbQuad* table = DibColourTable(source);
        for (int i = 0; i < (1 << bits_); ++i) {
            if (channels_ == 1) {
                lookup_[i][0] = table[i].green;
            } else {
                lookup_[i][0] = table[i].blue;
                lookup_[i][1] = table[i].green;
                lookup_[i][2] = table[i].red;
            }
        }
    } else if (bits_ == 16) {
        for (int v = 0; v < 32; ++v) {
            lookup_[v][0] = static_cast<std::uint8_t>(
                expansion == FiveBitExpansion::Shift ? v * 8 : (v * 255 + 16) / 31);
        }
    }
    ok_ = true;
}

bool SourceRows::allocate() {
    if (bits_ == 24) return true;
    buffer_.reset(static_cast<std::uint8_t*>(DibAllocate(std::size_t(width_) * channels_)));
    return buffer_ != nullptr;
}

const std::uint8_t* SourceRows::row(int y) {
    const std::uint8_t* s = DibRow(source_, y);
    if (bits_ == 24) return s;
    std::uint8_t* d = buffer_.get();
    if (bits_ == 16) {
        for (int x = 0; x < width_; ++x, d += 3) {
            const unsigned v = s[2 * x] | (s[2 * x + 1] << 8);
            d[0] = lookup_[v & 0x1F][0];
            d[1] = lookup_[(v >> 5) & 0x1F][0];
            d[2] = lookup_[(v >> 10) & 0x1F][0];
        }
        return buffer_.get();
    }
    for (int x = 0; x < width_; ++x) {
        unsigned index;
        if (bits_ == 8) {
            index = s[x];
        } else if (bits_ == 4) {
            index = (s[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
        } else {
            index = (s[x >> 3] >> (7 - (x & 7))) & 1;
        }
        if (channels_ == 1) {
            *d++ = lookup_[index][0];
        } else {
            d[0] = lookup_[index][0];
            d[1] = lookup_[index][1];
            d[2] = lookup_[index][2];
            d += 3;
        }
    }
    return buffer_.get();
}

DibPtr create_resample_result(const Dib& source, int width, int height) {
    auto result = std::make_unique<Dib>();
    if (DibIsGrey(source)) {
        RgbQuad ramp[256];
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            ramp[i] = {v, v, v, 0};
        }
        if (!DibCreate(*result, width, height, 8, 256, ramp)) return nullptr;
    } else if (!DibCreate(*result, width, height, 24, 0)) {
        return nullptr;
    }
    return result;
}

}  // namespace qelvio::imaging
