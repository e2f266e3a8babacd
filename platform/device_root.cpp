#include "platform/device_root.h"

#include "platform/text.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace qelvio::platform {
namespace {

std::mutex root_mutex;
std::optional<std::string> root_override;

std::string normalized(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder == "/") folder.clear();
    return folder;
}

}  // namespace

void set_device_root(std::string local_folder) {
    std::lock_guard lock(root_mutex);
    if (!local_folder.empty()) local_folder = std::filesystem::absolute(local_folder).string();
    root_override = normalized(std::move(local_folder));
}

std::string device_root() {
    std::lock_guard lock(root_mutex);
    if (root_override) return *root_override;
    const char* env = std::getenv("QELVIO_DEVICE_ROOT");
    return env && *env ? normalized(std::filesystem::absolute(env).string()) : std::string();
}

std::string to_local_path(std::u16string_view device_path) {
    std::string path = text::to_utf8(device_path);
    for (char& c : path)
        if (c == '\\') c = '/';
    if (path.empty() || path.front() != '/') path.insert(path.begin(), '/');
    std::string root = device_root();
    if (root.empty()) return path;
    return path == "/" ? root : root + path;
}

std::optional<std::u16string> to_device_path(std::string_view local_path) {
    std::filesystem::path absolute =
        std::filesystem::absolute(std::filesystem::path(local_path)).lexically_normal();
    std::string path = absolute.string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::string root = device_root();
    if (!root.empty()) {
        if (path == root) return u"\\";
        if (path.size() <= root.size() || path.compare(0, root.size(), root) != 0 ||
            path[root.size()] != '/')
            return std::nullopt;
        path.erase(0, root.size());
    }
    for (char& c : path)
        if (c == '/') c = '\\';
    return text::to_utf16(path);
}

}  // namespace qelvio::platform
