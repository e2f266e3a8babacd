#include "app/cli/image_file.h"

#include "platform/text.h"

#include <fstream>
#include <iterator>

namespace qelvio::cli {

ImageFile::ImageFile(const std::string& path) : manager_(decoding::PluginManager::instance()) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    bytes_.assign(std::istreambuf_iterator<char>(in), {});
    if (bytes_.size() > UINT32_MAX) return;
    name_ = text::to_utf16(path);
    decoding::ImageDataSource source = decoding::memory_data_source(
        bytes_.data(), static_cast<std::uint32_t>(bytes_.size()), name_.c_str());
    module_ = manager_.choose_decoder(source, nullptr, &decoder_);
    status_ = module_ ? 0 : decoding::kDecodeNoDecoder;
}

ImageFile::~ImageFile() {
    if (module_ && decoder_) manager_.close_decoder(*module_, decoder_);
}

std::string decoder_status_text(int status) {
    const char* text = "failed";
    switch (status) {
        case decoding::kDecodeNotOpened: text = "decoder not opened"; break;
        case decoding::kDecodeNotSupported: text = "not supported"; break;
        case decoding::kDecodeTruncated: text = "the file ends early"; break;
        case decoding::kDecodeNoDecoder: text = "no decoder accepts the file"; break;
        case decoding::kDecodeCorrupt: text = "not a supported image, or corrupt"; break;
        case decoding::kDecodeNoMemory: text = "out of memory"; break;
        case decoding::kDecodeNoSuchPage: text = "no such page"; break;
        case decoding::kDecodeCancelled: text = "cancelled"; break;
        case decoding::kDecodeNoMetadata: text = "no metadata"; break;
        case decoding::kDecodeNoAudio: text = "no audio annotation"; break;
        case decoding::kDecodeModuleNotLoaded: text = "the decoder module could not be loaded"; break;
        default: break;
    }
    return std::string(text) + " (" + std::to_string(status) + ")";
}

}  // namespace qelvio::cli
