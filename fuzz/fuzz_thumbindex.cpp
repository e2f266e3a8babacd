// Fuzzes loading the thumbnail index, then a save pass over what was
// loaded (trim, sweep, index) inside a scratch device.
#include "thumbnails/p_thumbcache.h"
#include "fuzz/scratch_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchDevice device;
    if (!device.write(u"\\thumbs\\index", data, size)) return 0;
    qelvio::thumbnails::p_thumbcache cache(u"\\thumbs");
    for (const auto& record : cache.records())
        if (record.path.size() > qelvio::thumbnails::kMaxIndexPath) __builtin_trap();
    cache.save(false, false);
    return 0;
}
