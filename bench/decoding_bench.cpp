// Timings of the JPEG decoder's thumbnail path on a 4000 x 3000 camera-like
// JPEG (made with cjpeg at start-up), in memory: a 64 x 48 target (a 4:3
// picture fitted into 64 x 64) decoded at 1/8 by the library, and the same
// request served from a 160 x 120 Exif thumbnail.
// Run on one core: taskset -c 1 qelvio-bench --benchmark_filter=Jpeg
#include "decoding/bitmap_output.h"
#include "decoding/data_source.h"
#include "decoding/jpeg_decoder.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace qelvio::decoding;

std::vector<std::uint8_t> run_and_read(const std::string& command, const std::string& file) {
    if (std::system(command.c_str()) != 0) return {};
    std::vector<std::uint8_t> bytes;
    if (FILE* f = std::fopen(file.c_str(), "rb")) {
        std::uint8_t buf[65536];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, f)) bytes.insert(bytes.end(), buf, buf + n);
        std::fclose(f);
    }
    return bytes;
}

// The two test files: without and with a 160 x 120 Exif thumbnail.
const std::vector<std::uint8_t>& camera_jpeg(bool with_thumbnail) {
    static const std::array<std::vector<std::uint8_t>, 2> files = [] {
        char tmpl[] = "/tmp/qelvio_bench_XXXXXX";
        std::string dir = mkdtemp(tmpl) ? tmpl : "/tmp";
        std::vector<std::uint8_t> plain = run_and_read(
            "convert -size 4000x3000 -seed 7 plasma:fractal -attenuate 0.4 +noise Gaussian -depth 8 " +
                dir + "/big.ppm && cjpeg -quality 90 -outfile " + dir + "/big.jpg " + dir + "/big.ppm",
            dir + "/big.jpg");
        std::vector<std::uint8_t> thumb = run_and_read(
            "convert -size 160x120 gradient:red-blue " + dir + "/t.jpg && cp " + dir + "/big.jpg " + dir +
                "/tb.jpg && exiftool -q -overwrite_original '-ThumbnailImage<=" + dir + "/t.jpg' " + dir +
                "/tb.jpg",
            dir + "/tb.jpg");
        if (std::system(("rm -rf " + dir).c_str()) != 0) {}
        return std::array<std::vector<std::uint8_t>, 2>{plain, thumb};
    }();
    return files[with_thumbnail ? 1 : 0];
}

void decode_64x48(benchmark::State& state, bool with_thumbnail) {
    const std::vector<std::uint8_t>& bytes = camera_jpeg(with_thumbnail);
    if (bytes.empty()) {
        state.SkipWithError("could not make the test JPEG");
        return;
    }
    for (auto _ : state) {
        JpegDecoder decoder(memory_data_source(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
        DecodeRequest request{};
        request.target_width = 64;
        request.target_height = 48;
        DecodeResult result{};
        if (decoder.PageDecode(request, result) != 0) state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(result.bitmap);
        release_decode_result(result);
    }
}

void BM_JpegThumbnailWithoutExif(benchmark::State& state) { decode_64x48(state, false); }
void BM_JpegThumbnailFromExif(benchmark::State& state) { decode_64x48(state, true); }

BENCHMARK(BM_JpegThumbnailWithoutExif)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegThumbnailFromExif)->Unit(benchmark::kMicrosecond);

}  // namespace
