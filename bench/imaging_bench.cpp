// Timings of the pixel operations on camera-sized (4000 x 3000) images.
// Run on one core: taskset -c 1 qelvio-bench
#include "imaging/dib.h"
#include "imaging/levels.h"
#include "imaging/resample.h"
#include "imaging/transform.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

using namespace qelvio::imaging;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A deterministic photo-like picture: smooth gradients plus a little noise.
const Dib& camera_image() {
    static Dib dib = [] {
        Dib d;
        DibCreate(d, kWidth, kHeight, 24, 0);
        std::uint32_t seed = 12345;
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* row = DibRow(d, y);
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1103515245u + 12345u;
                const int noise = static_cast<int>((seed >> 16) & 15) - 8;
                row[3 * x] = static_cast<std::uint8_t>(std::clamp(x * 255 / kWidth + noise, 0, 255));
                row[3 * x + 1] = static_cast<std::uint8_t>(std::clamp(y * 255 / kHeight + noise, 0, 255));
                row[3 * x + 2] = static_cast<std::uint8_t>(std::clamp((x + y) % 256 + noise, 0, 255));
            }
        }
        return d;
    }();
    return dib;
}

const Dib& paletted_image() {
    static Dib dib = [] {
        Dib d;
        RgbQuad table[256];
        for (int i = 0; i < 256; ++i) {
            table[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i),
                        static_cast<std::uint8_t>(i * 7), 0};
        }
        DibCreate(d, kWidth, kHeight, 8, 256, table);
        for (int y = 0; y < kHeight; ++y) {
            std::uint8_t* row = DibRow(d, y);
            for (int x = 0; x < kWidth; ++x) row[x] = static_cast<std::uint8_t>(x ^ y);
        }
        return d;
    }();
    return dib;
}

// Result blocks can come fresh from the system (every page is faulted in on
// first touch, which dominates on virtual machines) or be recycled, as they
// are in an editing session where each result replaces the previous image.
// Benchmarks with the argument warm:1 install this recycling allocator; it
// still zero-fills every block, as the default does.
class RecyclingAllocator {
public:
    static void* allocate(std::size_t bytes) {
        auto& pool = instance().pool_;
        for (std::size_t i = 0; i < pool.size(); ++i) {
            auto [block, size] = pool[i];
            if (size >= bytes && size <= 2 * bytes) {
                pool.erase(pool.begin() + static_cast<std::ptrdiff_t>(i));
                std::memset(block, 0, bytes);
                return block;
            }
        }
        void* block = std::calloc(1, bytes);
        if (block) instance().sizes_[block] = bytes;
        return block;
    }
    static void release(void* block) {
        auto& self = instance();
        const std::size_t size = self.sizes_[block];
        if (size >= (1u << 20) && self.pool_.size() < 8) {
            self.pool_.push_back({block, size});
            return;
        }
        self.sizes_.erase(block);
        std::free(block);
    }

private:
    static RecyclingAllocator& instance() {
        static RecyclingAllocator a;
        return a;
    }
    std::vector<std::pair<void*, std::size_t>> pool_;
    std::unordered_map<void*, std::size_t> sizes_;
};

// Installs the recycling allocator for the benchmark when its argument is 1.
class AllocatorScope {
public:
    explicit AllocatorScope(const benchmark::State& state) : warm_(state.range(0) == 1) {
        // The shared pictures are made (and later freed) by the default allocator.
        camera_image();
        paletted_image();
        if (warm_) previous_ = DibSetAllocator({RecyclingAllocator::allocate, RecyclingAllocator::release});
    }
    ~AllocatorScope() {
        if (warm_) DibSetAllocator(previous_);
    }

private:
    bool warm_;
    DibAllocator previous_{};
};

void set_bytes(benchmark::State& state, std::size_t bytes_per_iteration) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes_per_iteration));
}

void BM_DibScale_AreaAverageSharpen_To64x48(benchmark::State& state) {
    AllocatorScope scope(state);
    const Dib& src = camera_image();
    for (auto _ : state) {
        auto out = DibScale(src, 64, 48, AreaAverageSharpen);
        benchmark::DoNotOptimize(out.get());
    }
    set_bytes(state, DibImageSize(src));
}
BENCHMARK(BM_DibScale_AreaAverageSharpen_To64x48)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DibResize_Lanczos3_To1000x750(benchmark::State& state) {
    AllocatorScope scope(state);
    const Dib& src = camera_image();
    for (auto _ : state) {
        auto out = DibResize(src, 1000, 750, Lanczos3);
        benchmark::DoNotOptimize(out.get());
    }
    set_bytes(state, DibImageSize(src));
}
BENCHMARK(BM_DibResize_Lanczos3_To1000x750)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DibRotate90(benchmark::State& state) {
    AllocatorScope scope(state);
    const Dib& src = camera_image();
    for (auto _ : state) {
        auto out = DibRotate(src, 90);
        benchmark::DoNotOptimize(out.get());
    }
    set_bytes(state, DibImageSize(src));
}
BENCHMARK(BM_DibRotate90)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The yardsticks for the rotation: a plain memcpy of the same bytes, into a
// fresh block from the bitmap allocator (as the rotation's result is), and
// into a block that is already mapped.
void BM_Memcpy_FreshBlock(benchmark::State& state) {
    const Dib& src = camera_image();
    const std::size_t n = DibImageSize(src);
    for (auto _ : state) {
        void* block = DibAllocate(n);
        std::memcpy(block, src.pixels, n);
        benchmark::DoNotOptimize(block);
        DibRelease(block);
    }
    set_bytes(state, n);
}
BENCHMARK(BM_Memcpy_FreshBlock)->Unit(benchmark::kMillisecond);

void BM_Memcpy_MappedBlock(benchmark::State& state) {
    const Dib& src = camera_image();
    const std::size_t n = DibImageSize(src);
    auto block = std::make_unique<std::uint8_t[]>(n);
    std::memset(block.get(), 1, n);
    for (auto _ : state) {
        std::memcpy(block.get(), src.pixels, n);
        benchmark::DoNotOptimize(block.get());
        benchmark::ClobberMemory();
    }
    set_bytes(state, n);
}
BENCHMARK(BM_Memcpy_MappedBlock)->Unit(benchmark::kMillisecond);

void BM_DibLevels(benchmark::State& state) {
    AllocatorScope scope(state);
    const Dib& src = camera_image();
    LevelsParams p;
    p.black = 10;
    p.white = 240;
    p.contrast = 20;
    p.brightness = 5;
    p.gamma = 2.0;
    for (auto _ : state) {
        auto out = DibLevels(src, p);
        benchmark::DoNotOptimize(out.get());
    }
    set_bytes(state, DibImageSize(src));
}
BENCHMARK(BM_DibLevels)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DibToTrueColor_8bit(benchmark::State& state) {
    AllocatorScope scope(state);
    const Dib& src = paletted_image();
    for (auto _ : state) {
        auto out = DibToTrueColor(src);
        benchmark::DoNotOptimize(out.get());
    }
    set_bytes(state, DibImageSize(src));
}
BENCHMARK(BM_DibToTrueColor_8bit)->ArgName("warm")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
