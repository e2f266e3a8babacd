#include "app/cli/locate.h"

#include "platform/device_root.h"

#include <cstdio>

namespace qelvio::cli {

p_irl locator_of(const std::string& argument) {
    p_irl irl;
    // Anything of the form scheme:\\... is a locator; the registry decides
    // whether a store knows the scheme.
    std::size_t colon = argument.find(':');
    if (colon != std::string::npos && argument.compare(colon, 3, ":\\\\") == 0) {
        irl.set(text::to_utf16(argument).c_str());
        return irl;
    }
    auto device_path = platform::to_device_path(argument);
    if (device_path) irl.set(u"file", u"", device_path->c_str());
    return irl;
}

p_filenode* locate(p_mcp& mcp, const std::string& argument, const char* command) {
    p_irl irl = locator_of(argument);
    if (irl.isempty()) {
        std::fprintf(stderr, "qelvio-cli %s: %s: %s\n", command, argument.c_str(),
                     p_statusmessage(P_INVALID_LOCATION).utf8().c_str());
        return nullptr;
    }
    p_filenode* node = nullptr;
    int32_t status = mcp.openfile(irl, &node);
    if (status < 0) {
        report(command, status, argument);
        return nullptr;
    }
    return node;
}

int report(const char* command, int32_t status, const std::string& what) {
    if (status >= 0) return 0;
    if (status != P_CANCELLED) {
        std::string message = p_statusmessage(status).utf8();
        if (what.empty())
            std::fprintf(stderr, "qelvio-cli %s: %s\n", command, message.c_str());
        else
            std::fprintf(stderr, "qelvio-cli %s: %s: %s\n", command, what.c_str(), message.c_str());
    }
    return 1;
}

}  // namespace qelvio::cli
