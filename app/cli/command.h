// One qelvio-cli sub-command: its name, a one-line usage text, and the
// function that runs it with the arguments after the name. Each command lives
// in its own file in this folder and is listed once in cli_main.cpp.
#pragma once

#include <string>
#include <vector>

namespace qelvio::cli {

using Args = std::vector<std::string>;

struct Command {
    const char* name;
    const char* usage;
    int (*run)(const Args& args);  // returns the process exit status
};

}  // namespace qelvio::cli
