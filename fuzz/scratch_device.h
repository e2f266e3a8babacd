// A scratch folder playing the device for fuzz targets that read files
// through the file tree; removed when the process ends.
#pragma once

#include "qelvio/p_mcp.h"
#include "platform/device_root.h"
#include "platform/file_system.h"

#include <filesystem>
#include <string>
#include <unistd.h>

struct ScratchDevice {
    ScratchDevice() {
        root = std::filesystem::temp_directory_path() / ("qelvio-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "thumbs");
        qelvio::platform::set_device_root(root.string());
    }
    ~ScratchDevice() {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    // Replaces a device file's content; false when it cannot be written.
    bool write(std::u16string_view path, const std::uint8_t* data, std::size_t size) {
        uint32_t h = qelvio::platform::open_file(path, qelvio::platform::OpenMode::write_truncate);
        if (!h) return false;
        bool ok = size == 0 || qelvio::platform::write_file(h, data, static_cast<uint32_t>(size)) ==
                                   static_cast<int64_t>(size);
        return qelvio::platform::close_file(h) && ok;
    }
    // The node of "\input.jpg" holding the data.
    p_filenode* file_with(const std::uint8_t* data, std::size_t size) {
        if (!write(u"\\input.jpg", data, size)) return nullptr;
        p_filenode* node = nullptr;
        return mcp.openfile(u"file:\\\\\\input.jpg", &node) == 0 ? node : nullptr;
    }
    std::filesystem::path root;
    p_mcp mcp;
};
