// The file-tree library's store-facing classes.
//
// A store (p_filestore) offers sources (p_filesource); an open source is a
// tree of nodes (p_filenode, see p_filetree.h), each wrapping one
// store-specific file object (p_file) that does the real work and then
// reports the effect on the tree through its send_ notifications.
//
// Everything here runs on the user-interface thread.
#pragma once

#include "qelvio/p_irl.h"
#include "qelvio/p_status.h"

#include <cstdint>

class p_filenode;
class p_filetree;
class p_filesource;
class p_filestore;
class p_file;

// Filled by the caller of createchild and by stores that add children.
struct P_CREATEFILESTRUCT {
    p_file* file = nullptr;  // the new child's file object (set by the store)
    char16_t name[260] = {};
    bool isdirectory = false;
};

// Attribute bit: read-only (the only one used).
constexpr uint32_t P_ATTRIBUTE_READONLY = 1;

// Open modes.
constexpr uint32_t P_OPEN_READ = 1;
constexpr uint32_t P_OPEN_WRITE = 2;

// A file or folder of a store. Every operation of the base answers -2 (not
// supported); stores override what they can do.
class QELVIO_STORAGE_EXPORT p_file {
public:
    explicit p_file(p_filesource* owner) : filesource(owner) {}
    p_file(const p_file&) = delete;
    p_file& operator=(const p_file&) = delete;
    virtual ~p_file() = default;

    // Called once right after the node for this file is built.
    virtual int32_t init() { return P_NOT_SUPPORTED; }
    // Brings the node's children in line with its tracking mode.
    virtual int32_t trackchildren() { return P_NOT_SUPPORTED; }
    // Adds one named child that exists on the medium; -8 when it does not.
    virtual int32_t trackchild(const char16_t* name);
    virtual int32_t getfilesize() { return P_NOT_SUPPORTED; }
    virtual int32_t getfiletime(uint64_t* time);
    virtual int32_t getfileattributes(uint32_t* attributes);
    virtual int32_t setfileattributes(uint32_t attributes);
    // Copies another file of the same store into a new child of this folder;
    // -2 asks the caller to fall back to a byte copy.
    virtual int32_t copytochild(p_file* source_file, const char16_t* name);
    virtual int32_t open(uint32_t mode, uint32_t* handle);
    virtual int32_t read(uint32_t handle, void* buffer, uint32_t count);
    virtual int32_t write(uint32_t handle, const void* buffer, uint32_t count);
    // origin: 0 current, 1 start, 2 end.
    virtual int32_t seek(uint32_t handle, uint32_t origin, int32_t offset);
    virtual int32_t tell(uint32_t handle);
    virtual int32_t close(uint32_t handle);
    virtual int32_t rename(const char16_t* name);
    virtual int32_t setparent(const char16_t* path);
    virtual int32_t createchild(P_CREATEFILESTRUCT* create);
    virtual int32_t deletechild(const char16_t* name);

    // Answers through the node; with no node they answer null, 0 or false.
    p_filesource* getfilesource() const { return filesource; }
    p_filenode* getnode() const { return filenode; }
    const char16_t* getname() const;
    bool getfullname(p_string& out) const;
    char16_t* getfullname(char16_t* buffer, uint32_t size) const;
    p_file* getparent() const;
    p_file* getchild(const char16_t* name) const;
    p_file* getchild(uint32_t index) const;
    uint32_t getchildcount() const;
    uint32_t gettrackchildren() const;
    const char16_t* gettrackextensions() const;
    bool isdirectory() const;

protected:
    // Notifications of changes on the medium; -100 without a node.
    int32_t send_name(const char16_t* name);
    int32_t send_parent(const char16_t* path);
    int32_t send_addchild(P_CREATEFILESTRUCT* create);
    int32_t send_removechild(const char16_t* name);
    int32_t send_reload();
    int32_t send_flags(uint32_t flags);

private:
    friend class p_filenode;
    friend class p_filetree;
    p_filesource* filesource;
    p_filenode* filenode = nullptr;
};

// One source of a store; while it is open, tree points to its tree.
class QELVIO_STORAGE_EXPORT p_filesource {
public:
    p_filesource(p_filestore& owner, const char16_t* where) : store(owner), location(where) {}
    p_filesource(const p_filesource& other) = default;
    p_filesource& operator=(const p_filesource&) = delete;

    const p_string& getlocation() const { return location; }
    p_filestore& getfilestore() const { return store; }
    p_file* getroot() const { return root; }

    p_filestore& store;
    p_file* root = nullptr;
    p_filetree* tree = nullptr;
    p_string location;
};

// A kind of storage, named by its scheme in locators.
class QELVIO_STORAGE_EXPORT p_filestore {
public:
    p_filestore() = default;
    p_filestore(const p_filestore& other) = default;
    p_filestore& operator=(const p_filestore& other) = default;
    virtual ~p_filestore() = default;

    // A new source for a location, with its root file object, or null.
    virtual p_filesource* createsource(const char16_t* location) = 0;
    // Destroys a source made by createsource; nonzero on success.
    virtual int32_t destroysource(p_filesource* source) = 0;
    // A store-defined text query.
    virtual int32_t query(p_string& out) = 0;

    // Adds the store to (true) or removes it from (false) the store registry.
    void registerstore(bool add);

    const p_string& getscheme() const { return scheme; }
    const p_string& getdisplayname() const { return displayname; }

protected:
    p_string scheme;
    p_string displayname;
};
