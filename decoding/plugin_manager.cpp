#include "decoding/plugin_manager.h"

#include "decoding/builtin_module.h"
#include "platform/debug_output.h"
#include "platform/registry.h"
#include "platform/text.h"

#include <algorithm>

namespace qelvio::decoding {
namespace {

bool resolve_builtin(DecoderPlugin& module) {
    module.entry_points = builtin_entry_points();
    return true;
}

int compare_paths(const std::u16string& a, const std::u16string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        char16_t x = text::fold_case(a[i]), y = text::fold_case(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// The list "JPG\0JPEG\0\0" as its extensions.
std::vector<std::u16string_view> extensions_of(const char16_t* list) {
    std::vector<std::u16string_view> out;
    for (const char16_t* p = list; p && *p; p += text::length(p) + 1) out.emplace_back(p, text::length(p));
    return out;
}

std::unique_ptr<CopiedPluginInfo> copy_info(const PluginInfo& from) {
    auto copy = std::make_unique<CopiedPluginInfo>();
    copy->info = from;
    copy->formats.assign(from.formats, from.formats + from.format_count);
    copy->extension_lists.reserve(from.format_count);
    copy->mime_types.reserve(from.format_count);
    for (FormatEntry& f : copy->formats) {
        std::u16string list;
        for (std::u16string_view e : extensions_of(f.extensions)) {
            list.append(e);
            list.push_back(0);
        }
        copy->extension_lists.push_back(std::move(list));  // ends with the string's own terminator
        f.extensions = copy->extension_lists.back().c_str();
        copy->mime_types.emplace_back(f.mime_type ? f.mime_type : u"");
        f.mime_type = copy->mime_types.back().c_str();
    }
    copy->info.formats = copy->formats.data();
    return copy;
}

}  // namespace

PluginManager::PluginManager() {
    using platform::RegHive;
    using platform::reg_root;
    key_ = std::make_unique<platform::RegistryKey>(
        reg_root(RegHive::current_user), reg_root(RegHive::local_machine),
        reg_root(RegHive::local_machine), reg_root(RegHive::current_user), u"Software\\Brantel\\PlugIns");
    cache_key_ = std::make_unique<platform::RegistryKey>(*key_, u"InfoCache\\IDP");
    add_module(u"", 0x8000, resolve_builtin);
}

PluginManager::~PluginManager() {
    for (auto& m : owned_) unload(*m);
    cache_key_.reset();
    key_.reset();
}

PluginManager& PluginManager::instance() {
    static PluginManager manager;
    return manager;
}

DecoderPlugin* PluginManager::add_module(std::u16string path, std::uint16_t order,
                                         PluginResolver resolve, PluginLibraryRelease release) {
    auto module = std::make_unique<DecoderPlugin>();
    module->path = std::move(path);
    module->order = order;
    module->resolve = resolve;
    module->release = release;
    DecoderPlugin* raw = module.get();
    load(*raw);
    owned_.push_back(std::move(module));
    insert_sorted(raw);
    unload(*raw);
    return raw;
}

// After every module whose key is smaller, or equal with a path that does
// not compare greater.
void PluginManager::insert_sorted(DecoderPlugin* module) {
    auto at = std::find_if(sorted_.begin(), sorted_.end(), [&](const DecoderPlugin* m) {
        return m->order > module->order ||
               (m->order == module->order && compare_paths(m->path, module->path) > 0);
    });
    sorted_.insert(at, module);
}

int PluginManager::load(DecoderPlugin& m) {
    std::lock_guard<std::mutex> guard(m.lock);
    if (!m.entry_points.complete()) {
        if (!m.resolve || !m.resolve(m) || !m.entry_points.complete()) {
            m.entry_points = {};
            return kPluginIncomplete;
        }
        if (m.entry_points.initialize(&context_) != 0) {
            m.entry_points = {};
            return kPluginInitFailed;
        }
        if (m.entry_points.status_query) m.flags |= kPluginFlagStatusQuery;
        m.flags |= kPluginFlagLoaded;
        m.info.reset();
    }
    if (!m.info) {
        const PluginInfo* info = nullptr;
        if (m.entry_points.get_information(&info) != 0 || !info) {
            m.entry_points = {};
            m.flags &= static_cast<std::uint16_t>(~kPluginFlagLoaded);
            return kPluginNoInformation;
        }
        m.info = copy_info(*info);
    }
    return kPluginLoaded;
}

void PluginManager::unload(DecoderPlugin& m) {
    std::lock_guard<std::mutex> guard(m.lock);
    if (m.module_handle) {
        platform::debug_trace(u"PIM: Unloading %s\n", m.path);
        if (m.release) m.release(m.module_handle);
        m.module_handle = nullptr;
    }
    m.entry_points = {};
    m.flags &= static_cast<std::uint16_t>(~kPluginFlagLoaded);
}

template <class F>
int PluginManager::call(DecoderPlugin& m, F&& invoke) {
    if (!m.entry_points.complete() && load(m) != kPluginLoaded) return kDecodeModuleNotLoaded;
    return invoke(m.entry_points);
}

#define QELVIO_WRAP(entry, ...)                                              \
    call(m, [&](const DecoderEntryPoints& e) {                               \
        return e.entry ? e.entry(__VA_ARGS__) : int{kDecodeNotSupported};    \
    })

int PluginManager::open_decoder(DecoderPlugin& m, const ImageDataSource& source, ImageDecoder** d) {
    return QELVIO_WRAP(open_decoder, &source, d);
}
int PluginManager::close_decoder(DecoderPlugin& m, ImageDecoder* d) { return QELVIO_WRAP(close_decoder, d); }
int PluginManager::decoder_open(DecoderPlugin& m, ImageDecoder* d, ImageInfo* info) {
    return QELVIO_WRAP(decoder_open, d, info);
}
int PluginManager::decoder_page_info(DecoderPlugin& m, ImageDecoder* d, std::uint32_t page, PageInfo* info) {
    return QELVIO_WRAP(decoder_page_info, d, page, info);
}
int PluginManager::decoder_page_decode(DecoderPlugin& m, ImageDecoder* d, const DecodeRequest& request,
                                       DecodeResult& result) {
    return QELVIO_WRAP(decoder_page_decode, d, &request, &result);
}
int PluginManager::decoder_begin_rows(DecoderPlugin& m, ImageDecoder* d, const DecodeRequest& request,
                                      RowFormat& format) {
    return QELVIO_WRAP(decoder_begin_rows, d, &request, &format);
}
int PluginManager::decoder_read_row(DecoderPlugin& m, ImageDecoder* d, RowOutput& row) {
    return QELVIO_WRAP(decoder_read_row, d, &row);
}
int PluginManager::decoder_end_rows(DecoderPlugin& m, ImageDecoder* d) { return QELVIO_WRAP(decoder_end_rows, d); }
int PluginManager::decoder_get_metadata(DecoderPlugin& m, ImageDecoder* d, std::uint32_t page,
                                        metadata::ExifTagList** list) {
    return QELVIO_WRAP(decoder_get_metadata, d, page, list);
}
int PluginManager::free_metadata(DecoderPlugin& m, metadata::ExifTagList* list) {
    return QELVIO_WRAP(free_metadata, list);
}
int PluginManager::decoder_extract_audio(DecoderPlugin& m, ImageDecoder* d, const AudioRequest& request) {
    return QELVIO_WRAP(decoder_extract_audio, d, &request);
}

#undef QELVIO_WRAP

DecoderPlugin* PluginManager::choose_decoder(const ImageDataSource& source, DecoderPlugin* preferred,
                                             ImageDecoder** decoder) {
    if (decoder) *decoder = nullptr;
    std::u16string_view name = source.name ? std::u16string_view(source.name, text::length(source.name))
                                           : std::u16string_view();
    std::size_t dot = name.rfind(u'.');
    std::u16string_view extension;
    bool has_extension = dot != std::u16string_view::npos;
    if (has_extension) extension = name.substr(dot + 1);

    std::vector<DecoderPlugin*> candidates;
    candidates.reserve(32);
    std::size_t tried = 0;
    auto try_new = [&]() -> DecoderPlugin* {
        for (; tried < candidates.size(); ++tried) {
            DecoderPlugin* m = candidates[tried];
            ImageDecoder* d = nullptr;
            if (open_decoder(*m, source, &d) == 0 && d) {
                if (decoder) *decoder = d;
                else close_decoder(*m, d);
                return m;
            }
        }
        return nullptr;
    };
    if (preferred) candidates.push_back(preferred);
    if (DecoderPlugin* m = try_new()) return m;

    if (has_extension) {
        for (DecoderPlugin* m : sorted_) {
            if (!(m->flags & kPluginFlagEnabled) || !m->info) continue;
            bool match = false;
            for (const FormatEntry& f : m->info->formats) {
                for (std::u16string_view e : extensions_of(f.extensions)) {
                    if (compare_paths(std::u16string(e), std::u16string(extension)) == 0) {
                        match = true;
                        break;
                    }
                }
                if (match) break;
            }
            if (match && std::find(candidates.begin(), candidates.end(), m) == candidates.end())
                candidates.push_back(m);
        }
        if (DecoderPlugin* m = try_new()) return m;
    }
    // By content: every enabled module that has loaded once (its copied
    // information shows it can be loaded again on demand). Unloading clears
    // the entry points, not the module's ability to read the file.
    for (DecoderPlugin* m : sorted_) {
        if ((m->flags & kPluginFlagEnabled) && ((m->flags & kPluginFlagLoaded) || m->info) &&
            std::find(candidates.begin(), candidates.end(), m) == candidates.end())
            candidates.push_back(m);
    }
    return try_new();
}

const FormatEntry* PluginManager::find_format(FormatId format) const {
    for (const DecoderPlugin* m : sorted_) {
        if (!(m->flags & kPluginFlagEnabled) || !m->info) continue;
        for (const FormatEntry& f : m->info->formats)
            if (f.format == format) return &f;
    }
    return nullptr;
}

int PluginManager::list_extensions(std::u16string& out) const {
    std::vector<const FormatEntry*> formats;
    for (const DecoderPlugin* m : sorted_) {
        if (!(m->flags & kPluginFlagEnabled) || !m->info) continue;
        for (const FormatEntry& f : m->info->formats) formats.push_back(&f);
    }
    std::stable_sort(formats.begin(), formats.end(), [](const FormatEntry* a, const FormatEntry* b) {
        return compare_paths(std::u16string(a->short_name, text::length(a->short_name)),
                             std::u16string(b->short_name, text::length(b->short_name))) < 0;
    });
    out.clear();
    int count = 0;
    for (const FormatEntry* f : formats) {
        for (std::u16string_view e : extensions_of(f->extensions)) {
            out.append(e);
            out.push_back(u' ');
            ++count;
        }
    }
    return count;
}

}  // namespace qelvio::decoding
