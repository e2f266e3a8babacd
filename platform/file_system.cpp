#include "platform/file_system.h"

#include "platform/device_root.h"
#include "platform/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>

namespace qelvio::platform {
namespace {

thread_local uint32_t thread_error = error_none;

bool fail(uint32_t error) {
    thread_error = error;
    return false;
}
bool fail_errno() { return fail(error_from_errno(errno)); }

// Whether a local path stays inside the device root once its symbolic
// links are resolved. The longest existing part of the path is resolved;
// an entry that exists but resolves nowhere (a dangling link, a loop) is
// refused as well, since creating through it would write where it points.
bool inside_device_root(const std::string& path) {
    std::string root = device_root();
    if (root.empty()) return true;
    char* resolved_root = ::realpath(root.c_str(), nullptr);
    if (!resolved_root) return true;  // no device: every call fails on its own
    std::string base(resolved_root);
    std::free(resolved_root);
    if (base == "/") return true;
    std::string probe = path;
    for (;;) {
        if (char* resolved = ::realpath(probe.c_str(), nullptr)) {
            std::string r(resolved);
            std::free(resolved);
            return r == base ||
                   (r.size() > base.size() && r.compare(0, base.size(), base) == 0 && r[base.size()] == '/');
        }
        if (errno != ENOENT && errno != ENOTDIR) return false;
        struct stat st {};
        if (::lstat(probe.c_str(), &st) == 0) return false;
        std::size_t slash = probe.rfind('/');
        if (slash == std::string::npos || slash == 0) return true;
        probe.erase(slash);
    }
}

// Local path of a device path, or nullopt (error 123) when a name in it
// cannot be a device name: "." and ".." would leave the folder they are
// given in (and the device root), and "/" would split the name. A path
// that a symbolic link leads out of the device root is refused (error 2).
std::optional<std::string> local(std::u16string_view device_path) {
    std::size_t start = 0;
    while (start <= device_path.size()) {
        std::size_t end = device_path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = device_path.size();
        std::u16string_view name = device_path.substr(start, end - start);
        if (name == u"." || name == u".." || name.find(u'/') != std::u16string_view::npos ||
            name.find(u'\0') != std::u16string_view::npos) {
            thread_error = error_invalid_name;
            return std::nullopt;
        }
        start = end + 1;
    }
    std::string path = to_local_path(device_path);
    if (!inside_device_root(path)) {
        thread_error = error_file_not_found;
        return std::nullopt;
    }
    return path;
}

FileAttributes attributes_of(const std::string& name, const struct stat& st) {
    FileAttributes a;
    a.directory = S_ISDIR(st.st_mode);
    a.readonly = (st.st_mode & S_IWUSR) == 0;
    a.hidden = !name.empty() && name.front() == '.';
    a.system = !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode);
    return a;
}

std::string last_name(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Fault plan state: bytes still allowed per side, and flushes and renames
// still allowed (-1: unlimited).
std::atomic<int64_t> read_budget{-1};
std::atomic<int64_t> write_budget{-1};
std::atomic<int64_t> flush_budget{-1};
std::atomic<int64_t> rename_budget{-1};
std::atomic<uint32_t> fault_error{error_disk_full};

// Whether one more step of a counted kind may run.
bool step_allowed(std::atomic<int64_t>& budget) {
    int64_t left = budget.load();
    while (left >= 0) {
        if (left == 0) return false;
        if (budget.compare_exchange_weak(left, left - 1)) return true;
    }
    return true;
}

// Flushes a descriptor's content to disk.
bool flush_descriptor(int fd) {
    if (!step_allowed(flush_budget)) return fail(fault_error.load());
    if (::fsync(fd) != 0) return fail_errno();
    return true;
}

// Flushes the folder holding a local path, so that a rename in it lasts.
bool flush_folder_of(const std::string& path) {
    std::size_t slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return fail_errno();
    bool flushed = flush_descriptor(fd);
    ::close(fd);
    return flushed;
}

// rename(2) through the fault plan; with no_replace an existing target is
// an error (EEXIST) even where it would be replaced atomically.
bool rename_path(const std::string& from, const std::string& to, bool no_replace) {
    if (!step_allowed(rename_budget)) {
        errno = EIO;
        return fail(fault_error.load());
    }
    if (no_replace) {
        if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
        if (errno != EINVAL && errno != ENOSYS) return fail_errno();
        struct stat st {};
        if (::lstat(to.c_str(), &st) == 0) {
            errno = EEXIST;
            return fail(error_already_exists);
        }
    }
    if (::rename(from.c_str(), to.c_str()) != 0) return fail_errno();
    return true;
}

// How many of count bytes may pass; 0 with the fault error set means fail.
uint32_t allowed(std::atomic<int64_t>& budget, uint32_t count) {
    int64_t left = budget.load();
    while (left >= 0) {
        int64_t take = std::min<int64_t>(left, count);
        if (budget.compare_exchange_weak(left, left - take)) return static_cast<uint32_t>(take);
    }
    return count;
}

int fd_of(uint32_t handle) { return static_cast<int>(handle) - 1; }

int64_t raw_read(int fd, void* buffer, uint32_t count) {
    uint32_t n = allowed(read_budget, count);
    if (n == 0 && count > 0) return fail(fault_error), -1;
    ssize_t got;
    do got = ::read(fd, buffer, n);
    while (got < 0 && errno == EINTR);
    if (got < 0) return fail_errno(), -1;
    return got;
}

int64_t raw_write(int fd, const void* buffer, uint32_t count) {
    uint32_t n = allowed(write_budget, count);
    if (n == 0 && count > 0) return fail(fault_error), -1;
    const char* p = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < n) {
        ssize_t put = ::write(fd, p + done, n - done);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return done ? done : (fail_errno(), -1);
        done += static_cast<uint32_t>(put);
    }
    return done;
}

// Copies everything from one descriptor to another; false on any failure.
bool copy_content(int in, int out) {
    // Without a fault plan the kernel copies (and may share extents); a
    // file system that cannot do that falls back to reading and writing.
    if (read_budget.load() < 0 && write_budget.load() < 0) {
        for (;;) {
            ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
            if (n == 0) return true;
            if (n > 0) continue;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
                return fail_errno();
            break;  // nothing was copied by the kernel yet on these errors
        }
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        int64_t got = raw_read(in, buffer.data(), static_cast<uint32_t>(buffer.size()));
        if (got < 0) return false;
        if (got == 0) return true;
        int64_t put = raw_write(out, buffer.data(), static_cast<uint32_t>(got));
        if (put != got) return put < 0 ? false : fail(error_disk_full);
    }
}

std::string hex_name(const std::string& prefix) {
    static std::mutex m;
    static std::mt19937 rng{std::random_device{}()};
    std::lock_guard lock(m);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(rng() & 0xFFFFFF));
    return prefix + digits + ".tmp";
}

// Copies a local file to a local path that must not exist yet, with the
// source's permission bits; with flush the copy is on disk when this
// returns.
bool copy_exclusive(const std::string& from, const std::string& to, bool flush = false) {
    int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return fail_errno();
    struct stat st {};
    if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(in);
        return fail(S_ISDIR(st.st_mode) ? error_access_denied : error_other);
    }
    int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        uint32_t error = error_from_errno(errno);
        ::close(in);
        return fail(error);
    }
    bool ok = copy_content(in, out) && (!flush || flush_descriptor(out));
    uint32_t error = thread_error;
    ::close(in);
    if (::close(out) != 0 && ok) {
        ok = false;
        error = error_from_errno(errno);
    }
    if (!ok) {
        ::unlink(to.c_str());
        return fail(error);
    }
    return true;
}

// The file a replacement of a local path writes: the final target of a
// symbolic link (which then stays a link), else the path itself.
std::optional<std::string> replacement_target(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return fail_errno(), std::nullopt;  // a dangling link is not followed
    std::string target(resolved);
    std::free(resolved);
    return target;
}

// The state of a file about to be replaced: absent, or a writable regular
// file whose permission bits and owner the new content takes over. A
// read-only file or a folder may not be replaced (error 5).
struct ReplacedFile {
    bool exists = false;
    struct stat st {};
};
std::optional<ReplacedFile> replaced_file(const std::string& target) {
    ReplacedFile r;
    if (::stat(target.c_str(), &r.st) != 0) {
        if (errno == ENOENT) return r;
        return fail_errno(), std::nullopt;
    }
    if (S_ISDIR(r.st.st_mode) || !(r.st.st_mode & S_IWUSR)) return fail(error_access_denied), std::nullopt;
    r.exists = true;
    return r;
}

// Gives an open new file the old file's permission bits and, where the
// system allows it, its owner and group (failing that is not an error: the
// caller may not own another user's file).
bool take_identity(int fd, const ReplacedFile& old) {
    if (!old.exists) return true;
    if (::fchown(fd, old.st.st_uid, old.st.st_gid) != 0)
        (void)!::fchown(fd, static_cast<uid_t>(-1), old.st.st_gid);
    if (::fchmod(fd, old.st.st_mode & 07777) != 0) return fail_errno();
    return true;
}

// Makes a complete, flushed copy of `from` beside `target` and renames it
// over the target; the folder is flushed after the rename. Either the old
// target stays or the new one is complete; no copy is left on failure.
bool copy_over(const std::string& from, const std::string& target, const ReplacedFile& old) {
    std::string folder = target.substr(0, target.rfind('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = folder + hex_name(".qelvio-");
        if (!copy_exclusive(from, temporary)) {
            if (thread_error == error_already_exists) continue;
            return false;
        }
        int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        bool ready = fd >= 0 ? take_identity(fd, old) && flush_descriptor(fd) : fail_errno();
        if (fd >= 0) ::close(fd);
        if (ready && rename_path(temporary, target, false)) {
            flush_folder_of(target);  // the rename is done; a failed flush undoes nothing
            return true;
        }
        uint32_t error = thread_error;
        ::unlink(temporary.c_str());
        return fail(error);
    }
    return fail(error_other);
}

}  // namespace

uint32_t last_error() { return thread_error; }
void set_last_error(uint32_t error) { thread_error = error; }

uint32_t error_from_errno(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR: return error_file_not_found;
        case EACCES:
        case EPERM:
        case EROFS: return error_access_denied;
        case EEXIST: return error_already_exists;
        case ENOSPC:
        case EDQUOT: return error_disk_full;
        case ENAMETOOLONG:
        case EINVAL: return error_invalid_name;
        case ENOTEMPTY: return error_dir_not_empty;
        default: return error_other;
    }
}

std::optional<FileAttributes> get_attributes(std::u16string_view path) {
    auto p = local(path);
    if (!p) return std::nullopt;
    struct stat st {};
    if (::stat(p->c_str(), &st) != 0) return fail_errno(), std::nullopt;
    return attributes_of(last_name(*p), st);
}

bool set_readonly(std::u16string_view path, bool readonly) {
    auto p = local(path);
    if (!p) return false;
    struct stat st {};
    if (::stat(p->c_str(), &st) != 0) return fail_errno();
    mode_t mode = st.st_mode & 07777;
    mode = readonly ? mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) : mode | S_IWUSR;
    if (::chmod(p->c_str(), mode) != 0) return fail_errno();
    return true;
}

std::optional<std::vector<FolderEntry>> list_folder(std::u16string_view path, bool folders_only) {
    auto p = local(path);
    if (!p) return std::nullopt;
    DIR* dir = ::opendir(p->c_str());
    if (!dir) return fail_errno(), std::nullopt;
    std::vector<FolderEntry> entries;
    std::string base = *p == "/" ? "" : *p;
    while (dirent* e = ::readdir(dir)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || name.find('\\') != std::string::npos ||
            !text::is_valid_utf8(name))
            continue;
        std::string entry = base + "/" + name;
        struct stat st {};
        if (::lstat(entry.c_str(), &st) != 0) continue;  // vanished
        if (S_ISLNK(st.st_mode)) {
            // A link shows what it leads to; a dangling one, or one that
            // leads out of the device root, is not part of the device.
            if (::stat(entry.c_str(), &st) != 0 || !inside_device_root(entry)) continue;
        }
        FileAttributes a = attributes_of(name, st);
        if (folders_only && !a.directory) continue;
        entries.push_back({text::to_utf16(name), a});
    }
    ::closedir(dir);
    return entries;
}

uint32_t open_file(std::u16string_view path, OpenMode mode) {
    auto p = local(path);
    if (!p) return 0;
    int flags = O_CLOEXEC;
    switch (mode) {
        case OpenMode::read_existing: flags |= O_RDONLY; break;
        case OpenMode::write_truncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case OpenMode::create_new: flags |= O_RDWR | O_CREAT | O_EXCL; break;
        case OpenMode::write_existing: flags |= O_RDWR; break;
    }
    int fd = ::open(p->c_str(), flags, 0666);
    if (fd < 0) return fail_errno(), 0;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(error_access_denied), 0;
    }
    return static_cast<uint32_t>(fd) + 1;
}

int64_t read_file(uint32_t handle, void* buffer, uint32_t count) {
    return raw_read(fd_of(handle), buffer, count);
}

int64_t write_file(uint32_t handle, const void* buffer, uint32_t count) {
    return raw_write(fd_of(handle), buffer, count);
}

int64_t seek_file(uint32_t handle, int origin, int64_t offset) {
    int whence = origin == 0 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    off_t pos = ::lseek(fd_of(handle), offset, whence);
    if (pos < 0) return fail_errno(), -1;
    return pos;
}

bool close_file(uint32_t handle) {
    if (::close(fd_of(handle)) != 0) return fail_errno();
    return true;
}

bool flush_file(uint32_t handle) { return flush_descriptor(fd_of(handle)); }

std::optional<int64_t> file_size(std::u16string_view path) {
    auto p = local(path);
    if (!p) return std::nullopt;
    struct stat st {};
    if (::stat(p->c_str(), &st) != 0) return fail_errno(), std::nullopt;
    return static_cast<int64_t>(st.st_size);
}

std::optional<uint64_t> file_time(std::u16string_view path) {
    auto p = local(path);
    if (!p) return std::nullopt;
    struct stat st {};
    if (::stat(p->c_str(), &st) != 0) return fail_errno(), std::nullopt;
    return file_time_from_unix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
}

namespace {
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
constexpr int64_t kFileTimeUnitsPerSecond = 10000000;
}  // namespace

uint64_t file_time_from_unix(int64_t seconds, int64_t nanoseconds) {
    return static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * kFileTimeUnitsPerSecond +
           static_cast<uint64_t>(nanoseconds) / 100;
}

int64_t unix_seconds_of_file_time(uint64_t file_time) {
    return static_cast<int64_t>(file_time / kFileTimeUnitsPerSecond) - kSecondsFrom1601To1970;
}

uint64_t file_time_now() {
    struct timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return file_time_from_unix(now.tv_sec, now.tv_nsec);
}

bool copy_file(std::u16string_view from, std::u16string_view to, bool fail_if_exists) {
    auto src = local(from);
    auto dst = local(to);
    if (!src || !dst) return false;
    if (fail_if_exists) return copy_exclusive(*src, *dst);
    auto target = replacement_target(*dst);
    if (!target) return false;
    auto old = replaced_file(*target);
    if (!old) return false;
    return copy_over(*src, *target, *old);
}

bool move_file(std::u16string_view from, std::u16string_view to) {
    auto src = local(from);
    auto dst = local(to);
    if (!src || !dst) return false;
    struct stat st {}, own {};
    // The same entry under a name in another case (a file system that
    // ignores case) is a rename of the file itself, not a clash.
    bool itself = ::lstat(dst->c_str(), &st) == 0 && ::lstat(src->c_str(), &own) == 0 &&
                  st.st_dev == own.st_dev && st.st_ino == own.st_ino && *src != *dst;
    if (!itself && ::lstat(dst->c_str(), &st) == 0) return fail(error_already_exists);
    if (rename_path(*src, *dst, !itself)) {
        flush_folder_of(*dst);
        return true;
    }
    if (errno != EXDEV) return false;
    // Another file system: the copy is complete and on disk before the
    // source goes.
    if (!copy_exclusive(*src, *dst, true)) return false;
    if (::unlink(src->c_str()) != 0) {
        uint32_t error = error_from_errno(errno);
        ::unlink(dst->c_str());
        return fail(error);
    }
    flush_folder_of(*dst);
    return true;
}

bool replace_file(std::u16string_view from, std::u16string_view to) {
    auto src = local(from);
    auto dst = local(to);
    if (!src || !dst) return false;
    auto target = replacement_target(*dst);
    if (!target) return false;
    auto old = replaced_file(*target);
    if (!old) return false;
    int fd = ::open(src->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail_errno();
    bool ready = take_identity(fd, *old) && flush_descriptor(fd);
    ::close(fd);
    if (!ready) return false;
    if (rename_path(*src, *target, false)) {
        flush_folder_of(*target);  // the rename is done; a failed flush undoes nothing
        return true;
    }
    if (errno != EXDEV) return false;
    if (!copy_over(*src, *target, *old)) return false;
    ::unlink(src->c_str());
    return true;
}

namespace {
// A read-only entry may not be deleted, as on the handheld platform.
bool deletable(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return fail_errno();
    if (!S_ISLNK(st.st_mode) && !(st.st_mode & S_IWUSR)) return fail(error_access_denied);
    return true;
}
}  // namespace

bool delete_file(std::u16string_view path) {
    auto p = local(path);
    if (!p || !deletable(*p)) return false;
    if (::unlink(p->c_str()) != 0) return fail_errno();
    return true;
}

bool same_file(std::u16string_view a, std::u16string_view b) {
    auto pa = local(a);
    auto pb = local(b);
    if (!pa || !pb) return false;
    struct stat sa {}, sb {};
    if (::stat(pa->c_str(), &sa) != 0 || ::stat(pb->c_str(), &sb) != 0) return fail_errno();
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool is_symbolic_link(std::u16string_view path) {
    auto p = local(path);
    struct stat st {};
    return p && ::lstat(p->c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool copy_permissions(std::u16string_view model, std::u16string_view path) {
    auto pm = local(model);
    auto pp = local(path);
    if (!pm || !pp) return false;
    struct stat st {};
    if (::stat(pm->c_str(), &st) != 0) return fail_errno();
    if (::chmod(pp->c_str(), st.st_mode & 07777) != 0) return fail_errno();
    return true;
}

bool create_folder(std::u16string_view path) {
    auto p = local(path);
    if (!p) return false;
    if (::mkdir(p->c_str(), 0777) != 0) return fail_errno();
    return true;
}

bool remove_folder(std::u16string_view path) {
    auto p = local(path);
    if (!p || !deletable(*p)) return false;
    if (::rmdir(p->c_str()) != 0) return fail(errno == EEXIST ? error_dir_not_empty : error_from_errno(errno));
    return true;
}

std::optional<uint64_t> free_space(std::u16string_view path) {
    auto p = local(path);
    if (!p) return std::nullopt;
    struct statvfs st {};
    if (::statvfs(p->c_str(), &st) != 0) return fail_errno(), std::nullopt;
    return static_cast<uint64_t>(st.f_bavail) * st.f_frsize;
}

std::optional<std::u16string> create_unique_file(std::u16string_view folder,
                                                 std::u16string_view prefix) {
    auto p = local(folder);
    if (!p) return std::nullopt;
    std::string base = p->empty() || p->back() != '/' ? *p + "/" : *p;
    std::u16string device_folder(folder);
    if (device_folder.empty() || device_folder.back() != u'\\') device_folder += u'\\';
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string name = hex_name(text::to_utf8(prefix));
        int fd = ::open((base + name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return device_folder + text::to_utf16(name);
        }
        if (errno != EEXIST) return fail_errno(), std::nullopt;
    }
    return fail(error_other), std::nullopt;
}

std::optional<MappedFile> map_file(std::u16string_view path) {
    auto p = local(path);
    if (!p) return std::nullopt;
    int fd = ::open(p->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return fail_errno(), std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        uint32_t error = S_ISDIR(st.st_mode) ? error_access_denied : error_from_errno(errno);
        ::close(fd);
        return fail(error), std::nullopt;
    }
    MappedFile view;
    view.size = static_cast<std::size_t>(st.st_size);
    if (view.size > 0) {
        void* data = ::mmap(nullptr, view.size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) {
            uint32_t error = error_from_errno(errno);
            ::close(fd);
            return fail(error), std::nullopt;
        }
        view.data = static_cast<const uint8_t*>(data);
    }
    ::close(fd);  // the mapping stays valid without the descriptor
    return view;
}

void unmap_file(const MappedFile& view) {
    if (view.data) ::munmap(const_cast<uint8_t*>(view.data), view.size);
}

void set_fault_plan(const FaultPlan& plan) {
    fault_error = plan.error;
    read_budget = plan.fail_read_after;
    write_budget = plan.fail_write_after;
    flush_budget = plan.fail_flush_after;
    rename_budget = plan.fail_rename_after;
}

void clear_fault_plan() { set_fault_plan(FaultPlan{}); }

}  // namespace qelvio::platform
