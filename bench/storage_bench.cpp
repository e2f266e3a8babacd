// Copying a 200 MB file through the file tree: the store's own copy (same
// tree) and the 32000-byte byte copy between trees. Compare with
// `cp` on the same file (see the README's benchmark notes).
#include "qelvio/p_devicestore.h"
#include "qelvio/p_fileops.h"
#include "qelvio/p_mcp.h"
#include "platform/device_root.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

constexpr std::size_t kFileSize = 200'000'000;

// The device under another scheme, so that copies go through the byte copy.
struct OtherStore : p_devicestore {
    OtherStore() { scheme = u"other"; }
};

struct CopyBench {
    CopyBench() {
        root = std::filesystem::temp_directory_path() / ("qelvio-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "src");
        std::filesystem::create_directories(root / "dst");
        std::ofstream out(root / "src/big.bin", std::ios::binary);
        std::string block(1 << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7919 >> 3);
        for (std::size_t done = 0; done < kFileSize; done += block.size())
            out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), kFileSize - done)));
        qelvio::platform::set_device_root(root.string());
    }
    ~CopyBench() {
        qelvio::platform::set_device_root("");
        std::filesystem::remove_all(root);
    }
    p_filenode* node(p_mcp& mcp, const char16_t* scheme, const char16_t* path) {
        p_irl irl;
        irl.set(scheme, u"", path);
        p_filenode* found = nullptr;
        mcp.openfile(irl, &found);
        return found;
    }
    std::filesystem::path root;
};

void run_copy(benchmark::State& state, const char16_t* target_scheme) {
    CopyBench bench;
    p_mcp mcp;
    OtherStore other;
    other.registerstore(true);
    p_filenode* source = bench.node(mcp, u"file", u"\\src\\big.bin");
    p_filenode* target = bench.node(mcp, target_scheme, u"\\dst");
    for (auto _ : state) {
        if (p_copyintofolder(target, source, nullptr, false) != P_OK) state.SkipWithError("copy failed");
        state.PauseTiming();
        target->deletechild(u"big.bin");
        state.ResumeTiming();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
    other.registerstore(false);
}

void BM_NodeCopySameTree(benchmark::State& state) { run_copy(state, u"file"); }
void BM_NodeByteCopyBetweenTrees(benchmark::State& state) { run_copy(state, u"other"); }

BENCHMARK(BM_NodeCopySameTree)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_NodeByteCopyBetweenTrees)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
