#include "platform/file_system.h"

#include "platform/device_root.h"
#include "platform/text.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
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

// Local path of a device path, or nullopt (error 123) when a name in it
// cannot be a device name: "." and ".." would leave the folder they are
// given in (and the device root), and "/" would split the name.
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
    return to_local_path(device_path);
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

// Fault plan state: bytes still allowed per side (-1: unlimited).
std::atomic<int64_t> read_budget{-1};
std::atomic<int64_t> write_budget{-1};
std::atomic<uint32_t> fault_error{error_disk_full};

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

// Copies a local file to a local path that must not exist yet.
bool copy_exclusive(const std::string& from, const std::string& to) {
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
    bool ok = copy_content(in, out);
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
        struct stat st {};
        if (::stat((base + "/" + name).c_str(), &st) != 0) continue;  // vanished or dangling
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
    constexpr uint64_t epoch_difference = 11644473600ull;  // seconds from 1601 to 1970
    return (static_cast<uint64_t>(st.st_mtim.tv_sec) + epoch_difference) * 10000000ull +
           static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
}

namespace {
// A read-only file may not be replaced, as on the handheld platform.
bool writable_or_absent(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return true;
    if (S_ISDIR(st.st_mode)) return fail(error_access_denied);
    return (st.st_mode & S_IWUSR) ? true : fail(error_access_denied);
}
}  // namespace

bool copy_file(std::u16string_view from, std::u16string_view to, bool fail_if_exists) {
    auto src = local(from);
    auto dst = local(to);
    if (!src || !dst) return false;
    if (fail_if_exists) return copy_exclusive(*src, *dst);
    if (!writable_or_absent(*dst)) return false;
    // Copy beside the target, then rename over it: the target is either the
    // old file or the complete new one.
    std::string folder = dst->substr(0, dst->rfind('/') + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = folder + hex_name(".qelvio-");
        if (copy_exclusive(*src, temporary)) {
            if (::rename(temporary.c_str(), dst->c_str()) == 0) return true;
            uint32_t error = error_from_errno(errno);
            ::unlink(temporary.c_str());
            return fail(error);
        }
        if (thread_error != error_already_exists) return false;
    }
    return fail(error_other);
}

bool move_file(std::u16string_view from, std::u16string_view to) {
    auto src = local(from);
    auto dst = local(to);
    if (!src || !dst) return false;
    struct stat st {};
    if (::lstat(dst->c_str(), &st) == 0) return fail(error_already_exists);
    if (::rename(src->c_str(), dst->c_str()) == 0) return true;
    if (errno != EXDEV) return fail_errno();
    if (!copy_exclusive(*src, *dst)) return false;
    if (::unlink(src->c_str()) != 0) {
        uint32_t error = error_from_errno(errno);
        ::unlink(dst->c_str());
        return fail(error);
    }
    return true;
}

bool replace_file(std::u16string_view from, std::u16string_view to) {
    auto src = local(from);
    auto dst = local(to);
    if (!src || !dst) return false;
    if (!writable_or_absent(*dst)) return false;
    if (::rename(src->c_str(), dst->c_str()) == 0) return true;
    if (errno != EXDEV) return fail_errno();
    if (!copy_file(from, to, false)) return false;
    ::unlink(src->c_str());
    return true;
}

bool delete_file(std::u16string_view path) {
    auto p = local(path);
    if (!p) return false;
    if (::unlink(p->c_str()) != 0) return fail_errno();
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
    if (!p) return false;
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
}

void clear_fault_plan() { set_fault_plan(FaultPlan{}); }

}  // namespace qelvio::platform
