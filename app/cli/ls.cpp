#include "app/cli/command.h"

#include <cstdio>

namespace qelvio::cli {
int run_ls(const Args&) {
    std::fputs("qelvio-cli ls: not built yet\n", stderr);
    return 1;
}
}  // namespace qelvio::cli
