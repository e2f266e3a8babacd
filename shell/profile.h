// The application's profile in the registry: the current user's software
// key, then the registry key set at start-up ("Brantel\Qelvio"), then the
// application name (string 57344 "Qelvio Mobile"), then one sub-key per
// section. Numbers are stored as 32-bit numbers, texts as strings.
//
// Reads open keys read-only (a read never writes the hive); writes create
// the section key when missing. Thread-safe (the registry serialises calls).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qelvio::shell {

// The registry key under the user's software key, "Brantel\Qelvio" by
// default; start-up sets it before the settings are loaded.
void set_registry_key(std::u16string_view company);

// "Software\<registry key>\<application name>\<section>".
std::u16string profile_section_path(std::u16string_view section);

// A number value, or fallback when it is missing or not a number.
int32_t get_profile_int(std::u16string_view section, std::u16string_view name, int32_t fallback);

// A text value, or fallback when it is missing or not a text.
std::u16string get_profile_string(std::u16string_view section, std::u16string_view name,
                                  std::u16string_view fallback);

// The stored value's type (REG_SZ, REG_DWORD...), or nullopt when missing.
std::optional<uint32_t> get_profile_type(std::u16string_view section, std::u16string_view name);

// Writers; they return the registry result (0 when stored).
int32_t write_profile_int(std::u16string_view section, std::u16string_view name, int32_t value);
int32_t write_profile_string(std::u16string_view section, std::u16string_view name,
                             std::u16string_view value);

}  // namespace qelvio::shell
