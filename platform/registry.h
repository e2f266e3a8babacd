// The registry stand-in: three hives kept as text files in the user's
// configuration folder, reached through key handles and numbered results in
// the manner of the handheld platform's registry calls.
//
// Hives: user.reg (current user), machine.reg (local machine) and
// classes.reg (classes root) in $QELVIO_CONFIG_DIR, else
// $XDG_CONFIG_HOME/qelvio, else ~/.config/qelvio. The folder is read again on
// every call, so a test may point the variable somewhere else at any time.
//
// Key and value names compare without regard to letter case and keep the
// case they were created with. Every change re-reads the hive under an
// inter-process lock, applies the change and writes the whole hive to a
// temporary file that is renamed into place, so neither a crash nor a second
// process can lose values. A hive file that cannot be parsed is renamed to
// "<hive>.bad" (and a debug line written) and read as empty.
//
// Thread-safe: any thread may call any function; calls on one hive are
// serialised. A handle must not be used after reg_close_key.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvio::platform {

// Result numbers of the registry calls.
enum : int32_t {
    REG_OK = 0,
    REG_ERROR_FILE_NOT_FOUND = 2,    // no such key or value
    REG_ERROR_ACCESS_DENIED = 5,     // read-only handle, or a key that has sub-keys
    REG_ERROR_INVALID_HANDLE = 6,    // null handle
    REG_ERROR_INVALID_PARAMETER = 87,  // bad or over-long name, bad type or size
    REG_ERROR_MORE_DATA = 234,       // the data buffer is too small
    REG_ERROR_NO_MORE_ITEMS = 259,   // enumeration index past the end
    REG_ERROR_CANTWRITE = 1013,      // the hive file could not be written
    REG_ERROR_KEY_DELETED = 1018,    // the handle's key was deleted
};

// Value types.
enum : uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,        // 16-bit text with its terminator
    REG_BINARY = 3,
    REG_DWORD = 4,     // 32-bit number, little-endian
    REG_MULTI_SZ = 7,  // terminated texts followed by an empty one
};

// Longest key name (one path component) and value name, in characters.
inline constexpr std::size_t kMaxKeyNameChars = 255;
inline constexpr std::size_t kMaxValueNameChars = 16383;
// Largest value, in bytes.
inline constexpr std::size_t kMaxValueBytes = 1 << 20;

struct RegKeyObject;
// An open key. The three roots are static handles that are never closed.
using RegKey = RegKeyObject*;

enum class RegHive { current_user, local_machine, classes_root };

// The root handle of a hive.
RegKey reg_root(RegHive hive);

// Folder that holds the hive files, and the file of one hive.
std::string reg_config_dir();
std::string reg_hive_file(RegHive hive);

// Creates the key path (backslash-separated, relative to parent) and every
// missing key on the way, or opens it when it exists; the handle reads and
// writes. created (optional) tells whether the key was new. An empty path
// opens parent's key again.
int32_t reg_create_key(RegKey parent, std::u16string_view path, RegKey* out,
                       bool* created = nullptr);

// Opens an existing key path; 2 when it does not exist. A read-only handle
// answers 5 to every change.
int32_t reg_open_key(RegKey parent, std::u16string_view path, bool writable, RegKey* out);

// Closes a handle (roots and null are ignored).
int32_t reg_close_key(RegKey key);

// Reads a value (an empty name is the key's default value). type and data
// may be null; size is in/out in bytes: with data null it receives the size
// and the call succeeds; with a buffer that is too small it receives the
// size needed and the result is 234.
int32_t reg_query_value(RegKey key, std::u16string_view name, uint32_t* type, void* data,
                        uint32_t* size);

// Writes a value, replacing any value of that name.
int32_t reg_set_value(RegKey key, std::u16string_view name, uint32_t type, const void* data,
                      uint32_t size);

// Deletes a value; 2 when it does not exist.
int32_t reg_delete_value(RegKey key, std::u16string_view name);

// Names the index-th sub-key (in creation order) or value; 259 past the end.
int32_t reg_enum_key(RegKey key, uint32_t index, std::u16string* name);
int32_t reg_enum_value(RegKey key, uint32_t index, std::u16string* name);

// Deletes a key that has no sub-keys (5 when it has some, 2 when missing).
int32_t reg_delete_key(RegKey parent, std::u16string_view path);

// Groups the changes that this thread makes to one hive: while it lives the
// hive stays locked against other threads and processes, and the changes
// are written to the file once, by commit() or at the end. Reads on this
// thread see the changes at once. Batches may nest; only the outermost one
// writes. Keep a batch short: other writers wait for it.
class RegBatch {
public:
    explicit RegBatch(RegHive hive);
    ~RegBatch();
    RegBatch(const RegBatch&) = delete;
    RegBatch& operator=(const RegBatch&) = delete;

    // Writes the changes made so far; 0, or 1013 when the hive could not be
    // locked or written (the changes are then dropped).
    int32_t commit();

private:
    struct HiveState* state_;
};

}  // namespace qelvio::platform
