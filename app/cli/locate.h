// Turning a command-line argument (a local path or a "file:" locator) into a
// node of the file tree.
#pragma once

#include "qelvio/p_mcp.h"

#include <string>

namespace qelvio::cli {

// The locator of an argument: locators ("file:\\\\...") stay as they are, local paths
// are made absolute and mapped onto the device. Empty when the path lies
// outside the device root.
p_irl locator_of(const std::string& argument);

// The node of an argument, or null with a message printed on stderr,
// prefixed with the command's name.
p_filenode* locate(p_mcp& mcp, const std::string& argument, const char* command);

// Prints "qelvio-cli COMMAND: message" on stderr for a status code (nothing
// for a cancelled operation) and returns the exit status (0 for success).
int report(const char* command, int32_t status, const std::string& what = {});

}  // namespace qelvio::cli
