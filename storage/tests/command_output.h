// Running an outside tool (djpeg, exiftool, identify...) from a test and
// taking what it prints.
#pragma once

#include <cstdio>
#include <string>

// The standard output of a shell command ("" when it cannot start).
inline std::string command_output(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        ::pclose(p);
    }
    return out;
}
