#include "app/cli/command.h"

#include <cstdio>

namespace qelvio::cli {
int run_cp(const Args&) {
    std::fputs("qelvio-cli cp: not built yet\n", stderr);
    return 1;
}
}  // namespace qelvio::cli
