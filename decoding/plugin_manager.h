// PluginManager: the process-wide owner of the decoder modules. It keeps
// the modules sorted by order key and path, loads a module's entry points on
// demand (every wrapper loads first when its entry point is empty), and
// answers which module can open a file, which format row belongs to a code,
// and which file extensions are images.
//
// The program has one module, the built-in one (BMP, GIF, JPEG, TIFF).
// Other modules can be added while the manager is being set up (tests use
// this); loading external module files and the module information cache in
// the registry are not implemented.
//
// Concurrency: loading and unloading a module happen under that module's
// lock. The module arrays are built at start and not changed afterwards, so
// lookups take no lock. Decoders themselves are used by one thread at a time.
#pragma once

#include "decoding/decoder_entry_points.h"
#include "platform/registry_key.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qelvio::decoding {

// Load results.
enum PluginLoadResult : int {
    kPluginLoaded = 0,
    kPluginIncomplete = 2,    // required entry points missing after resolving
    kPluginInitFailed = 3,    // initialize failed
    kPluginNoInformation = 4, // get information failed
};

// DecoderPlugin::flags
inline constexpr std::uint16_t kPluginFlagLoaded = 1;
inline constexpr std::uint16_t kPluginFlagEnabled = 2;
inline constexpr std::uint16_t kPluginFlagStatusQuery = 4;

// The manager's deep copy of a module's information: valid while the
// module is unloaded.
struct CopiedPluginInfo {
    PluginInfo info{};
    std::vector<FormatEntry> formats;
    std::vector<std::u16string> extension_lists;  // with their terminators
    std::vector<std::u16string> mime_types;
};

struct DecoderPlugin;
// Fills a module's entry points (the built-in module stores its own table;
// a module file would look its functions up). False when it cannot.
using PluginResolver = bool (*)(DecoderPlugin& module);
// Frees a module's library handle.
using PluginLibraryRelease = void (*)(void* handle);

// One module.
struct DecoderPlugin {
    std::u16string path;           // empty for the built-in module
    void* module_handle = nullptr; // the loaded library, or null
    std::uint16_t order = 0x8000;
    std::uint16_t flags = kPluginFlagEnabled;
    std::uint32_t file_size = 0;
    std::uint64_t file_time = 0;
    std::mutex lock;               // serializes load and unload
    std::unique_ptr<CopiedPluginInfo> info;
    DecoderEntryPoints entry_points{};
    PluginResolver resolve = nullptr;
    PluginLibraryRelease release = nullptr;
};

class PluginManager {
public:
    // Opens the registry keys, creates the built-in module, loads it (to
    // copy its information), inserts it and unloads it again.
    PluginManager();
    ~PluginManager();
    PluginManager(const PluginManager&) = delete;
    PluginManager& operator=(const PluginManager&) = delete;

    // The process-wide manager.
    static PluginManager& instance();

    // Adds a module during set-up: created enabled and unloaded, loaded once
    // to copy its information, inserted at its sorted place. Returns it.
    DecoderPlugin* add_module(std::u16string path, std::uint16_t order, PluginResolver resolve,
                              PluginLibraryRelease release = nullptr);

    // Loads a module's entry points (PluginLoadResult).
    int load(DecoderPlugin& module);
    // Clears a module's entry points; a module with a library handle writes
    // "PIM: Unloading <path>" to the debug output and frees the library.
    void unload(DecoderPlugin& module);

    // Entry-point wrappers: load on demand (-14 when loading fails), -4 when
    // the entry point stays empty, else the entry point's result.
    int open_decoder(DecoderPlugin& m, const ImageDataSource& source, ImageDecoder** decoder);
    int close_decoder(DecoderPlugin& m, ImageDecoder* decoder);
    int decoder_open(DecoderPlugin& m, ImageDecoder* decoder, ImageInfo* info);
    int decoder_page_info(DecoderPlugin& m, ImageDecoder* decoder, std::uint32_t page, PageInfo* info);
    int decoder_page_decode(DecoderPlugin& m, ImageDecoder* decoder, const DecodeRequest& request,
                            DecodeResult& result);
    int decoder_begin_rows(DecoderPlugin& m, ImageDecoder* decoder, const DecodeRequest& request,
                           RowFormat& format);
    int decoder_read_row(DecoderPlugin& m, ImageDecoder* decoder, RowOutput& row);
    int decoder_end_rows(DecoderPlugin& m, ImageDecoder* decoder);
    int decoder_get_metadata(DecoderPlugin& m, ImageDecoder* decoder, std::uint32_t page,
                             metadata::ExifTagList** list);
    int free_metadata(DecoderPlugin& m, metadata::ExifTagList* list);
    int decoder_extract_audio(DecoderPlugin& m, ImageDecoder* decoder, const AudioRequest& request);

    // The module that opens the file: the preferred module first, then the
    // modules listing the name's extension, then every loaded module. With
    // decoder null the decoder is closed again at once. Null when none does.
    DecoderPlugin* choose_decoder(const ImageDataSource& source, DecoderPlugin* preferred,
                                  ImageDecoder** decoder);
    // The first format row with that code among enabled modules, or null.
    const FormatEntry* find_format(FormatId format) const;
    // Every extension of every format of the enabled modules, each followed
    // by a space, formats ordered by short name; returns the count.
    int list_extensions(std::u16string& out) const;

    // The modules in manager order.
    const std::vector<DecoderPlugin*>& modules() const { return sorted_; }
    const platform::RegistryKey* plugins_key() const { return key_.get(); }
    const platform::RegistryKey* cache_key() const { return cache_key_.get(); }

private:
    template <class F>
    int call(DecoderPlugin& m, F&& invoke);
    void insert_sorted(DecoderPlugin* module);

    std::unique_ptr<platform::RegistryKey> key_;
    std::unique_ptr<platform::RegistryKey> cache_key_;
    std::vector<std::unique_ptr<DecoderPlugin>> owned_;  // in the order added
    std::vector<DecoderPlugin*> sorted_;                 // by order key, then path
    int context_ = 0;                                    // handed to initialize
};

}  // namespace qelvio::decoding
