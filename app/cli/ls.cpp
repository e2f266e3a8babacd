// qelvio-cli ls: lists a folder through the file tree, as the browser does.
#include "app/cli/command.h"
#include "app/cli/locate.h"

#include "platform/file_system.h"
#include "qelvio/p_fileops.h"

#include <cstdio>

namespace qelvio::cli {
namespace {

// The size to list. A device file's size comes from the file system, so
// that a file over 2 GB shows its real size (sizes through the file
// interface are 32-bit, and it refuses such a file for reading).
int64_t size_of(p_filenode* file) {
    p_string path;
    if (p_localpath(file, path))
        if (auto size = platform::file_size(path.view())) return *size;
    return file->getfilesize();
}

}  // namespace

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
            std::printf("F\t%s\t%lld\n", name.c_str(), static_cast<long long>(size_of(child)));
    }
    return 0;
}

}  // namespace qelvio::cli
