#include "qelvio/p_file.h"

#include "qelvio/p_filetree.h"
#include "qelvio/p_mcp.h"

#include <algorithm>

// The base answers "not supported" to every operation a store may override.
int32_t p_file::trackchild(const char16_t*) { return P_NOT_SUPPORTED; }
int32_t p_file::getfiletime(uint64_t*) { return P_NOT_SUPPORTED; }
int32_t p_file::getfileattributes(uint32_t*) { return P_NOT_SUPPORTED; }
int32_t p_file::setfileattributes(uint32_t) { return P_NOT_SUPPORTED; }
int32_t p_file::copytochild(p_file*, const char16_t*) { return P_NOT_SUPPORTED; }
int32_t p_file::open(uint32_t, uint32_t*) { return P_NOT_SUPPORTED; }
int32_t p_file::read(uint32_t, void*, uint32_t) { return P_NOT_SUPPORTED; }
int32_t p_file::write(uint32_t, const void*, uint32_t) { return P_NOT_SUPPORTED; }
int32_t p_file::seek(uint32_t, uint32_t, int32_t) { return P_NOT_SUPPORTED; }
int32_t p_file::tell(uint32_t) { return P_NOT_SUPPORTED; }
int32_t p_file::close(uint32_t) { return P_NOT_SUPPORTED; }
int32_t p_file::rename(const char16_t*) { return P_NOT_SUPPORTED; }
int32_t p_file::setparent(const char16_t*) { return P_NOT_SUPPORTED; }
int32_t p_file::createchild(P_CREATEFILESTRUCT*) { return P_NOT_SUPPORTED; }
int32_t p_file::deletechild(const char16_t*) { return P_NOT_SUPPORTED; }

const char16_t* p_file::getname() const { return filenode ? filenode->getname().c_str() : nullptr; }

bool p_file::getfullname(p_string& out) const { return filenode && filenode->getpath(out) >= 0; }

char16_t* p_file::getfullname(char16_t* buffer, uint32_t size) const {
    if (!buffer || size == 0) return buffer;
    buffer[0] = 0;
    p_string path;
    if (!getfullname(path)) return buffer;
    uint32_t n = std::min(path.len(), size - 1);
    std::copy_n(path.c_str(), n, buffer);
    buffer[n] = 0;
    return buffer;
}

p_file* p_file::getparent() const {
    return filenode && filenode->getparent() ? filenode->getparent()->getfile() : nullptr;
}

p_file* p_file::getchild(const char16_t* name) const {
    if (!filenode || !name) return nullptr;
    p_filenode* child = filenode->getchild(name, false);
    return child ? child->getfile() : nullptr;
}

p_file* p_file::getchild(uint32_t index) const {
    if (!filenode || index >= filenode->getchildren().size()) return nullptr;
    return filenode->getchildren()[index]->getfile();
}

uint32_t p_file::getchildcount() const {
    return filenode ? static_cast<uint32_t>(filenode->getchildren().size()) : 0;
}

uint32_t p_file::gettrackchildren() const { return filenode ? filenode->gettrackmode() : 0; }

const char16_t* p_file::gettrackextensions() const {
    return filenode ? filenode->gettrackextensions().c_str() : nullptr;
}

bool p_file::isdirectory() const { return filenode && filenode->isdirectory(); }

int32_t p_file::send_name(const char16_t* name) {
    return filenode ? filenode->changename(name) : P_FAILED;
}
int32_t p_file::send_parent(const char16_t* path) {
    return filenode ? filenode->changeparent(path) : P_FAILED;
}
int32_t p_file::send_addchild(P_CREATEFILESTRUCT* create) {
    return filenode ? filenode->addchild(create) : P_FAILED;
}
int32_t p_file::send_removechild(const char16_t* name) {
    return filenode ? filenode->removechild(name) : P_FAILED;
}
int32_t p_file::send_reload() { return filenode ? P_OK : P_FAILED; }
int32_t p_file::send_flags(uint32_t flags) {
    if (!filenode) return P_FAILED;
    filenode->changeflags(flags);
    return P_OK;
}

void p_filestore::registerstore(bool add) {
    p_mcp* registry = p_mcp::instance();
    if (!registry) return;
    if (add)
        registry->addstore(this);
    else
        registry->removestore(this);
}
