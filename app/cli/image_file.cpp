#include "app/cli/image_file.h"

#include "platform/text.h"
#include "resources/string_table.h"

#include <cstdio>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qelvio::cli {

ImageFile::ImageFile(const std::string& path) : manager_(decoding::PluginManager::instance()) {
    // Mapping the file (rather than copying it into a buffer) keeps the cost
    // of a large file to the pages the decoder actually reads.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::uint64_t>(st.st_size) > UINT32_MAX) {
        ::close(fd);
        return;
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ > 0) {
        void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (map == MAP_FAILED) {
            ::close(fd);
            size_ = 0;
            return;
        }
        data_ = static_cast<const std::uint8_t*>(map);
    }
    ::close(fd);
    name_ = text::to_utf16(path);
    static const std::uint8_t empty = 0;
    decoding::ImageDataSource source = decoding::memory_data_source(
        data_ ? data_ : &empty, static_cast<std::uint32_t>(size_), name_.c_str());
    module_ = manager_.choose_decoder(source, nullptr, &decoder_);
    status_ = module_ ? 0 : decoding::kDecodeNoDecoder;
}

ImageFile::~ImageFile() {
    if (module_ && decoder_) manager_.close_decoder(*module_, decoder_);
    if (data_) ::munmap(const_cast<std::uint8_t*>(data_), size_);
}

std::string ImageFile::failure_text(int status) const {
    const char16_t* reason = decoder_ && decoder_->failure_reason()
                                 ? resources::load_string(decoder_->failure_reason())
                                 : nullptr;
    if (!reason) return decoder_status_text(status);
    std::string text = text::to_utf8(reason);
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text + " (" + std::to_string(status) + ")";
}

bool report_open_failure(const ImageFile& file, const std::string& path) {
    if (file.status() == 0) return false;
    std::fprintf(stderr, "qelvio-cli: %s: %s\n", path.c_str(),
                 file.status() == 1 ? "cannot read the file" : file.failure_text(file.status()).c_str());
    return true;
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
