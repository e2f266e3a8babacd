#include "qelvio/p_devicestore.h"

#include "qelvio/p_filetree.h"
#include "platform/file_system.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unordered_set>

namespace fs = qelvio::platform;

namespace {

std::u16string_view view_of(const char16_t* text) {
    return text ? std::u16string_view(text, qelvio::text::length(text)) : std::u16string_view();
}

// A name the device can hold as one path element.
bool valid_name(std::u16string_view name) {
    std::u16string terminated(name);
    return p_isvalidname(terminated.c_str());
}

bool same_name_ignoring_case(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return qelvio::text::fold_case(x) == qelvio::text::fold_case(y);
           });
}

bool has_extension(std::u16string_view name, const std::vector<std::u16string>& admitted) {
    std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos) return false;
    std::u16string_view ext = name.substr(dot + 1);
    return std::any_of(admitted.begin(), admitted.end(),
                       [&](const std::u16string& a) { return same_name_ignoring_case(a, ext); });
}

}  // namespace

// ---- p_devicestore ----

p_devicestore::p_devicestore() {
    scheme = u"file";
    displayname = u"My Device";
}

p_filesource* p_devicestore::createsource(const char16_t*) {
    auto* source = new p_filesource(*this, u"");
    source->root = new p_devicefile(source, u"\\");
    return source;
}

int32_t p_devicestore::destroysource(p_filesource* source) {
    if (source) delete source->root;
    delete source;
    return 1;
}

int32_t p_devicestore::query(p_string& out) {
    out.clear();
    return 1;
}

// ---- p_devicefile ----

p_string p_devicefile::childpath(std::u16string_view name) const {
    std::u16string p(path.view());
    if (p.empty() || p.back() != u'\\') p += u'\\';
    p += name;
    return p_string(p.c_str());
}

int32_t p_devicefile::announce(std::u16string_view name, bool directory) {
    P_CREATEFILESTRUCT create;
    std::size_t n = std::min<std::size_t>(name.size(), 259);
    std::copy_n(name.data(), n, create.name);
    create.name[n] = 0;
    create.isdirectory = directory;
    create.file = new p_devicefile(getfilesource(), childpath(name.substr(0, n)));
    int32_t result = send_addchild(&create);
    if (result < 0) delete create.file;
    return result;
}

int32_t p_devicefile::init() {
    uint32_t flags = 0;
    if (isdirectory()) {
        // Hidden and system folders are never shown, so they do not count.
        auto entries = fs::list_folder(path.view(), true);
        if (entries && std::any_of(entries->begin(), entries->end(), [](const fs::FolderEntry& e) {
                return !e.attributes.hidden && !e.attributes.system;
            }))
            flags = P_FLAG_HASSUBFOLDERS;
    }
    send_flags(flags);
    return P_OK;
}

int32_t p_devicefile::trackchildren() {
    p_filenode* self = getnode();
    if (!self) return P_FAILED;
    uint32_t mode = self->gettrackmode();
    if (mode == P_TRACK_NONE || mode == P_TRACK_FOLDERS) {
        for (p_filenode* child : std::vector<p_filenode*>(self->getchildren())) {
            if (mode == P_TRACK_FOLDERS && child->isdirectory()) continue;
            p_file* file = child->getfile();
            send_removechild(child->getname());
            delete file;
        }
    }
    if (!isdirectory() || mode == P_TRACK_NONE) return P_OK;

    bool every_file = false;
    std::vector<std::u16string> admitted;
    if (mode == P_TRACK_FILES) {
        std::u16string_view list = self->gettrackextensions().view();
        std::size_t start = 0;
        while (start < list.size()) {
            std::size_t end = list.find(u' ', start);
            if (end == std::u16string_view::npos) end = list.size();
            if (end > start) {
                std::u16string word(list.substr(start, end - start));
                if (admitted.empty() && !every_file && word.size() == 1 && word[0] == u'*')
                    every_file = true;
                else if (admitted.size() < 16)
                    admitted.push_back(word);
            }
            start = end + 1;
        }
    }

    auto entries = fs::list_folder(path.view(), mode == P_TRACK_FOLDERS);
    if (!entries) return p_lasterrorstatus();
    // A listing again (a forced one) also lets go of the children the medium
    // no longer has: another program removed or renamed them.
    std::unordered_set<std::u16string_view> present;
    for (const fs::FolderEntry& e : *entries) present.insert(e.name);
    for (p_filenode* child : std::vector<p_filenode*>(self->getchildren())) {
        if (mode == P_TRACK_FOLDERS && !child->isdirectory()) continue;
        if (present.count(child->getname().view())) continue;
        p_file* file = child->getfile();
        p_string stale_name = child->getname();
        send_removechild(stale_name);
        delete file;
    }
    for (const fs::FolderEntry& e : *entries) {
        if (e.attributes.hidden || e.attributes.system) continue;
        if (self->getexactchild(e.name.c_str(), false)) continue;
        if (!e.attributes.directory) {
            if (mode == P_TRACK_FOLDERS) continue;
            if (!every_file && !has_extension(e.name, admitted)) continue;
        }
        announce(e.name, e.attributes.directory);
    }
    return P_OK;
}

int32_t p_devicefile::trackchild(const char16_t* name) {
    std::u16string_view n = view_of(name);
    if (!valid_name(n)) return P_NOT_FOUND;
    p_filenode* self = getnode();
    auto attributes = fs::get_attributes(childpath(n).view());
    if (attributes) {
        if (self && self->getexactchild(name, false)) return P_OK;
        return announce(n, attributes->directory) < 0 ? P_FAILED : P_OK;
    }
    // A tracked child the medium no longer has (another program removed or
    // renamed it) leaves the tree.
    if (self) {
        if (p_filenode* stale = self->getexactchild(name, false)) {
            p_file* file = stale->getfile();
            p_string stale_name = stale->getname();
            send_removechild(stale_name);
            delete file;
        }
    }
    // The file system keeps case, so a.jpg and A.jpg are two files. Only
    // when no entry has exactly this name is one that differs in case taken,
    // and only when it is the only one: a name never selects a different
    // one of two existing files.
    auto entries = fs::list_folder(path.view(), false);
    if (!entries) return P_NOT_FOUND;
    const fs::FolderEntry* match = nullptr;
    for (const fs::FolderEntry& e : *entries) {
        if (!same_name_ignoring_case(e.name, n)) continue;
        if (match) return P_NOT_FOUND;
        match = &e;
    }
    if (!match || match->attributes.system) return P_NOT_FOUND;
    if (self && self->getexactchild(match->name.c_str(), false)) return P_OK;
    return announce(match->name, match->attributes.directory) < 0 ? P_FAILED : P_OK;
}

int32_t p_devicefile::getfilesize() {
    if (isdirectory()) return P_FAILED;
    auto size = fs::file_size(path.view());
    if (!size) return p_lasterrorstatus();
    // Sizes travel as non-negative 32-bit results; a larger file cannot be
    // described and is refused rather than reported wrongly.
    if (*size > INT32_MAX) return P_FAILED;
    return static_cast<int32_t>(*size);
}

int32_t p_devicefile::getfiletime(uint64_t* time) {
    auto t = fs::file_time(path.view());
    if (!t) return p_lasterrorstatus();
    if (time) *time = *t;
    return P_OK;
}

int32_t p_devicefile::getfileattributes(uint32_t* attributes) {
    auto a = fs::get_attributes(path.view());
    if (!a) return p_lasterrorstatus();
    if (attributes) *attributes = a->readonly ? P_ATTRIBUTE_READONLY : 0;
    return P_OK;
}

int32_t p_devicefile::setfileattributes(uint32_t attributes) {
    return fs::set_readonly(path.view(), attributes & P_ATTRIBUTE_READONLY) ? P_OK : P_FAILED;
}

int32_t p_devicefile::copytochild(p_file* source_file, const char16_t* name) {
    auto* from_file = dynamic_cast<p_devicefile*>(source_file);
    if (!from_file) return P_NOT_SUPPORTED;
    int32_t size = from_file->getfilesize();
    if (size < 0) return size;
    auto space = fs::free_space(u"\\");
    if (space && *space < static_cast<uint64_t>(size)) return P_DISK_FULL;
    std::u16string_view target_name = name ? view_of(name) : std::u16string_view();
    if (!name) {
        std::u16string_view from = from_file->path.view();
        target_name = from.substr(from.rfind(u'\\') + 1);
    }
    if (!valid_name(target_name)) return P_INVALID_NAME;
    p_string target = childpath(target_name);
    if (!fs::copy_file(from_file->path.view(), target.view(), true)) return p_lasterrorstatus();
    return announce(target_name, false) < 0 ? P_FAILED : P_OK;
}

int32_t p_devicefile::open(uint32_t mode, uint32_t* handle) {
    if (handle) *handle = 0;
    fs::OpenMode how;
    if (mode & P_OPEN_READ)
        how = fs::OpenMode::read_existing;
    else if (mode & P_OPEN_WRITE)
        how = fs::OpenMode::write_truncate;
    else
        return P_INVALID_PARAMETER;
    uint32_t h = fs::open_file(path.view(), how);
    if (!h) return p_lasterrorstatus();
    if (handle) *handle = h;
    return P_OK;
}

int32_t p_devicefile::read(uint32_t handle, void* buffer, uint32_t count) {
    count = std::min<uint32_t>(count, INT32_MAX);
    int64_t n = fs::read_file(handle, buffer, count);
    return n < 0 ? p_lasterrorstatus() : static_cast<int32_t>(n);
}

int32_t p_devicefile::write(uint32_t handle, const void* buffer, uint32_t count) {
    count = std::min<uint32_t>(count, INT32_MAX);
    int64_t n = fs::write_file(handle, buffer, count);
    return n < 0 ? p_lasterrorstatus() : static_cast<int32_t>(n);
}

int32_t p_devicefile::seek(uint32_t handle, uint32_t origin, int32_t offset) {
    int64_t pos = fs::seek_file(handle, static_cast<int>(origin), offset);
    if (pos < 0) return p_lasterrorstatus();
    return pos > INT32_MAX ? P_FAILED : static_cast<int32_t>(pos);
}

int32_t p_devicefile::tell(uint32_t handle) { return seek(handle, 0, 0); }

int32_t p_devicefile::close(uint32_t handle) {
    return fs::close_file(handle) ? P_OK : p_lasterrorstatus();
}

bool p_devicefile::moveto(const p_string& new_path) {
    if (!fs::move_file(path.view(), new_path.view())) return false;
    std::u16string old_prefix(path.view()), new_prefix(new_path.view());
    path = new_path;
    // Tracked descendants hold full paths under the old one.
    std::vector<p_filenode*> pending;
    if (getnode()) pending = getnode()->getchildren();
    while (!pending.empty()) {
        p_filenode* descendant = pending.back();
        pending.pop_back();
        if (auto* file = dynamic_cast<p_devicefile*>(descendant->getfile())) {
            std::u16string p(file->path.view());
            if (p.compare(0, old_prefix.size(), old_prefix) == 0)
                file->path = (new_prefix + p.substr(old_prefix.size())).c_str();
        }
        pending.insert(pending.end(), descendant->getchildren().begin(),
                       descendant->getchildren().end());
    }
    return true;
}

int32_t p_devicefile::rename(const char16_t* name) {
    std::u16string_view n = view_of(name);
    if (!valid_name(n)) return P_INVALID_NAME;
    std::u16string p(path.view());
    std::size_t slash = p.rfind(u'\\');
    std::u16string renamed = (slash == std::u16string::npos ? u"" : p.substr(0, slash + 1));
    renamed += n;
    if (!moveto(p_string(renamed.c_str()))) return p_lasterrorstatus();
    send_name(name);
    return P_OK;
}

int32_t p_devicefile::setparent(const char16_t* folder_path) {
    std::u16string target(view_of(folder_path));
    if (target.empty() || target.back() != u'\\') target += u'\\';
    std::u16string_view p = path.view();
    target += p.substr(p.rfind(u'\\') + 1);
    if (!moveto(p_string(target.c_str()))) return p_lasterrorstatus();
    send_parent(folder_path);
    return P_OK;
}

int32_t p_devicefile::createchild(P_CREATEFILESTRUCT* create) {
    if (!create) return P_INVALID_PARAMETER;
    std::u16string_view name = view_of(create->name);
    if (!valid_name(name)) return P_INVALID_NAME;
    p_string child = childpath(name);
    if (fs::get_attributes(child.view())) return P_ALREADY_EXISTS;
    create->file = nullptr;
    if (create->isdirectory) {
        if (!fs::create_folder(child.view())) return p_lasterrorstatus();
    } else {
        uint32_t h = fs::open_file(child.view(), fs::OpenMode::create_new);
        if (!h) return p_lasterrorstatus();
        // A new file holds one 16-bit space character.
        const unsigned char space[2] = {0x20, 0x00};
        bool written = fs::write_file(h, space, 2) == 2;
        int32_t status = written ? P_OK : p_lasterrorstatus();
        if (!fs::close_file(h) && written) status = p_lasterrorstatus(), written = false;
        if (!written) {
            fs::delete_file(child.view());
            return status == P_OK ? P_FAILED : status;
        }
    }
    create->file = new p_devicefile(getfilesource(), child);
    int32_t result = send_addchild(create);
    if (result < 0) {
        delete create->file;
        create->file = nullptr;
    }
    return result;
}

int32_t p_devicefile::deletechild(const char16_t* name) {
    p_filenode* self = getnode();
    p_filenode* child = self ? self->getexactchild(name, false) : nullptr;
    if (!child) return P_NOT_FOUND;
    auto* file = dynamic_cast<p_devicefile*>(child->getfile());
    if (!file) return P_FAILED;
    // A link to a folder is removed as a link, never through its target.
    bool folder = child->isdirectory() && !fs::is_symbolic_link(file->path.view());
    bool removed = folder ? fs::remove_folder(file->path.view()) : fs::delete_file(file->path.view());
    if (!removed) return p_lasterrorstatus();
    send_removechild(child->getname());
    delete file;
    return P_OK;
}
