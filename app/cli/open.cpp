// qelvio-cli open: asks the running program to open a file. The exit status
// says whether an instance took the request (0) or none answered (1).
#include "app/cli/command.h"

#include "platform/text.h"
#include "shell/single_instance.h"

#include <cstdio>
#include <strings.h>
#include <filesystem>

namespace qelvio::cli {

int run_open(const Args& args) {
    if (args.size() != 1 || args[0].empty()) {
        std::fputs("usage: qelvio-cli open PATH\n", stderr);
        return 2;
    }
    std::string path = args[0];
    // A "file:" locator sends its device path; a device path (leading
    // backslash) goes as it is; a local path is made absolute here, because
    // the running program has another current folder.
    // The scheme is compared ignoring case, as the store registry does.
    bool locator = path.size() >= 7 && strncasecmp(path.c_str(), "file:\\\\", 7) == 0;
    if (locator) {
        path.erase(0, 7);
        if (path.empty() || path.front() != '\\') path.insert(path.begin(), '\\');
    } else if (path.front() != '\\') {
        path = std::filesystem::absolute(path).lexically_normal().string();
    }
    int32_t r = shell::send_open_request(text::to_utf16(path));
    switch (r) {
    case shell::kInstanceOk: return 0;
    case shell::kInstanceRefused:
        std::fprintf(stderr, "qelvio-cli open: the running program cannot open %s\n", args[0].c_str());
        return 1;
    case shell::kInstanceNoListener:
        std::fputs("qelvio-cli open: no running instance answered\n", stderr);
        return 1;
    default:
        std::fputs("qelvio-cli open: cannot reach a running instance\n", stderr);
        return 1;
    }
}

}  // namespace qelvio::cli
