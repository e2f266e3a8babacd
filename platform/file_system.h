// The platform file calls the device store is built on, over the local file
// system. Paths are device paths ("\My Documents\a.jpg", see device_root.h).
//
// Every failing call returns a failure value and sets the calling thread's
// last platform error (the numbers of the handheld platform: 2 not found,
// 5 access denied, 112 disk full, 123 bad name, 145 folder not empty,
// 183 already exists, 1 anything else).
//
// A fault plan (tests only) makes reads, writes, flushes or renames fail
// after a number of bytes or steps, to show that no half-written file is
// left behind.
//
// With a device root no path leads outside it: a path whose existing part
// resolves (through symbolic links) outside the root, or through a link
// that resolves nowhere, is refused with error 2, for every call.
//
// All functions are thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qelvio::platform {

enum PlatformError : uint32_t {
    error_none = 0,
    error_other = 1,
    error_file_not_found = 2,
    error_access_denied = 5,
    error_file_exists = 80,
    error_disk_full = 112,
    error_invalid_name = 123,
    error_dir_not_empty = 145,
    error_already_exists = 183,
};

uint32_t last_error();
void set_last_error(uint32_t error);
// The platform error for an errno value.
uint32_t error_from_errno(int err);

struct FileAttributes {
    bool directory = false;
    bool readonly = false;
    bool hidden = false;  // the name starts with "."
    bool system = false;  // neither a regular file nor a folder
};

std::optional<FileAttributes> get_attributes(std::u16string_view path);
// Read-only clears every write bit; writable sets the owner's.
bool set_readonly(std::u16string_view path, bool readonly);

struct FolderEntry {
    std::u16string name;
    FileAttributes attributes;
};
// The entries of a folder in the order the file system delivers them, without
// "." and "..", and without names that cannot be device names (a backslash in
// them, or not UTF-8). nullopt when the folder cannot be read.
std::optional<std::vector<FolderEntry>> list_folder(std::u16string_view path, bool folders_only);

// Open modes (write_existing: an existing file for reading and writing,
// its content kept).
enum class OpenMode { read_existing, write_truncate, create_new, write_existing };
// A handle, never 0; 0 on failure.
uint32_t open_file(std::u16string_view path, OpenMode mode);
// Bytes read or written (a count short of the request at the end of a file
// or on a fault), -1 on failure.
int64_t read_file(uint32_t handle, void* buffer, uint32_t count);
int64_t write_file(uint32_t handle, const void* buffer, uint32_t count);
// origin: 0 current, 1 start, 2 end. The new position, or -1.
int64_t seek_file(uint32_t handle, int origin, int64_t offset);
bool close_file(uint32_t handle);
// Puts what was written through the handle on disk (counts as a flush for
// the fault plan).
bool flush_file(uint32_t handle);

std::optional<int64_t> file_size(std::u16string_view path);
// Modification time as a 64-bit file time (100 ns units since 1601).
std::optional<uint64_t> file_time(std::u16string_view path);
// A moment since 1970 (seconds and nanoseconds) as a file time, and a file
// time back as whole seconds since 1970.
uint64_t file_time_from_unix(int64_t seconds, int64_t nanoseconds = 0);
int64_t unix_seconds_of_file_time(uint64_t file_time);
// The present moment as a file time.
uint64_t file_time_now();

// Copies a file's content. With fail_if_exists the target is created
// exclusively; otherwise the copy replaces the target only once it is
// complete and flushed, as replace_file does. A failed copy leaves no
// partial target.
bool copy_file(std::u16string_view from, std::u16string_view to, bool fail_if_exists);
// Renames or moves a file or folder; across file systems a file is copied,
// flushed and only then deleted. Fails when the target exists (a name that
// differs only in case from the source's own is no clash on a file system
// that ignores case).
bool move_file(std::u16string_view from, std::u16string_view to);
// Deleting a read-only file or folder fails with error 5, as on the
// handheld platform; a symbolic link is deleted itself, not its target.
bool delete_file(std::u16string_view path);
bool create_folder(std::u16string_view path);
bool remove_folder(std::u16string_view path);
// Whether two paths name one file (through links, or hard links of one
// file); false when either is missing.
bool same_file(std::u16string_view a, std::u16string_view b);
// Whether the entry itself is a symbolic link.
bool is_symbolic_link(std::u16string_view path);
// Gives the file at `path` the permission bits of the file at `model`.
bool copy_permissions(std::u16string_view model, std::u16string_view path);
std::optional<uint64_t> free_space(std::u16string_view path);

// Creates a new empty file named prefix + hex number + ".tmp" in the folder,
// exclusively, and returns its device path.
std::optional<std::u16string> create_unique_file(std::u16string_view folder,
                                                 std::u16string_view prefix);

// Fault injection for tests: after this many more bytes have been read
// (written) through read_file/write_file/copy_file, reads (writes) fail with
// the given error; after this many more flushes to disk (of a file's content
// or of a folder) or renames, the next one fails. -1 disables a kind.
struct FaultPlan {
    int64_t fail_read_after = -1;
    int64_t fail_write_after = -1;
    uint32_t error = error_disk_full;
    int64_t fail_flush_after = -1;
    int64_t fail_rename_after = -1;
};
void set_fault_plan(const FaultPlan& plan);
void clear_fault_plan();

}  // namespace qelvio::platform

namespace qelvio::platform {
// Replaces the file at `to` with the file at `from`, which is gone
// afterwards. The target is never left half-written: it is either the old
// file or the complete new one. Fails on a read-only target (error 5).
//
// The replacement keeps the file's identity as far as the file system
// lets a rename do so: the new content gets the old file's permission bits
// (and owner, where allowed); a symbolic link stays a link and its final
// target receives the new content. The new content is flushed to disk
// before the rename, and the folder after it, so that a power loss leaves
// the old file or the new one. A file with several hard links is replaced
// under this name only: the other names keep the old content, because
// writing into the shared file in place could leave it half-written.
bool replace_file(std::u16string_view from, std::u16string_view to);
}  // namespace qelvio::platform

namespace qelvio::platform {
// A read-only view of a whole file.
struct MappedFile {
    const uint8_t* data = nullptr;  // null for an empty file
    std::size_t size = 0;
};
// Maps a file read-only; nullopt on failure (last error set).
std::optional<MappedFile> map_file(std::u16string_view path);
void unmap_file(const MappedFile& view);
}  // namespace qelvio::platform
