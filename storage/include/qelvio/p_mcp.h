// p_mcp: the store registry. One per application, made during start-up before
// any window; it registers the device store under the scheme "file" and
// resolves locators to trees and nodes. User-interface thread only.
#pragma once

#include "qelvio/p_cachehooks.h"
#include "qelvio/p_filetree.h"

#include <memory>
#include <vector>

class QELVIO_STORAGE_EXPORT p_mcp {
public:
    // Creates and registers the device store; becomes the registry that
    // p_filestore::registerstore uses.
    p_mcp();
    ~p_mcp();
    p_mcp(const p_mcp&) = delete;
    p_mcp& operator=(const p_mcp&) = delete;

    // The application's registry (null before one is made).
    static p_mcp* instance();

    // The tree of the locator's store and source, with one more reference;
    // null when no store knows the scheme or the source cannot be made.
    p_filetree* open(const char16_t* irl);
    // Resolves a locator to a node (fetching names on the way); -10 when the
    // tree cannot be opened, -8 when the path is not found. The reference
    // taken by open is kept.
    int32_t openfile(const char16_t* irl, p_filenode** node);
    // Gives back one reference; the last one closes the tree.
    void close(p_filetree* tree);

    void addstore(p_filestore* store);
    // Unregisters a store and closes its trees.
    void removestore(p_filestore* store);
    // The first registered store whose scheme matches the locator's.
    p_filestore* findstore(const char16_t* irl) const;

    // Where the image cache learns about renamed and deleted files.
    void setcachehooks(p_cachehooks* hooks) { cachehooks = hooks ? hooks : &nocache; }
    p_cachehooks& getcachehooks() const { return *cachehooks; }

private:
    static void destroytree(p_filetree* tree);

    std::vector<p_filestore*> stores;
    std::vector<p_filetree*> trees;
    std::unique_ptr<p_filestore> devicestore;
    p_cachehooks nocache;
    p_cachehooks* cachehooks = &nocache;
};
