#include "shell/command_line.h"

#include "platform/device_root.h"
#include "platform/text.h"

#include <string>

namespace qelvio::shell {

std::u16string_view command_line_path(std::u16string_view command_line) {
    std::size_t open = command_line.find(u'"');
    if (open == std::u16string_view::npos) return command_line;
    std::u16string_view rest = command_line.substr(open + 1);
    std::size_t close = rest.find(u'"');
    return close == std::u16string_view::npos ? rest : rest.substr(0, close);
}

std::optional<p_irl> file_irl(std::u16string_view path) {
    if (path.empty()) return std::nullopt;
    std::u16string device;
    if (path.front() == u'\\') {
        device = path;
    } else {
        auto mapped = platform::to_device_path(text::to_utf8(path));
        if (!mapped) return std::nullopt;
        device = std::move(*mapped);
    }
    p_irl irl;
    irl.set(u"file", nullptr, device.c_str());
    return irl;
}

std::optional<p_irl> initial_irl(std::u16string_view command_line) {
    return file_irl(command_line_path(command_line));
}

}  // namespace qelvio::shell
