// The physical segments of a JPEG file up to its scan, read plainly from the
// bytes, to check what the editor and the writers produce.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// (marker, payload size) of each segment after the start of image, the
// start-of-scan segment last.
inline std::vector<std::pair<int, int>> jpeg_segments(const std::string& bytes) {
    std::vector<std::pair<int, int>> out;
    for (std::size_t pos = 2; pos + 4 <= bytes.size() && static_cast<uint8_t>(bytes[pos]) == 0xFF;) {
        int marker = static_cast<uint8_t>(bytes[pos + 1]);
        int length = (static_cast<uint8_t>(bytes[pos + 2]) << 8) | static_cast<uint8_t>(bytes[pos + 3]);
        out.emplace_back(marker, length - 2);
        if (marker == 0xDA) break;
        pos += 2 + static_cast<std::size_t>(length);
    }
    return out;
}
