#include "qelvio/p_fileops.h"

#include "qelvio/p_mcp.h"

#include "platform/device_root.h"
#include "platform/file_system.h"

#include <cstdlib>
#include <memory>
#include <new>

namespace fs = qelvio::platform;

namespace {

constexpr uint32_t copy_buffer_size = 32000;

bool is_file_store(const p_filenode* node) {
    return node && node->getfile() &&
           node->getfile()->getfilesource()->store.getscheme().cmpi(u"file") == 0;
}

std::unique_ptr<char[]> copy_buffer() {
    return std::unique_ptr<char[]>(new (std::nothrow) char[copy_buffer_size]);
}

// Copies size bytes from one open node to another; false when a piece is
// read or written short.
bool copy_content(p_filenode* from, p_filenode* to, int32_t size, char* buffer) {
    for (int32_t left = size; left > 0;) {
        uint32_t piece = std::min<uint32_t>(copy_buffer_size, static_cast<uint32_t>(left));
        if (from->read(buffer, piece) != static_cast<int32_t>(piece)) return false;
        if (to->write(buffer, piece) != static_cast<int32_t>(piece)) return false;
        left -= static_cast<int32_t>(piece);
    }
    return true;
}

int32_t byte_copy(p_filenode* target, p_filenode* source, const char16_t* name, bool move) {
    std::unique_ptr<char[]> buffer = copy_buffer();
    if (!buffer) return P_NO_MEMORY;
    P_CREATEFILESTRUCT create;
    std::u16string_view n(name, qelvio::text::length(name));
    if (n.size() >= 260) return P_INVALID_NAME;
    std::copy(n.begin(), n.end(), create.name);
    create.isdirectory = false;
    int32_t created = target->createchild(&create);
    // A clash is passed on so that the caller can ask about replacing.
    if (created == P_ALREADY_EXISTS) return P_ALREADY_EXISTS;
    if (created < 0) return P_CANNOT_CREATE;
    p_filenode* child = target->getchild(name, false);
    if (!child) {
        target->deletechild(name);
        return P_CANNOT_CREATE;
    }
    uint32_t handle = 0;
    bool opened_source = source->open(P_OPEN_READ, &handle) >= 0;
    bool opened_child = opened_source && child->open(P_OPEN_WRITE, &handle) >= 0;
    if (!opened_source || !opened_child) {
        if (opened_source) source->close();
        target->deletechild(name);
        return P_NOT_OPEN;
    }
    int32_t size = source->getfilesize();
    bool copied = size >= 0 && copy_content(source, child, size, buffer.get());
    source->close();
    if (child->close() < 0) copied = false;
    if (!copied) {
        target->deletechild(name);
        return P_FAILED;
    }
    if (move) {
        p_filenode* parent = source->getparent();
        if (parent) parent->deletechild(source->getname());
    }
    return P_OK;
}

p_string path_of_irl(const p_filenode* node) {
    p_irl irl;
    node->getirl(irl);
    p_string path;
    irl.get(nullptr, nullptr, &path);
    return path;
}

}  // namespace

int p_overwriteprompt::ask(const p_irl& source, const p_irl& existing) {
    if (rememberedanswer == P_ANSWER_YESTOALL || rememberedanswer == P_ANSWER_NOTOALL)
        return rememberedanswer;
    int answer = show(source, existing);
    if (answer == P_ANSWER_YESTOALL || answer == P_ANSWER_NOTOALL) rememberedanswer = answer;
    return answer;
}

int32_t p_copyintofolder(p_filenode* target, p_filenode* source, const char16_t* name, bool move) {
    if (!target || !target->getfile() || !target->isdirectory()) return P_FAILED;
    if (!source || !source->getfile()) return P_FAILED;
    if (name && !p_isvalidname(name)) return P_INVALID_NAME;
    p_string own_name = source->getname();
    const char16_t* effective = name ? name : own_name.c_str();
    if (target->gettree() == source->gettree()) {
        if (move) {
            bool renaming = name && own_name.view() != std::u16string_view(name);
            if (!renaming) return source->setparent(path_of_irl(target));
            // A clash is found before the source is renamed, so that a
            // refused move leaves the source as it was.
            if (target != source->getparent() && target->getexactchild(name, true)) return P_ALREADY_EXISTS;
            int32_t renamed = source->rename(name);
            if (renamed < 0) return renamed;
            int32_t moved = source->setparent(path_of_irl(target));
            if (moved < 0) source->rename(own_name);
            return moved;
        }
        if (target->getexactchild(effective, true)) return P_ALREADY_EXISTS;
        int32_t copied = target->getfile()->copytochild(source->getfile(), name);
        if (copied != P_NOT_SUPPORTED) return copied;
    }
    return byte_copy(target, source, effective, move);
}

namespace {
// Whether a copy or move of source would land on the source itself: the
// clashing node is the source's, or both names lead to one file (a link, a
// hard link, a folder reached through a link).
bool is_itself(p_filenode* existing, p_filenode* source) {
    if (existing == source) return true;
    p_string a, b;
    return p_localpath(existing, a) && p_localpath(source, b) && fs::same_file(a.view(), b.view());
}

// Replaces the content of an existing device file with a copy of source's
// (the copy is complete and flushed before it takes the file's place, and
// keeps the file's permission bits); a move then deletes the source. -2
// when this cannot be done in one step (another store, a folder, a
// symbolic link, whose own entry is replaced by deleting and copying).
int32_t replace_existing(p_filenode* existing, p_filenode* source, bool move) {
    p_string from, to;
    if (existing->isdirectory() || !p_localpath(existing, to) || !p_localpath(source, from))
        return P_NOT_SUPPORTED;
    auto attributes = fs::get_attributes(to.view());
    if (!attributes || attributes->directory || fs::is_symbolic_link(to.view())) return P_NOT_SUPPORTED;
    if (!fs::copy_file(from.view(), to.view(), false)) return p_lasterrorstatus();
    p_irl replaced;
    existing->getirl(replaced);
    if (p_filetree* tree = existing->gettree())
        if (p_mcp* owner = tree->getowner()) owner->getcachehooks().forget(replaced);
    if (!move) return P_OK;
    p_filenode* parent = source->getparent();
    return parent ? parent->deletechild(source->getname()) : P_FAILED;
}

// Names a copy into a folder that holds the source itself: "Copy of ..." and
// then "Copy (2) of ..." and so on.
int32_t copy_beside(p_filenode* target, p_filenode* source) {
    p_string copy_name;
    copy_name.format(p_loadstring(35057).c_str(), source->getname());
    int32_t result = p_copyintofolder(target, source, copy_name, false);
    for (int counter = 2; result == P_ALREADY_EXISTS && counter < 100000; ++counter) {
        copy_name.format(p_loadstring(35086).c_str(), counter, source->getname());
        result = p_copyintofolder(target, source, copy_name, false);
    }
    return result;
}
}  // namespace

int32_t p_copywithprompts(p_filenode* target, p_filenode* source, bool move,
                          p_overwriteprompt* prompt, const char16_t* name) {
    if (!target || !source || !source->getfile()) return P_FAILED;
    if (name && !p_isvalidname(name)) return P_INVALID_NAME;
    p_string effective = name ? p_string(name) : source->getname();
    if (target != source->getparent() || name) {
        // A copy or move onto the source itself must never delete it: a copy
        // gets a new name as in its own folder; a move is refused.
        p_filenode* same = target->getexactchild(effective, true);
        if (same && is_itself(same, source)) return move ? P_ALREADY_EXISTS : copy_beside(target, source);
        int32_t result = p_copyintofolder(target, source, name, move);
        if (result != P_ALREADY_EXISTS) return result;
        p_filenode* existing = target->getchild(effective, true);
        if (!existing) return P_FAILED;
        if (is_itself(existing, source)) return move ? P_ALREADY_EXISTS : copy_beside(target, source);
        if (!prompt) return P_ALREADY_EXISTS;
        p_irl source_irl, existing_irl;
        source->getirl(source_irl);
        existing->getirl(existing_irl);
        switch (prompt->ask(source_irl, existing_irl)) {
            case P_ANSWER_NO:
            case P_ANSWER_NOTOALL: return P_OK;
            case P_ANSWER_CANCEL: return P_CANCELLED;
            case P_ANSWER_YES:
            case P_ANSWER_YESTOALL: {
                // A device file is replaced in one step, so that it is never
                // gone before its replacement is complete.
                int32_t replaced = replace_existing(existing, source, move);
                if (replaced != P_NOT_SUPPORTED) return replaced;
                // Otherwise exactly the file the prompt named is deleted,
                // through its own parent, and the copy is tried once more.
                p_filenode* holder = existing->getparent();
                if (!holder) return P_FAILED;
                int32_t deleted = holder->deletechild(existing->getname());
                if (deleted < 0) return deleted;
                return p_copyintofolder(target, source, name, move);
            }
            default: return P_ALREADY_EXISTS;
        }
    }
    // A copy into the source's own folder gets a new name.
    if (move) return P_FAILED;
    return copy_beside(target, source);
}

int32_t p_export(p_filenode* node, const char16_t* local_path) {
    if (!node || !node->getfile() || !local_path) return P_FAILED;
    std::u16string_view target(local_path, qelvio::text::length(local_path));
    p_string path;
    if (p_localpath(node, path))
        return fs::copy_file(path.view(), target, false) ? P_OK : P_CANNOT_CREATE;

    std::unique_ptr<char[]> buffer = copy_buffer();
    if (!buffer) return P_NO_MEMORY;
    uint32_t handle = 0;
    if (node->open(P_OPEN_READ, &handle) < 0) return P_NOT_OPEN;
    uint32_t out = fs::open_file(target, fs::OpenMode::write_truncate);
    bool complete = out != 0;
    int32_t size = node->getfilesize();
    if (size < 0) complete = false;
    for (int32_t left = size; complete && left > 0;) {
        uint32_t piece = std::min<uint32_t>(copy_buffer_size, static_cast<uint32_t>(left));
        int32_t got = node->read(buffer.get(), piece);
        complete = got == static_cast<int32_t>(piece) &&
                   fs::write_file(out, buffer.get(), piece) == piece;
        left -= static_cast<int32_t>(piece);
    }
    node->close();
    if (out && !fs::close_file(out)) complete = false;
    if (!complete) {
        if (out) fs::delete_file(target);
        return P_FAILED;
    }
    return P_OK;
}

int32_t p_import(p_filenode* node, const char16_t* local_path, bool move) {
    if (!node || !node->getfile() || !local_path) return P_FAILED;
    std::u16string_view from(local_path, qelvio::text::length(local_path));
    p_string path;
    if (p_localpath(node, path)) {
        // The node's file is replaced in one step, never deleted first.
        bool done = move ? fs::replace_file(from, path.view()) : fs::copy_file(from, path.view(), false);
        if (done) return P_OK;
        return fs::last_error() == fs::error_access_denied ? P_READ_ONLY : P_CANNOT_ACCESS;
    }

    std::unique_ptr<char[]> buffer = copy_buffer();
    if (!buffer) return P_NO_MEMORY;
    uint32_t handle = 0;
    if (node->open(P_OPEN_WRITE, &handle) < 0) return P_NOT_OPEN;
    uint32_t in = fs::open_file(from, fs::OpenMode::read_existing);
    auto size = fs::file_size(from);
    bool complete = in != 0 && size.has_value();
    int64_t left = size.value_or(0);
    while (complete && left > 0) {
        int64_t got = fs::read_file(in, buffer.get(), copy_buffer_size);
        if (got <= 0) break;
        complete = node->write(buffer.get(), static_cast<uint32_t>(got)) == got;
        left -= got;
    }
    node->close();
    if (in) fs::close_file(in);
    if (!complete || left > 0) return P_FAILED;
    if (move) fs::delete_file(from);
    return P_OK;
}

bool p_localpath(const p_filenode* node, p_string& out) {
    if (!is_file_store(node)) return false;
    return node->getpath(out) >= 0;
}

p_string p_temporaryfolder() {
    p_string folder;
    if (!fs::device_root().empty()) {
        folder = p_loadstring(35108);
    } else {
        const char* cache = std::getenv("XDG_CACHE_HOME");
        const char* home = std::getenv("HOME");
        std::string local = cache && *cache ? std::string(cache)
                                            : std::string(home && *home ? home : "/tmp") + "/.cache";
        local += "/qelvio/tmp";
        folder = qelvio::text::to_utf16(local).c_str();
        if (auto device = fs::to_device_path(local)) folder = device->c_str();
    }
    // Creates the folder and its parents; failures show up when it is used.
    std::u16string_view path = folder.view();
    for (std::size_t slash = path.find(u'\\', 1); ; slash = path.find(u'\\', slash + 1)) {
        fs::create_folder(path.substr(0, slash));
        if (slash == std::u16string_view::npos) break;
    }
    return folder;
}
