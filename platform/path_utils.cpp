#include "platform/path_utils.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qelvio::platform {

void remove_spaces(std::u16string& text) { std::erase(text, u' '); }

std::u16string folder_part(std::u16string_view path) {
    std::size_t last = path.rfind(u'\\');
    if (last == std::u16string_view::npos) return {};
    std::u16string folder(path.substr(0, last));
    if (!folder.empty() && folder.back() == u'\\' &&
        !(folder.size() >= 2 && folder[folder.size() - 2] == u':'))
        folder.pop_back();
    return folder;
}

std::u16string name_part(std::u16string_view path) {
    std::size_t last = path.rfind(u'\\');
    if (last == std::u16string_view::npos) last = path.rfind(u':');
    return std::u16string(last == std::u16string_view::npos ? path : path.substr(last + 1));
}

void join_path(std::u16string& buffer, std::u16string_view folder, std::u16string_view name) {
    std::u16string out(folder);
    if (!name.empty()) {
        while (!out.empty() && out.back() == u'\\') out.pop_back();
        out += u'\\';
        if (name.front() == u'\\') name.remove_prefix(1);
        out += name;
    } else if (!out.empty() && out.back() == u'\\') {
        out.pop_back();
    }
    buffer = std::move(out);
}

std::vector<std::u16string_view> split_path(std::u16string_view path) {
    std::vector<std::u16string_view> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::unique_ptr<char16_t[]> duplicate_text(const char16_t* text) {
    if (!text) return nullptr;
    std::size_t n = std::char_traits<char16_t>::length(text);
    auto copy = std::make_unique<char16_t[]>(n + 1);
    std::copy(text, text + n + 1, copy.get());
    return copy;
}

// The conversion buffers are per thread, so callers on different threads
// never overwrite each other's result.
const char* narrow_text(std::u16string_view text) {
    thread_local std::vector<char> buffer;
    if (buffer.size() < text.size() + 1) buffer.resize(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<char>(text[i] & 0xFF);
    buffer[text.size()] = 0;
    return buffer.data();
}

const char16_t* widen_text(std::string_view text) {
    thread_local std::vector<char16_t> buffer;
    if (buffer.size() < text.size() + 1) buffer.resize(text.size() + 1);
    for (std::size_t i = 0; i < text.size(); ++i)
        buffer[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
    buffer[text.size()] = 0;
    return buffer.data();
}

}  // namespace qelvio::platform
