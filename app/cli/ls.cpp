// qelvio-cli ls: lists a folder through the file tree, as the browser does.
#include "app/cli/command.h"
#include "app/cli/locate.h"

#include <cstdio>

namespace qelvio::cli {

int run_ls(const Args& args) {
    std::string extensions, target;
    bool with_files = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--ext" && i + 1 < args.size()) {
            extensions = args[++i];
            with_files = true;
        } else if (target.empty()) {
            target = args[i];
        } else {
            std::fputs("usage: qelvio-cli ls [--ext \"JPG GIF\"] PATH-OR-IRL\n", stderr);
            return 2;
        }
    }
    if (target.empty()) {
        std::fputs("usage: qelvio-cli ls [--ext \"JPG GIF\"] PATH-OR-IRL\n", stderr);
        return 2;
    }
    p_mcp mcp;
    p_filenode* folder = locate(mcp, target, "ls");
    if (!folder) return 1;
    if (!folder->isdirectory()) return report("ls", P_INVALID_LOCATION, target);
    int32_t status = with_files ? folder->settrack(P_TRACK_FILES, text::to_utf16(extensions).c_str(), true)
                                : folder->settrack(P_TRACK_FOLDERS, nullptr, true);
    if (status < 0) return report("ls", status, target);
    for (p_filenode* child : folder->getchildren()) {
        std::string name = child->getname().utf8();
        if (child->isdirectory())
            std::printf("D\t%s\n", name.c_str());
        else
            std::printf("F\t%s\t%d\n", name.c_str(), child->getfilesize());
    }
    return 0;
}

}  // namespace qelvio::cli
