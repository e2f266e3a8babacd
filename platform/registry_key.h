// RegistryKey: one key path kept in two places at once. It holds a primary
// and a secondary location, each with a read handle and a write handle, so
// that writes go where they are allowed and reads find values wherever they
// were stored. The plug-in manager keeps its machine-wide data this way
// (read the user's hive first, write the machine's hive, fall back to the
// user's); the settings use the one-root form.
//
// Results are the registry's numbers (platform/registry.h). Not thread-safe:
// one object belongs to one thread at a time.
#pragma once

#include "platform/list_control.h"
#include "platform/registry.h"
#include "platform/string_list.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace qelvio::platform {

class RegistryKey {
public:
    // Creates path under root for reading and writing and uses that handle
    // as primary read and primary write key; when creating fails, opens the
    // path read-only as primary read key.
    RegistryKey(RegKey root, std::u16string_view path);

    // Opens path read-only under primary_read_root, creates it under
    // primary_write_root, opens it read-only under secondary_read_root and
    // creates it under secondary_write_root. Null roots leave that handle
    // empty, as does a failed open or create.
    RegistryKey(RegKey primary_read_root, RegKey primary_write_root, RegKey secondary_read_root,
                RegKey secondary_write_root, std::u16string_view path);

    // A sub-key: path is created under the parent's primary and secondary
    // write keys; each read key is the matching new write key when the
    // parent's read and write keys are the same handle, else path is opened
    // read-only under the parent's matching read key.
    RegistryKey(const RegistryKey& parent, std::u16string_view path);

    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // The key path the object was opened with.
    const std::u16string& name() const { return name_; }
    RegKey primary_read() const { return primary_read_; }
    RegKey primary_write() const { return primary_write_; }
    RegKey secondary_read() const { return secondary_read_; }
    RegKey secondary_write() const { return secondary_write_; }

    // Reads a value, with reg_query_value's rules for type, data and size. A
    // value that the secondary read key holds wins; otherwise the primary
    // read key's answer is the result. 234 (buffer too small) becomes 0 when
    // data is null (a size enquiry).
    int32_t query(std::u16string_view name, uint32_t* type, void* data, uint32_t* size) const;

    // A 32-bit number value, or fallback when it is missing or not a number.
    uint32_t query_number(std::u16string_view name, uint32_t fallback) const;

    // The value in a new buffer (its size in *size), or null when missing.
    std::unique_ptr<uint8_t[]> query_allocated(std::u16string_view name, uint32_t* size,
                                               uint32_t* type = nullptr) const;

    // A text value (REG_SZ) without its terminator; false when missing or of
    // another type.
    bool query_string(std::u16string_view name, std::u16string* out) const;

    // Writes to the primary write key (1013 without one). With a secondary
    // write key the value is then deleted there when the primary write
    // succeeded, so no stale copy hides it, or written there instead when it
    // failed (that write's result is the result).
    int32_t set(std::u16string_view name, const void* data, uint32_t size, uint32_t type);

    int32_t set_number(std::u16string_view name, uint32_t value);
    int32_t set_binary(std::u16string_view name, const void* data, uint32_t size);
    // Stores the characters and the terminator.
    int32_t set_string(std::u16string_view name, std::u16string_view text);
    int32_t set_multi_string(std::u16string_view name, const StringList& list);

    // Stores a list control's entries as a multi-string. With add_text the
    // control's edit text (when not empty) first becomes its top entry (an
    // entry equal to it, ignoring case, is removed). At most max_entries
    // entries are written, and entries stop before the value would exceed
    // max_chars characters including terminators.
    int32_t set_multi_string(std::u16string_view name, ListControl& list, bool add_text,
                             std::size_t max_entries, std::size_t max_chars);

    // Appends the texts of a multi-string value; false when it is missing
    // or of another type.
    bool get_multi_string(std::u16string_view name, StringList& out) const;
    bool get_multi_string(std::u16string_view name, ListControl& out) const;

    // Deletes the value under the secondary and the primary write key; 0
    // when either deletion succeeded.
    int32_t delete_value(std::u16string_view name);

    // Adds the names of the sub-keys (values) of the primary read key, then
    // those of the secondary read key; names present in both come twice.
    void enumerate_keys(StringList& out) const;
    void enumerate_values(StringList& out) const;

    // Deletes path under root with all its sub-keys.
    static int32_t delete_tree(RegKey root, std::u16string_view path);

private:
    RegKey primary_read_ = nullptr;
    RegKey secondary_read_ = nullptr;
    RegKey primary_write_ = nullptr;
    RegKey secondary_write_ = nullptr;
    std::u16string name_;
};

}  // namespace qelvio::platform
