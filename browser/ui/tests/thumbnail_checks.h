// What the image list shows as a file's thumbnail, compared with what a
// fresh image object makes of a reference file (a jpegtran result, say).
#pragma once

#include "decoding/source/image_source.h"
#include "imaging/dib.h"
#include "shell/command_line.h"

#include <QString>
#include <QTest>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace qelvio::browser::testing {

// The thumbnail a fresh image object makes of a file (null when none).
inline imaging::DibPtr fresh_thumbnail(const QString& local) {
    decoding::p_ImageSource image(*shell::file_irl(local.toStdU16String()));
    if (image.thumbnail() != 0) return nullptr;
    uint64_t file_time = 0;
    return image.copy_thumbnail(&file_time);
}

inline bool same_pixels(const imaging::Dib& a, const imaging::Dib& b) {
    if (imaging::DibWidth(a) != imaging::DibWidth(b) || imaging::DibHeight(a) != imaging::DibHeight(b) ||
        imaging::DibBitCount(a) != imaging::DibBitCount(b))
        return false;
    const std::size_t row_bytes = static_cast<std::size_t>(imaging::DibWidth(a)) * imaging::DibBitCount(a) / 8;
    for (int row = 0; row < imaging::DibHeight(a); ++row)
        if (std::memcmp(imaging::DibRow(a, row), imaging::DibRow(b, row), row_bytes) != 0) return false;
    return true;
}

// The mean difference per sample of two 24-bit bitmaps; -1 when their
// sizes differ.
inline double mean_difference(const imaging::Dib& a, const imaging::Dib& b) {
    const int w = imaging::DibWidth(a), h = imaging::DibHeight(a);
    if (w != imaging::DibWidth(b) || h != imaging::DibHeight(b)) return -1;
    double sum = 0;
    for (int row = 0; row < h; ++row)
        for (int i = 0; i < w * 3; ++i) sum += std::abs(imaging::DibRow(a, row)[i] - imaging::DibRow(b, row)[i]);
    return sum / (w * h * 3);
}

// Waits until the image has a thumbnail (the list decodes it on its worker).
inline bool wait_for_thumbnail(const decoding::p_ImageSource* image) {
    for (int i = 0; i < 500 && !image->thumbnail_bitmap(); ++i) QTest::qWait(10);
    return image->thumbnail_bitmap() != nullptr;
}

// Whether the bitmap is taller than wide.
inline bool upright(const imaging::Dib& dib) { return imaging::DibHeight(dib) > imaging::DibWidth(dib); }

}  // namespace qelvio::browser::testing
