// Opening an image file for the info and decode commands: the whole file
// mapped into memory and a decoder chosen by the plug-in manager, closed
// again at the end.
#pragma once

#include "decoding/data_source.h"
#include "decoding/plugin_manager.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qelvio::cli {

class ImageFile {
public:
    // Reads the file and chooses its decoder; status() tells how that went.
    explicit ImageFile(const std::string& path);
    ~ImageFile();
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;

    // 0 when a decoder opened the file; -6 when none did; 1 when the file
    // could not be read.
    int status() const { return status_; }
    decoding::PluginManager& manager() { return manager_; }
    decoding::DecoderPlugin& module() { return *module_; }
    decoding::ImageDecoder* decoder() { return decoder_; }
    // The message for a failed decoder call: the decoder's own reason when
    // it gave one ("LZW-compressed TIFF is not supported (-6)"), else the
    // status's text.
    std::string failure_text(int status) const;

private:
    decoding::PluginManager& manager_;
    const std::uint8_t* data_ = nullptr;  // the file, mapped read-only
    std::size_t size_ = 0;
    std::u16string name_;
    decoding::DecoderPlugin* module_ = nullptr;
    decoding::ImageDecoder* decoder_ = nullptr;
    int status_ = 1;
};

// When the file did not open: prints why on stderr ("qelvio-cli: PATH:
// cannot read the file", or the decoder status) and returns true.
bool report_open_failure(const ImageFile& file, const std::string& path);

// A short text for a decoder status ("no such page (-9)").
std::string decoder_status_text(int status);

}  // namespace qelvio::cli
