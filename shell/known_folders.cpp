#include "shell/known_folders.h"

#include "platform/debug_output.h"
#include "platform/device_root.h"
#include "qelvio/p_fileops.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace qelvio::shell {
namespace {

std::string home() {
    const char* h = std::getenv("HOME");
    return h && *h ? h : "/";
}

// An XDG base folder: the variable when it holds an absolute path, else the
// usual place under the home folder.
std::string xdg_base(const char* variable, const char* fallback) {
    const char* v = std::getenv(variable);
    if (v && v[0] == '/') return v;
    return home() + "/" + fallback;
}

// XDG_PICTURES_DIR from user-dirs.dirs ("$HOME/Pictures" style), else $HOME.
std::string pictures_folder() {
    std::ifstream in(xdg_base("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
    std::string line;
    while (std::getline(in, line)) {
        const std::string key = "XDG_PICTURES_DIR=\"";
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.rfind("$HOME", 0) == 0) value = home() + value.substr(5);
        if (value.empty() || value.front() != '/') continue;
        return value;
    }
    return home();
}

}  // namespace

std::optional<std::string> well_known_local_folder(int number) {
    // The file library writes its replacement files there too: one rule.
    if (number == kTemporaryFolder) return platform::to_local_path(p_temporaryfolder().view());
    std::string root = platform::device_root();
    if (!root.empty()) {
        switch (number) {
        case kProgramFolder: return root + "/Program Files/Qelvio";
        case kThumbnailFolder: return root + "/Program Files/Qelvio/Qelvio Thumbnails";
        case kDocumentsFolder: return root + "/My Documents";
        case kInfraredPartialFolder: return root + "/Program Files/Qelvio/Temporary IR Directory";
        default: return std::nullopt;
        }
    }
    switch (number) {
    case kProgramFolder: return xdg_base("XDG_DATA_HOME", ".local/share") + "/qelvio";
    case kThumbnailFolder: return xdg_base("XDG_CACHE_HOME", ".cache") + "/qelvio/Qelvio Thumbnails";
    case kDocumentsFolder: return pictures_folder();
    case kInfraredPartialFolder:
        return xdg_base("XDG_DATA_HOME", ".local/share") + "/qelvio/Temporary IR Directory";
    default: return std::nullopt;
    }
}

std::optional<std::u16string> well_known_folder(int number) {
    std::optional<std::string> local = well_known_local_folder(number);
    if (!local) return std::nullopt;
    if (number != kProgramFolder) {
        std::error_code ec;
        std::filesystem::create_directories(*local, ec);
        if (ec) platform::debug_trace(u"well-known folder %d: cannot create %s (%s)", number, *local,
                                      ec.message());
    }
    return platform::to_device_path(*local);
}

}  // namespace qelvio::shell
