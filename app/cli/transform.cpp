// qelvio-cli transform: rotates or mirrors JPEG files without recompressing
// them (the lossless transform), printing each file's new size.
#include "app/cli/command.h"
#include "app/cli/locate.h"

#include "decoding/transform/jpeg_lossless_transform.h"
#include "platform/text.h"

#include <cstdio>
#include <unistd.h>

namespace qelvio::cli {
namespace {

constexpr const char* usage_text =
    "usage: qelvio-cli transform (--code 1|2|5|6|7 | --rotate 90|180|270 | --flip h|v) FILE...\n";

// The progress line on a terminal: the window's text and the percentage,
// rewritten in place and wiped at the end.
class TerminalProgress : public decoding::ProgressWindow {
public:
    void create(std::u16string_view text, int, int) override {
        line = text::to_utf8(text);
        step(0);
    }
    void step(int position) override {
        std::fprintf(stderr, "\r%s %3d%%", line.c_str(), position);
        std::fflush(stderr);
    }
    void close() override { std::fputs("\r\033[K", stderr); }

private:
    std::string line;
};

// The code of an option and its value, or 0.
int code_of(const std::string& option, const std::string& value) {
    if (option == "--code" && (value == "1" || value == "2" || value == "5" || value == "6" || value == "7"))
        return std::stoi(value);
    if (option == "--rotate") return value == "90" ? 5 : value == "180" ? 6 : value == "270" ? 7 : 0;
    if (option == "--flip") return value == "h" ? 1 : value == "v" ? 2 : 0;
    return 0;
}

}  // namespace

int run_transform(const Args& args) {
    int code = 0;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--code" || a == "--rotate" || a == "--flip") {
            int chosen = i + 1 < args.size() ? code_of(a, args[++i]) : 0;
            if (!chosen || code) {
                std::fputs(usage_text, stderr);
                return 2;
            }
            code = chosen;
        } else {
            files.push_back(a);
        }
    }
    if (!code || files.empty()) {
        std::fputs(usage_text, stderr);
        return 2;
    }
    p_mcp mcp;
    TerminalProgress terminal;
    decoding::ProgressWindow* progress = ::isatty(2) ? &terminal : nullptr;
    int exit_status = 0;
    for (const std::string& file : files) {
        p_filenode* node = locate(mcp, file, "transform");
        if (!node) {
            exit_status = 1;
            continue;
        }
        decoding::TransformResult result = decoding::transform_jpeg_file(node, code, progress);
        mcp.close(node->gettree());
        if (result.status < 0) {
            std::string message = p_statusmessage(result.status).utf8();
            if (!result.detail.empty()) message += " (" + result.detail + ")";
            std::fprintf(stderr, "qelvio-cli transform: %s: %s\n", file.c_str(), message.c_str());
            exit_status = 1;
            continue;
        }
        std::printf("%s: %d x %d\n", file.c_str(), result.width, result.height);
    }
    return exit_status;
}

}  // namespace qelvio::cli
