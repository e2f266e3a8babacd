// Reading an ImageDataSource safely: a cursor that asks the source to make
// bytes available before every read and never reads past what it reported,
// and a data source over bytes that are already in memory.
#pragma once

#include "decoding/decoder_records.h"

#include <cstdint>

namespace qelvio::decoding {

// A data source over `size` bytes in memory (all available from the start).
// The bytes and the name must outlive every decoder made over it.
ImageDataSource memory_data_source(const std::uint8_t* data, std::uint32_t size,
                                   const char16_t* name = nullptr);

// Asks the source for the first n bytes (capped at its size); returns the
// number available afterwards (0 when the source refuses).
std::uint32_t ensure_available(const ImageDataSource& source, std::uint32_t n);

class SourceReader {
public:
    explicit SourceReader(const ImageDataSource& source) : source_(source) {}

    std::uint32_t position() const { return position_; }
    std::uint32_t size() const { return source_.size; }
    const ImageDataSource& source() const { return source_; }

    // Pointer to the next n bytes, advancing past them; null (and no move)
    // when they cannot be made available.
    const std::uint8_t* take(std::uint32_t n);
    // Copies the next n bytes; kDecodeTruncated when they are not there.
    int read(void* out, std::uint32_t n);
    // The next byte, or -1 at the end of the data.
    int byte();
    // Moves forward n bytes; kDecodeTruncated past the end.
    int skip(std::uint32_t n);
    // Moves to an absolute position (at most the size).
    int seek(std::uint32_t position);

private:
    bool have(std::uint64_t end);

    ImageDataSource source_;
    std::uint32_t position_ = 0;
    std::uint32_t available_ = 0;
};

}  // namespace qelvio::decoding
