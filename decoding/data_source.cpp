#include "decoding/data_source.h"

#include "decoding/decoder_status.h"

#include <algorithm>
#include <cstring>

namespace qelvio::decoding {
namespace {

int memory_ensure(void* user, std::uint32_t n, std::uint32_t* available) {
    auto size = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(user));
    if (available) *available = std::min(n, size);
    return 1;
}

}  // namespace

ImageDataSource memory_data_source(const std::uint8_t* data, std::uint32_t size,
                                   const char16_t* name) {
    ImageDataSource s{};
    s.flags = kSourceInMemory;
    s.name = name;
    s.data = data;
    s.size = data ? size : 0;
    s.ensure = memory_ensure;
    s.user = reinterpret_cast<void*>(static_cast<std::uintptr_t>(s.size));
    return s;
}

std::uint32_t ensure_available(const ImageDataSource& source, std::uint32_t n) {
    if (!source.data) return 0;
    n = std::min(n, source.size);
    if (!source.ensure) return n;
    std::uint32_t available = 0;
    if (!source.ensure(source.user, n, &available)) return 0;
    return std::min(available, source.size);
}

bool SourceReader::have(std::uint64_t end) {
    if (end <= available_) return true;
    if (end > source_.size) return false;
    available_ = std::max(available_, ensure_available(source_, static_cast<std::uint32_t>(end)));
    return end <= available_;
}

const std::uint8_t* SourceReader::take(std::uint32_t n) {
    if (!have(std::uint64_t{position_} + n)) return nullptr;
    const std::uint8_t* p = source_.data + position_;
    position_ += n;
    return p;
}

int SourceReader::read(void* out, std::uint32_t n) {
    const std::uint8_t* p = take(n);
    if (!p) return kDecodeTruncated;
    if (n) std::memcpy(out, p, n);
    return kDecodeOk;
}

int SourceReader::byte() {
    const std::uint8_t* p = take(1);
    return p ? *p : -1;
}

int SourceReader::skip(std::uint32_t n) { return take(n) ? kDecodeOk : kDecodeTruncated; }

int SourceReader::seek(std::uint32_t position) {
    if (position > source_.size) return kDecodeTruncated;
    position_ = position;
    return kDecodeOk;
}

}  // namespace qelvio::decoding
