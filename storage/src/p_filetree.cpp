#include "qelvio/p_filetree.h"

#include "qelvio/p_mcp.h"
#include "platform/path_utils.h"

#include <algorithm>

namespace {

bool same_name_ignoring_case(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (qelvio::text::fold_case(a[i]) != qelvio::text::fold_case(b[i])) return false;
    return true;
}

std::u16string_view view_of(const char16_t* text) {
    return text ? std::u16string_view(text, qelvio::text::length(text)) : std::u16string_view();
}

p_cachehooks& hooks_of(const p_filetree* tree) {
    static p_cachehooks nothing;
    return tree && tree->getowner() ? tree->getowner()->getcachehooks() : nothing;
}

}  // namespace

bool p_isvalidname(const char16_t* name) {
    std::u16string_view n = view_of(name);
    return !n.empty() && n.size() < 260 && n != u"." && n != u".." &&
           n.find_first_of(u"\\/") == std::u16string_view::npos;
}

// ---- p_filenode ----

p_filenode::p_filenode(p_filetree* owner, p_filenode* above, const P_CREATEFILESTRUCT& create)
    : file(create.file), name(create.name), tree(owner), parent(above),
      directory(create.isdirectory) {
    if (file) file->filenode = this;
}

p_filenode* p_filenode::findexactchild(std::u16string_view child_name) const {
    for (p_filenode* child : children)
        if (child->name.view() == child_name) return child;
    return nullptr;
}

// The child of exactly the name, else the one child whose name differs only
// in case; with several such children none is chosen, so that a name never
// selects a different one of two existing files.
p_filenode* p_filenode::findchild(std::u16string_view child_name) const {
    if (p_filenode* exact = findexactchild(child_name)) return exact;
    p_filenode* found = nullptr;
    for (p_filenode* child : children) {
        if (!same_name_ignoring_case(child->name.view(), child_name)) continue;
        if (found) return nullptr;
        found = child;
    }
    return found;
}

p_filenode* p_filenode::getchild(const char16_t* path, bool track) {
    std::vector<std::u16string_view> names = qelvio::platform::split_path(view_of(path));
    if (names.empty()) return nullptr;
    p_filenode* current = this;
    for (std::u16string_view child_name : names) {
        if (!current->directory) return nullptr;
        p_filenode* found = current->findexactchild(child_name);
        if (!found && track && current->file) {
            // The medium is asked for the exact name first, so that a child
            // in another case never hides the file of this name.
            std::u16string terminated(child_name);
            if (current->file->trackchild(terminated.c_str()) != 0 && !current->findchild(child_name))
                return nullptr;
        }
        if (!found) found = current->findchild(child_name);
        if (!found) return nullptr;
        current = found;
    }
    return current;
}

p_filenode* p_filenode::getexactchild(const char16_t* child_name, bool track) {
    std::u16string_view n = view_of(child_name);
    if (!file || !directory || n.empty() || n.find(u'\\') != std::u16string_view::npos) return nullptr;
    p_filenode* found = findexactchild(n);
    if (!found && track) {
        std::u16string terminated(n);
        if (file->trackchild(terminated.c_str()) == 0) found = findexactchild(n);
    }
    return found;
}

int32_t p_filenode::getpath(p_string& out) const {
    if (!file) {
        out.clear();
        return P_FAILED;
    }
    if (!parent) {
        out = u"\\";
        return P_OK;
    }
    std::vector<const p_filenode*> chain;
    for (const p_filenode* n = this; n->parent; n = n->parent) chain.push_back(n);
    std::u16string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += u'\\';
        path += (*it)->name.view();
    }
    out = path.c_str();
    return P_OK;
}

int32_t p_filenode::getirl(p_irl& out) const {
    if (!file) return P_FAILED;
    p_string path;
    getpath(path);
    p_filesource* source = file->getfilesource();
    out.set(source->store.getscheme(), source->getlocation(), path);
    return P_OK;
}

int32_t p_filenode::settrack(uint32_t mode, const char16_t* new_extensions, bool force) {
    if (!file) return P_FAILED;
    if (trackmode >= mode && !force && !new_extensions) return P_OK;
    trackmode = mode;
    if (new_extensions) extensions = new_extensions;
    return file->trackchildren();
}

int32_t p_filenode::open(uint32_t mode, uint32_t* handle) {
    if (!file) return P_FAILED;
    if (openhandle) return P_ALREADY_OPEN;
    uint32_t h = 0;
    int32_t result = file->open(mode, &h);
    if (result >= 0) openhandle = h;
    if (handle) *handle = result >= 0 ? h : 0;
    return result;
}

int32_t p_filenode::read(void* buffer, uint32_t count) {
    if (!file) return P_FAILED;
    if (!openhandle) return P_NOT_OPEN;
    return file->read(openhandle, buffer, count);
}

int32_t p_filenode::write(const void* buffer, uint32_t count) {
    if (!file) return P_FAILED;
    if (!openhandle) return P_NOT_OPEN;
    return file->write(openhandle, buffer, count);
}

int32_t p_filenode::seek(uint32_t origin, int32_t offset) {
    if (!file) return P_FAILED;
    if (!openhandle) return P_NOT_OPEN;
    return file->seek(openhandle, origin, offset);
}

int32_t p_filenode::tell() {
    if (!file) return P_FAILED;
    if (!openhandle) return P_NOT_OPEN;
    return file->tell(openhandle);
}

int32_t p_filenode::close() {
    if (!file) return P_FAILED;
    if (!openhandle) return P_NOT_OPEN;
    int32_t result = file->close(openhandle);
    if (result >= 0) openhandle = 0;
    return result;
}

int32_t p_filenode::rename(const char16_t* new_name) {
    if (!file) return P_FAILED;
    if (openhandle) return P_ALREADY_OPEN;
    if (!new_name) return P_INVALID_PARAMETER;
    if (!p_isvalidname(new_name)) return P_INVALID_NAME;
    if (view_of(new_name) == name.view()) return P_OK;
    p_irl former;
    getirl(former);
    int32_t result = file->rename(new_name);
    if (result >= 0) hooks_of(tree).forget(former);
    return result;
}

int32_t p_filenode::setparent(const char16_t* path) {
    if (!file) return P_FAILED;
    if (openhandle) return P_ALREADY_OPEN;
    std::u16string_view p = view_of(path);
    p_filenode* root = tree->getroot();
    p_filenode* target = p.empty() || p == u"\\" ? root : root->getchild(path, true);
    if (!target) return P_PARENT_NOT_FOUND;
    if (target == parent) return P_OK;
    if (target->getexactchild(name, true)) return P_ALREADY_EXISTS;
    return file->setparent(path);
}

int32_t p_filenode::deletechild(const char16_t* child_name) {
    if (!file) return P_FAILED;
    // Only a tracked child of exactly this name is deleted: a name is never
    // fetched from the medium or matched in another case just to delete it.
    p_filenode* child = findexactchild(view_of(child_name));
    if (!child) return P_NOT_FOUND;
    p_irl former;
    child->getirl(former);
    int32_t result = file->deletechild(child_name);
    if (result >= 0) hooks_of(tree).forget(former);
    return result;
}

int32_t p_filenode::createchild(P_CREATEFILESTRUCT* create) {
    if (!file) return P_FAILED;
    if (!create) return P_INVALID_PARAMETER;
    create->name[259] = 0;
    if (!p_isvalidname(create->name)) return P_INVALID_NAME;
    return file->createchild(create);
}
int32_t p_filenode::trackchild(const char16_t* child_name) {
    return file ? file->trackchild(child_name) : P_FAILED;
}
int32_t p_filenode::getfilesize() { return file ? file->getfilesize() : P_FAILED; }
int32_t p_filenode::getfiletime(uint64_t* time) {
    return file ? file->getfiletime(time) : P_FAILED;
}
int32_t p_filenode::getfileattributes(uint32_t* attributes) {
    return file ? file->getfileattributes(attributes) : P_FAILED;
}
int32_t p_filenode::setfileattributes(uint32_t attributes) {
    return file ? file->setfileattributes(attributes) : P_FAILED;
}

p_string p_filenode::takepreviousname() {
    p_string taken = previousname;
    previousname.clear();
    return taken;
}

// Notifications from the node's file object.

int32_t p_filenode::addchild(P_CREATEFILESTRUCT* create) {
    if (!create || !create->file) return P_INVALID_PARAMETER;
    p_filetree* child_tree = create->file->getfilesource()->tree;
    auto* child = new p_filenode(child_tree ? child_tree : tree, this, *create);
    children.push_back(child);
    child->file->init();  // its flags event comes before the add event
    tree->post(this, P_EVENT_ADDCHILD, child);
    return P_OK;
}

int32_t p_filenode::removechild(const char16_t* child_name) {
    p_filenode* child = findexactchild(view_of(child_name));
    if (!child) return P_NOT_FOUND;
    tree->post(this, P_EVENT_REMOVECHILD, child);
    tree->release(child);
    return P_OK;
}

int32_t p_filenode::changename(const char16_t* new_name) {
    if (!new_name) return P_INVALID_PARAMETER;
    if (parent) tree->post(parent, P_EVENT_CHILDRENAMED, this);
    if (previousname.isempty()) previousname = name;
    p_irl former, renamed;
    getirl(former);
    name = new_name;
    getirl(renamed);
    hooks_of(tree).repath(former, renamed);
    return P_OK;
}

int32_t p_filenode::changeparent(const char16_t* path) {
    std::u16string_view p = view_of(path);
    if (!p.empty() && p.front() == u'\\') p.remove_prefix(1);
    p_filenode* root = tree->getroot();
    std::u16string terminated(p);
    p_filenode* target = p.empty() ? root : root->getchild(terminated.c_str(), false);
    if (!target) return P_PARENT_NOT_FOUND;
    if (target == parent) return P_OK;
    p_filenode* old_parent = parent;
    if (old_parent) {
        auto& siblings = old_parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    target->children.push_back(this);
    parent = target;
    tree->post(this, P_EVENT_PARENTCHANGED, nullptr);
    tree->post(old_parent, P_EVENT_REMOVECHILD, this);
    tree->post(target, P_EVENT_ADDCHILD, this);
    return P_OK;
}

void p_filenode::changeflags(uint32_t new_flags) {
    flags = new_flags;
    tree->post(this, P_EVENT_FLAGSCHANGED, nullptr);
}

// ---- p_filetree ----

p_filetree::p_filetree(p_filesource* opened, p_mcp* registry) : source(opened), owner(registry) {
    source->tree = this;
    P_CREATEFILESTRUCT create;
    create.file = source->root;
    create.isdirectory = true;
    root = new p_filenode(this, nullptr, create);
    if (root->file) root->file->init();
}

p_filetree::~p_filetree() {
    destroyreleased();
    // The root's file object belongs to the source; every other one is ours.
    std::vector<p_filenode*> children = root->children;
    root->children.clear();
    for (p_filenode* child : children) destroy(child, true);
    if (root->file) root->file->filenode = nullptr;
    delete root;
    if (source->tree == this) source->tree = nullptr;
}

int p_filetree::addlistener() {
    for (int slot = 0; slot < listener_slots; ++slot) {
        if (!inuse[slot]) {
            inuse[slot] = true;
            pending[slot] = 0;
            queues[slot].clear();
            return slot;
        }
    }
    return -1;
}

bool p_filetree::removelistener(int slot) {
    if (slot < 0 || slot >= listener_slots) return false;
    inuse[slot] = false;
    queues[slot].clear();
    pending[slot] = 0;
    return true;
}

bool p_filetree::getevent(int slot, p_fileevent* event) {
    if (slot < 0 || slot >= listener_slots || !inuse[slot]) return false;
    if (std::all_of(std::begin(pending), std::end(pending), [](int32_t n) { return n == 0; }))
        destroyreleased();
    if (pending[slot] == 0) return false;
    if (event) *event = queues[slot].front();
    queues[slot].pop_front();
    --pending[slot];
    return true;
}

void p_filetree::post(p_filenode* node, uint32_t kind, p_filenode* other) {
    for (int slot = 0; slot < listener_slots; ++slot) {
        if (!inuse[slot]) continue;
        queues[slot].push_back({node, kind, other});
        ++pending[slot];
    }
}

void p_filetree::release(p_filenode* node) {
    if (node->parent) {
        auto& siblings = node->parent->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), node), siblings.end());
    }
    node->parent = nullptr;
    node->released = true;
    if (node->file) node->file->filenode = nullptr;
    node->file = nullptr;
    releasednodes.push_back(node);
}

void p_filetree::destroyreleased() {
    // Destroying a node releases its remaining children into the same list,
    // so the list may grow while it is walked.
    for (std::size_t i = 0; i < releasednodes.size(); ++i) {
        p_filenode* node = releasednodes[i];
        for (p_filenode* child : std::vector<p_filenode*>(node->children)) {
            // Nobody else owns the file objects of a removed folder's children.
            p_file* file = child->file;
            release(child);
            delete file;
        }
        delete node;
    }
    releasednodes.clear();
}

void p_filetree::destroy(p_filenode* node, bool delete_file) {
    for (p_filenode* child : node->children) destroy(child, delete_file);
    if (node->file) {
        node->file->filenode = nullptr;
        if (delete_file) delete node->file;
    }
    delete node;
}
