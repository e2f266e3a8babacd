// The overwrite question on the command line: asked on the terminal, or
// answered by an option (--overwrite ask|yes|no).
#pragma once

#include "qelvio/p_fileops.h"

#include <memory>
#include <string>

namespace qelvio::cli {

// The prompt for an --overwrite value: "ask" asks on the terminal (y yes,
// n no, a yes to all, N no to all, c cancel; end of input dismisses it),
// "yes" and "no" answer "Yes to all" and "No to all". Null for any other
// value.
std::unique_ptr<p_overwriteprompt> overwrite_prompt(const std::string& value);

}  // namespace qelvio::cli
