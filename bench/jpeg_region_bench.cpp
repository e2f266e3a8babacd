// Timings of region-index recording and region decoding on a large baseline
// JPEG named by QELVIO_REGION_JPEG (bench/region_vs_djpeg.sh makes a
// 12000 x 9000 4:2:0 one), in memory: an index-only decode; a 1/8 whole-image
// decode with and without recording; the bottom-right 128 x 128 tile at full
// scale from the index.
// Run on one core: taskset -c 1 qelvio-bench --benchmark_filter=JpegRegion
#include "decoding/bitmap_output.h"
#include "decoding/data_source.h"
#include "decoding/jpeg_decoder.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using namespace qelvio::decoding;

const std::vector<std::uint8_t>& region_jpeg() {
    static const std::vector<std::uint8_t> bytes = [] {
        std::vector<std::uint8_t> out;
        const char* path = std::getenv("QELVIO_REGION_JPEG");
        if (FILE* f = path ? std::fopen(path, "rb") : nullptr) {
            std::uint8_t buf[65536];
            while (std::size_t n = std::fread(buf, 1, sizeof buf, f)) out.insert(out.end(), buf, buf + n);
            std::fclose(f);
        }
        return out;
    }();
    return bytes;
}

ImageDataSource source() {
    return memory_data_source(region_jpeg().data(), static_cast<std::uint32_t>(region_jpeg().size()));
}

// Runs one request per iteration; the index, when given, is passed along.
void decode(benchmark::State& state, std::uint32_t flags, bool eighth, void* index = nullptr) {
    if (region_jpeg().empty()) {
        state.SkipWithError("set QELVIO_REGION_JPEG to a large baseline JPEG");
        return;
    }
    ImageInfo info{};
    JpegDecoder probe(source());
    probe.open(&info);
    for (auto _ : state) {
        JpegDecoder decoder(source());
        DecodeRequest request{};
        request.flags = flags | kDecodeNoThumbnail;
        if (eighth) {
            request.target_width = info.width / 8;
            request.target_height = info.height / 8;
        }
        if (flags & kDecodeRegion) {
            request.source[0] = static_cast<std::int32_t>(info.width) - 128;
            request.source[1] = static_cast<std::int32_t>(info.height) - 128;
            request.source[2] = static_cast<std::int32_t>(info.width);
            request.source[3] = static_cast<std::int32_t>(info.height);
            request.region_index = index;
        }
        DecodeResult result{};
        if (decoder.PageDecode(request, result) != 0) state.SkipWithError("decode failed");
        release_decode_result(result);
    }
}

void BM_JpegRegionIndexOnly(benchmark::State& state) { decode(state, kDecodeRecordIndex | kDecodeIndexOnly, false); }
void BM_JpegRegionEighthWithoutIndex(benchmark::State& state) { decode(state, 0, true); }
void BM_JpegRegionEighthRecording(benchmark::State& state) { decode(state, kDecodeRecordIndex, true); }

void BM_JpegRegionTile(benchmark::State& state) {
    void* index = nullptr;
    if (!region_jpeg().empty()) {
        JpegDecoder decoder(source());
        DecodeRequest request{};
        request.flags = kDecodeRecordIndex | kDecodeIndexOnly;
        DecodeResult result{};
        decoder.PageDecode(request, result);
        index = result.region_index;
    }
    decode(state, kDecodeRegion, false, index);
    std::free(index);
}

}  // namespace

BENCHMARK(BM_JpegRegionIndexOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegRegionEighthWithoutIndex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegRegionEighthRecording)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegRegionTile)->Unit(benchmark::kMicrosecond);
