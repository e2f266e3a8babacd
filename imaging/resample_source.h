// Reading source rows for the resamplers: every supported bit count as
// blue-green-red bytes, or as one grey byte a pixel (the colour table's
// green byte) when the source's colour table is all grey. Internal to the
// imaging library.
#pragma once

#include "imaging/dib.h"

#include <cstdint>
#include <memory>

namespace qelvio::imaging {

// A zero-filled block from the bitmap allocator, released with it; null
// when memory runs out.
template <class T>
using Block = std::unique_ptr<T[], void (*)(void*)>;

template <class T>
Block<T> make_block(std::size_t n) {
    return Block<T>(static_cast<T*>(DibAllocate(sizeof(T) * n)), DibRelease);
}

// How a 5-bit channel becomes 8 bits.
enum class FiveBitExpansion {
    Shift,    // v x 8
    Rounded,  // (v x 255 + 16) / 31
};

class SourceRows {
public:
    explicit SourceRows(const Dib& source,
                        FiveBitExpansion expansion = FiveBitExpansion::Shift);

    // False for an empty source or an unsupported bit count.
    bool ok() const { return ok_; }
    // 1 for a grey source, 3 otherwise.
    int channels() const { return channels_; }
    // Allocates the conversion buffer; false when memory runs out.
    bool allocate();
    // Values of stored row y (memory order); valid until the next call.
    const std::uint8_t* row(int y);

private:
    const Dib& source_;
    int bits_ = 0;
    int width_ = 0;
    int channels_ = 3;
    bool ok_ = false;
    std::uint8_t lookup_[256][3] = {};  // colour table or 5-bit expansion
    std::unique_ptr<std::uint8_t[], void (*)(void*)> buffer_{nullptr, DibRelease};
};

// The resamplers' result: 8-bit with a grey ramp when the source's colour
// table is all grey, 24-bit otherwise. Null when creation fails.
DibPtr create_resample_result(const Dib& source, int width, int height);

}  // namespace qelvio::imaging
