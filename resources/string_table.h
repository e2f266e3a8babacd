// The program's string table: user-visible texts by number.
#pragma once

namespace qelvio::resources {

// The text of string number id, or null when the table has no such string.
const char16_t* load_string(int id);

}  // namespace qelvio::resources
