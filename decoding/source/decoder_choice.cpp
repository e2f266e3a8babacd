#include "decoding/source/decoder_choice.h"

#include "decoding/builtin_module.h"

namespace qelvio::decoding {
namespace {

const DecoderEntryPoints& loaded_builtin() {
    const DecoderEntryPoints& module = builtin_entry_points();
    static const int initialized = module.initialize(nullptr);
    (void)initialized;
    return module;
}

}  // namespace

int choose_decoder(const ImageDataSource& source, const DecoderEntryPoints*,
                   const DecoderEntryPoints** module, ImageDecoder** decoder) {
    const DecoderEntryPoints& builtin = loaded_builtin();
    *decoder = nullptr;
    if (builtin.open_decoder(&source, decoder) < 0 || !*decoder) return kDecodeNoDecoder;
    *module = &builtin;
    return kDecodeOk;
}

const FormatEntry* find_format(FormatId format) {
    const PluginInfo* info = nullptr;
    if (loaded_builtin().get_information(&info) < 0 || !info) return nullptr;
    for (uint32_t i = 0; i < info->format_count; ++i)
        if (info->formats[i].format == format) return &info->formats[i];
    return nullptr;
}

}  // namespace qelvio::decoding
