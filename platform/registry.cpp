#include "platform/registry.h"

#include "platform/debug_output.h"
#include "platform/registry_hive.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

struct qelvio::platform::RegKeyObject {
    RegHive hive;
    std::u16string path;  // components joined by backslashes; "" for the root
    bool writable;
    bool root;
};

namespace qelvio::platform {
namespace {

const char* root_name(RegHive hive) {
    switch (hive) {
    case RegHive::current_user: return "HKEY_CURRENT_USER";
    case RegHive::local_machine: return "HKEY_LOCAL_MACHINE";
    case RegHive::classes_root: return "HKEY_CLASSES_ROOT";
    }
    return "";
}

const char* file_name(RegHive hive) {
    switch (hive) {
    case RegHive::current_user: return "user.reg";
    case RegHive::local_machine: return "machine.reg";
    case RegHive::classes_root: return "classes.reg";
    }
    return "";
}

// Identity of a hive file's current version: any change replaces the file.
struct Stamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};
    timespec ctime{};

    bool operator==(const Stamp& o) const {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
               ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

Stamp stamp_of(const std::string& file) {
    struct stat st;
    Stamp s;
    if (::stat(file.c_str(), &st) != 0) return s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
}

bool read_whole(const std::string& file, std::string* out) {
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    out->clear();
    char buf[65536];
    while (true) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out->append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

}  // namespace

// One hive file and the last version of it that this process read.
struct HiveState {
    std::recursive_mutex mutex;
    RegHive hive;
    std::string file;
    RegHiveData data;
    Stamp stamp;
    bool loaded = false;
    // An open batch (RegBatch) of the thread that holds the mutex.
    int batch_depth = 0;
    int batch_fd = -1;
    bool batch_dirty = false;

    // Reads the file again when it changed (or always, when force is set).
    // A file that cannot be parsed is moved aside when locked is set (the
    // caller holds the inter-process lock) and read as empty either way.
    void refresh(bool force, bool locked) {
        Stamp now = stamp_of(file);
        if (loaded && !force && now == stamp) return;
        loaded = true;
        stamp = now;
        data = RegHiveData();
        if (!now.exists) return;
        std::string content;
        if (!read_whole(file, &content)) {
            debug_trace(u"registry: cannot read %s (%s)", file, std::strerror(errno));
            return;
        }
        auto parsed = RegHiveData::parse(content, root_name(hive));
        if (parsed) {
            data = std::move(*parsed);
            return;
        }
        if (!locked && batch_fd < 0) {
            // Set aside under the lock, unless a writer replaced it meanwhile.
            int fd = lock();
            refresh(true, true);
            unlock(fd);
            return;
        }
        std::string bad = file + ".bad";
        if (::rename(file.c_str(), bad.c_str()) == 0) {
            debug_trace(u"registry: unreadable hive %s moved to %s", file, bad);
        } else {
            debug_trace(u"registry: unreadable hive %s (%s)", file, std::strerror(errno));
        }
        stamp = stamp_of(file);
    }

    // Takes the inter-process lock of this hive; -1 when the lock file cannot
    // be made (changes then fail with 1013).
    int lock() {
        std::error_code ec;
        std::filesystem::path dir = std::filesystem::path(file).parent_path();
        std::filesystem::create_directories(dir, ec);
        std::string lock_file = file + ".lock";
        int fd = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return -1;
        while (::flock(fd, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                return -1;
            }
        }
        return fd;
    }

    static void unlock(int fd) {
        if (fd >= 0) ::close(fd);  // closing releases the lock
    }

    // Writes data to a temporary file and renames it over the hive.
    bool write() {
        std::string text = data.serialize(root_name(hive));
        std::string temp = file + ".XXXXXX";
        int fd = ::mkstemp(temp.data());
        if (fd < 0) return false;
        ::fchmod(fd, 0600);
        std::size_t done = 0;
        bool ok = true;
        while (done < text.size()) {
            ssize_t n = ::write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = false;
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        if (ok && ::fdatasync(fd) != 0) ok = false;
        if (::close(fd) != 0) ok = false;
        if (ok && ::rename(temp.c_str(), file.c_str()) != 0) ok = false;
        if (!ok) {
            debug_trace(u"registry: cannot write %s (%s)", file, std::strerror(errno));
            ::unlink(temp.c_str());
            return false;
        }
        stamp = stamp_of(file);
        return true;
    }

    // Runs a change on the newest content under the inter-process lock and
    // writes the hive when the change reports that it changed something.
    int32_t change(const std::function<int32_t(RegHiveData&, bool&)>& fn) {
        if (batch_depth > 0) {
            // Written when the batch commits; the lock is already held.
            if (batch_fd < 0) return REG_ERROR_CANTWRITE;
            bool changed = false;
            int32_t result = fn(data, changed);
            if (changed) batch_dirty = true;
            return result;
        }
        int fd = lock();
        if (fd < 0) {
            debug_trace(u"registry: cannot lock %s.lock (%s)", file, std::strerror(errno));
            return REG_ERROR_CANTWRITE;
        }
        // Always re-read: another process may have written since.
        refresh(true, true);
        bool changed = false;
        int32_t result = fn(data, changed);
        if (result == REG_OK && changed && !write()) {
            result = REG_ERROR_CANTWRITE;
            refresh(true, true);  // drop the change that was not stored
        }
        unlock(fd);
        return result;
    }
};

namespace {

std::mutex states_mutex;

HiveState& state_for(RegHive hive) {
    static std::map<std::string, std::unique_ptr<HiveState>> states;
    std::string file = reg_hive_file(hive);
    std::lock_guard lock(states_mutex);
    auto& slot = states[file];
    if (!slot) {
        slot = std::make_unique<HiveState>();
        slot->hive = hive;
        slot->file = file;
    }
    return *slot;
}

RegKeyObject roots[] = {
    {RegHive::current_user, u"", true, true},
    {RegHive::local_machine, u"", true, true},
    {RegHive::classes_root, u"", true, true},
};

// The full path of the subkey `path` (backslash-separated, possibly empty)
// of base; false when the path is malformed.
bool subkey_path(std::u16string_view base, std::u16string_view path, std::u16string* full) {
    std::vector<std::u16string> parts;
    if (!reg_split_path(path, &parts)) return false;
    *full = base;
    for (const std::u16string& p : parts) {
        if (!full->empty()) *full += u'\\';
        *full += p;
    }
    return true;
}

bool valid_value_name(std::u16string_view name) { return name.size() <= kMaxValueNameChars; }

}  // namespace

RegKey reg_root(RegHive hive) { return &roots[static_cast<int>(hive)]; }

std::string reg_config_dir() {
    if (const char* dir = std::getenv("QELVIO_CONFIG_DIR"); dir && *dir) return dir;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/')
        return std::string(xdg) + "/qelvio";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/qelvio";
}

std::string reg_hive_file(RegHive hive) { return reg_config_dir() + "/" + file_name(hive); }

int32_t reg_create_key(RegKey parent, std::u16string_view path, RegKey* out, bool* created) {
    if (out) *out = nullptr;
    if (created) *created = false;
    if (!parent) return REG_ERROR_INVALID_HANDLE;
    if (!out) return REG_ERROR_INVALID_PARAMETER;
    std::u16string full;
    if (!subkey_path(parent->path, path, &full)) return REG_ERROR_INVALID_PARAMETER;
    HiveState& s = state_for(parent->hive);
    std::lock_guard lock(s.mutex);
    s.refresh(false, false);
    if (!s.data.find(parent->path)) return REG_ERROR_KEY_DELETED;
    bool was_created = false;
    if (!s.data.find(full)) {
        if (!parent->writable) return REG_ERROR_ACCESS_DENIED;
        int32_t r = s.change([&](RegHiveData& d, bool& changed) {
            if (!d.find(parent->path)) return static_cast<int32_t>(REG_ERROR_KEY_DELETED);
            d.create(full, &was_created);
            changed = was_created;
            return static_cast<int32_t>(REG_OK);
        });
        if (r != REG_OK) return r;
    }
    if (created) *created = was_created;
    *out = new RegKeyObject{parent->hive, full, true, false};
    return REG_OK;
}

int32_t reg_open_key(RegKey parent, std::u16string_view path, bool writable, RegKey* out) {
    if (out) *out = nullptr;
    if (!parent) return REG_ERROR_INVALID_HANDLE;
    if (!out) return REG_ERROR_INVALID_PARAMETER;
    std::u16string full;
    if (!subkey_path(parent->path, path, &full)) return REG_ERROR_INVALID_PARAMETER;
    HiveState& s = state_for(parent->hive);
    std::lock_guard lock(s.mutex);
    s.refresh(false, false);
    RegKeyData* key = s.data.find(full);
    if (!key) return s.data.find(parent->path) ? REG_ERROR_FILE_NOT_FOUND : REG_ERROR_KEY_DELETED;
    *out = new RegKeyObject{parent->hive, key->path, writable, false};
    return REG_OK;
}

int32_t reg_close_key(RegKey key) {
    if (!key) return REG_ERROR_INVALID_HANDLE;
    if (!key->root) delete key;
    return REG_OK;
}

int32_t reg_query_value(RegKey key, std::u16string_view name, uint32_t* type, void* data,
                        uint32_t* size) {
    if (!key) return REG_ERROR_INVALID_HANDLE;
    if (data && !size) return REG_ERROR_INVALID_PARAMETER;
    if (!valid_value_name(name)) return REG_ERROR_INVALID_PARAMETER;
    HiveState& s = state_for(key->hive);
    std::lock_guard lock(s.mutex);
    s.refresh(false, false);
    RegKeyData* k = s.data.find(key->path);
    if (!k) return REG_ERROR_KEY_DELETED;
    RegValue* v = k->find_value(name);
    if (!v) return REG_ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;
    auto needed = static_cast<uint32_t>(v->data.size());
    if (data) {
        if (*size < needed) {
            *size = needed;
            return REG_ERROR_MORE_DATA;
        }
        if (needed) std::memcpy(data, v->data.data(), needed);
    }
    if (size) *size = needed;
    return REG_OK;
}

int32_t reg_set_value(RegKey key, std::u16string_view name, uint32_t type, const void* data,
                      uint32_t size) {
    if (!key) return REG_ERROR_INVALID_HANDLE;
    if (!valid_value_name(name) || size > kMaxValueBytes || (!data && size))
        return REG_ERROR_INVALID_PARAMETER;
    if (!key->writable) return REG_ERROR_ACCESS_DENIED;
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> value(bytes, bytes + size);
    HiveState& s = state_for(key->hive);
    std::lock_guard lock(s.mutex);
    return s.change([&](RegHiveData& d, bool& changed) {
        RegKeyData* k = d.find(key->path);
        if (!k) return static_cast<int32_t>(REG_ERROR_KEY_DELETED);
        RegValue* v = k->find_value(name);
        if (v && v->type == type && v->data == value) return static_cast<int32_t>(REG_OK);
        if (v) {
            v->type = type;
            v->data = std::move(value);
        } else {
            k->values.push_back(RegValue{std::u16string(name), type, std::move(value)});
        }
        changed = true;
        return static_cast<int32_t>(REG_OK);
    });
}

int32_t reg_delete_value(RegKey key, std::u16string_view name) {
    if (!key) return REG_ERROR_INVALID_HANDLE;
    if (!valid_value_name(name)) return REG_ERROR_INVALID_PARAMETER;
    if (!key->writable) return REG_ERROR_ACCESS_DENIED;
    HiveState& s = state_for(key->hive);
    std::lock_guard lock(s.mutex);
    return s.change([&](RegHiveData& d, bool& changed) {
        RegKeyData* k = d.find(key->path);
        if (!k) return static_cast<int32_t>(REG_ERROR_KEY_DELETED);
        RegValue* v = k->find_value(name);
        if (!v) return static_cast<int32_t>(REG_ERROR_FILE_NOT_FOUND);
        k->values.erase(k->values.begin() + (v - k->values.data()));
        changed = true;
        return static_cast<int32_t>(REG_OK);
    });
}

int32_t reg_enum_key(RegKey key, uint32_t index, std::u16string* name) {
    if (!key) return REG_ERROR_INVALID_HANDLE;
    if (!name) return REG_ERROR_INVALID_PARAMETER;
    HiveState& s = state_for(key->hive);
    std::lock_guard lock(s.mutex);
    s.refresh(false, false);
    if (!s.data.find(key->path)) return REG_ERROR_KEY_DELETED;
    std::vector<std::u16string> subs = s.data.subkeys(key->path);
    if (index >= subs.size()) return REG_ERROR_NO_MORE_ITEMS;
    *name = subs[index];
    return REG_OK;
}

int32_t reg_enum_value(RegKey key, uint32_t index, std::u16string* name) {
    if (!key) return REG_ERROR_INVALID_HANDLE;
    if (!name) return REG_ERROR_INVALID_PARAMETER;
    HiveState& s = state_for(key->hive);
    std::lock_guard lock(s.mutex);
    s.refresh(false, false);
    RegKeyData* k = s.data.find(key->path);
    if (!k) return REG_ERROR_KEY_DELETED;
    if (index >= k->values.size()) return REG_ERROR_NO_MORE_ITEMS;
    *name = k->values[index].name;
    return REG_OK;
}

int32_t reg_delete_key(RegKey parent, std::u16string_view path) {
    if (!parent) return REG_ERROR_INVALID_HANDLE;
    if (!parent->writable) return REG_ERROR_ACCESS_DENIED;
    std::u16string full;
    if (!subkey_path(parent->path, path, &full)) return REG_ERROR_INVALID_PARAMETER;
    if (full == parent->path) return REG_ERROR_ACCESS_DENIED;  // a key cannot delete itself
    HiveState& s = state_for(parent->hive);
    std::lock_guard lock(s.mutex);
    return s.change([&](RegHiveData& d, bool& changed) {
        if (!d.find(parent->path)) return static_cast<int32_t>(REG_ERROR_KEY_DELETED);
        if (!d.find(full)) return static_cast<int32_t>(REG_ERROR_FILE_NOT_FOUND);
        if (!d.subkeys(full).empty()) return static_cast<int32_t>(REG_ERROR_ACCESS_DENIED);
        d.remove(full);
        changed = true;
        return static_cast<int32_t>(REG_OK);
    });
}

RegBatch::RegBatch(RegHive hive) : state_(&state_for(hive)) {
    state_->mutex.lock();
    if (state_->batch_depth++ == 0) {
        state_->batch_fd = state_->lock();
        state_->batch_dirty = false;
        if (state_->batch_fd >= 0) state_->refresh(true, true);
    }
}

int32_t RegBatch::commit() {
    HiveState& s = *state_;
    if (s.batch_depth > 1) return REG_OK;  // the outermost batch writes
    if (s.batch_fd < 0) return REG_ERROR_CANTWRITE;
    if (!s.batch_dirty) return REG_OK;
    s.batch_dirty = false;
    if (s.write()) return REG_OK;
    s.refresh(true, true);  // drop what could not be stored
    return REG_ERROR_CANTWRITE;
}

RegBatch::~RegBatch() {
    if (state_->batch_depth == 1) {
        commit();
        HiveState::unlock(state_->batch_fd);
        state_->batch_fd = -1;
    }
    --state_->batch_depth;
    state_->mutex.unlock();
}

}  // namespace qelvio::platform
