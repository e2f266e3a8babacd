// qelvio-cli associate: registers the program as the opener of JPEG, GIF,
// BMP and TIFF files: the registry's file types, and this desktop's desktop
// entry and default applications.
#include "app/cli/command.h"

#include "platform/registry.h"
#include "platform/text.h"
#include "resources/string_table.h"
#include "shell/file_associations.h"

#include <cstdio>
#include <filesystem>

namespace qelvio::cli {
namespace {

// The graphical program beside this one.
std::string default_program() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "qelvio";
    return (self.parent_path() / "qelvio").string();
}

}  // namespace

int run_associate(const Args& args) {
    std::string program;
    if (args.empty()) {
        program = default_program();
    } else if (args.size() == 2 && args[0] == "--program") {
        program = std::filesystem::absolute(args[1]).lexically_normal().string();
    } else {
        std::fputs("usage: qelvio-cli associate [--program PATH]\n", stderr);
        return 2;
    }
    int failures = 0;
    int32_t r = shell::register_file_associations(text::to_utf16(program));
    if (r != platform::REG_OK) {
        std::fprintf(stderr, "qelvio-cli associate: cannot write %s (error %d)\n",
                     platform::reg_hive_file(platform::RegHive::classes_root).c_str(), r);
        ++failures;
    }
    if (!shell::install_desktop_entry(program)) {
        std::fputs("qelvio-cli associate: cannot write the desktop entry\n", stderr);
        ++failures;
    }
    if (!shell::set_default_applications()) {
        std::fputs("qelvio-cli associate: cannot write mimeapps.list\n", stderr);
        ++failures;
    }
    if (failures) return 1;
    std::printf("%s\n", text::to_utf8(resources::load_string(35068)).c_str());
    return 0;
}

}  // namespace qelvio::cli
