#include "qelvio/p_mcp.h"

#include "qelvio/p_devicestore.h"
#include "platform/debug_output.h"

#include <algorithm>

namespace {

p_mcp* current_registry = nullptr;

std::u16string_view view_of(const char16_t* text) {
    return text ? std::u16string_view(text, qelvio::text::length(text)) : std::u16string_view();
}

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return qelvio::text::fold_case(x) == qelvio::text::fold_case(y);
           });
}

}  // namespace

p_mcp::p_mcp() {
    current_registry = this;
    devicestore = std::make_unique<p_devicestore>();
    devicestore->registerstore(true);
}

p_mcp::~p_mcp() {
    for (p_filetree* tree : trees) destroytree(tree);
    trees.clear();
    if (current_registry == this) current_registry = nullptr;
}

void p_mcp::destroytree(p_filetree* tree) {
    p_filesource* source = tree->getsource();
    p_filestore& store = source->store;
    delete tree;
    store.destroysource(source);
}

p_mcp* p_mcp::instance() { return current_registry; }

void p_mcp::addstore(p_filestore* store) {
    if (store && std::find(stores.begin(), stores.end(), store) == stores.end())
        stores.push_back(store);
}

void p_mcp::removestore(p_filestore* store) {
    stores.erase(std::remove(stores.begin(), stores.end(), store), stores.end());
    // The store's trees cannot outlive it.
    auto of_store = [store](p_filetree* tree) { return &tree->getsource()->store == store; };
    auto gone = std::stable_partition(trees.begin(), trees.end(),
                                      [&](p_filetree* tree) { return !of_store(tree); });
    std::for_each(gone, trees.end(), destroytree);
    trees.erase(gone, trees.end());
}

p_filestore* p_mcp::findstore(const char16_t* irl) const {
    std::u16string_view text = view_of(irl);
    std::u16string_view scheme = text.substr(0, text.find(u':'));
    for (p_filestore* store : stores)
        if (equal_ignoring_case(store->getscheme().view(), scheme)) return store;
    return nullptr;
}

p_filetree* p_mcp::open(const char16_t* irl) {
    p_filestore* store = findstore(irl);
    if (!store) return nullptr;
    p_string location;
    p_irl::extract(irl, nullptr, &location, nullptr);
    for (p_filetree* tree : trees) {
        p_filesource* source = tree->getsource();
        if (&source->store == store && equal_ignoring_case(source->getlocation().view(), location.view())) {
            ++tree->references;
            return tree;
        }
    }
    p_filesource* source = store->createsource(location);
    if (!source) return nullptr;
    auto* tree = new p_filetree(source, this);
    tree->getroot()->settrack(P_TRACK_FOLDERS, nullptr, false);
    trees.push_back(tree);
    ++tree->references;
    return tree;
}

int32_t p_mcp::openfile(const char16_t* irl, p_filenode** node) {
    if (node) *node = nullptr;
    p_filetree* tree = open(irl);
    if (!tree) {
        qelvio::platform::debug_trace(u"p_mcp::openfile() -- p_mcp::open(\"%s\") failed", irl);
        return P_INVALID_SOURCE;
    }
    p_string path;
    p_irl::extract(irl, nullptr, nullptr, &path);
    p_filenode* found = path.isempty() || path.view() == u"\\"
                            ? tree->getroot()
                            : tree->getroot()->getchild(path, true);
    if (!found) {
        qelvio::platform::debug_trace(u"p_image::decode() -- getchild(\"%s\") failed", path);
        return P_NOT_FOUND;
    }
    if (node) *node = found;
    return P_OK;
}

void p_mcp::close(p_filetree* tree) {
    auto it = std::find(trees.begin(), trees.end(), tree);
    if (it == trees.end()) return;
    if (--tree->references > 0) return;
    trees.erase(it);
    destroytree(tree);
}
