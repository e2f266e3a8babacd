// The content of one registry hive and its text form: keys in creation
// order, each with its typed values. Used by the registry stand-in; kept
// apart so that the file format can be tested on its own.
//
// Text form (REGEDIT4-like, UTF-8):
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Brantel]
//   @="default value"
//   "count"=dword:0000012c
//   "bytes"=hex:01,ff
//   "list"=multi:"first","second"
//   "odd"=hex(1):41,00
// Strings escape \\ \" \n \r \t and write other control characters and
// unpaired surrogates as \uXXXX. Values whose bytes do not fit their type's
// plain form (a string without its terminator, a number that is not four
// bytes) are written as hex(type) so that every byte survives.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::platform {

struct RegValue {
    std::u16string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct RegKeyData {
    std::u16string path;  // as created, components joined by backslashes; "" is the root
    std::vector<RegValue> values;

    RegValue* find_value(std::u16string_view name);
};

// Case-insensitive form of a key path or value name, for lookups.
std::u16string reg_fold(std::u16string_view name);

class RegHiveData {
public:
    RegHiveData();

    RegKeyData* find(std::u16string_view path);
    // Creates the key and its missing ancestors; returns the key.
    RegKeyData* create(std::u16string_view path, bool* created);
    // Removes one key (the caller checks that it has no sub-keys).
    void remove(std::u16string_view path);
    // Paths of the direct sub-keys, in creation order.
    std::vector<std::u16string> subkeys(std::u16string_view path) const;
    const std::vector<RegKeyData>& keys() const { return keys_; }

    // The text form, with root_name ("HKEY_CURRENT_USER") before every path.
    std::string serialize(std::string_view root_name) const;
    // Parses a text form; nullopt when any line is malformed or names
    // another root.
    static std::optional<RegHiveData> parse(std::string_view text, std::string_view root_name);

private:
    void reindex();

    std::vector<RegKeyData> keys_;               // [0] is the root
    std::map<std::u16string, std::size_t> index_;  // folded path -> position
};

// Splits a key path into components, dropping empty ones; false when a
// component is too long or holds a control character.
bool reg_split_path(std::u16string_view path, std::vector<std::u16string>* parts);

}  // namespace qelvio::platform
