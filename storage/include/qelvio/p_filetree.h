// The in-memory tree of an open source: nodes, change events and the
// listener queues.
//
// Changes are not pushed: each listener (at most four per tree) drains its
// own queue with getevent. Nodes taken out of the tree stay readable until
// every queue is empty, because queued events may still point to them.
// Everything here runs on the user-interface thread.
#pragma once

#include "qelvio/p_file.h"

#include <cstdint>
#include <deque>
#include <vector>

class p_mcp;

enum p_fileeventkind : uint32_t {
    P_EVENT_ADDCHILD = 0,      // node: the parent; other: the new child
    P_EVENT_REMOVECHILD = 1,   // node: the former parent; other: the removed child
    P_EVENT_CHILDRENAMED = 2,  // node: the parent; other: the renamed node
    P_EVENT_PARENTCHANGED = 3, // node: the moved node
    P_EVENT_FLAGSCHANGED = 4,  // node: the node
};

struct p_fileevent {
    p_filenode* node = nullptr;
    uint32_t kind = 0;
    p_filenode* other = nullptr;
};

// Tracking modes.
constexpr uint32_t P_TRACK_NONE = 0;
constexpr uint32_t P_TRACK_FOLDERS = 1;
constexpr uint32_t P_TRACK_FILES = 2;  // folders and files with a listed extension

// Node flag: the folder has subfolders.
constexpr uint32_t P_FLAG_HASSUBFOLDERS = 2;

// Whether a text can name one file or folder: not empty, shorter than 260
// characters, not "." or "..", and without "\\" or "/". Every operation that
// takes a new name refuses other texts with -17.
QELVIO_STORAGE_EXPORT bool p_isvalidname(const char16_t* name);

// One file or folder the tree knows. Owned by its tree.
class QELVIO_STORAGE_EXPORT p_filenode {
public:
    p_filenode(const p_filenode&) = delete;
    p_filenode& operator=(const p_filenode&) = delete;

    // Finds a node by a backslash path below this one; with track, names
    // not yet in the tree are fetched from the medium. Each name matches a
    // child of exactly that name; only when the folder holds none (and,
    // with track, the medium has none) does a single child whose name
    // differs only in case match.
    p_filenode* getchild(const char16_t* path, bool track);
    // The child of exactly this one name (no path, no other case), fetched
    // from the medium with track; null when there is none.
    p_filenode* getexactchild(const char16_t* name, bool track);
    // "\" for the root, otherwise "\name\name...".
    int32_t getpath(p_string& out) const;
    // The locator of this node.
    int32_t getirl(p_irl& out) const;
    // Sets the tracking mode (and extension list) and lists the children.
    int32_t settrack(uint32_t mode, const char16_t* extensions, bool force);

    int32_t open(uint32_t mode, uint32_t* handle);
    int32_t read(void* buffer, uint32_t count);
    int32_t write(const void* buffer, uint32_t count);
    int32_t seek(uint32_t origin, int32_t offset);
    int32_t tell();
    int32_t close();
    int32_t rename(const char16_t* name);
    int32_t setparent(const char16_t* path);
    int32_t deletechild(const char16_t* name);
    int32_t createchild(P_CREATEFILESTRUCT* create);
    int32_t trackchild(const char16_t* name);
    int32_t getfilesize();
    int32_t getfiletime(uint64_t* time);
    int32_t getfileattributes(uint32_t* attributes);
    int32_t setfileattributes(uint32_t attributes);
    // The name before the first rename not yet handled; empties it.
    p_string takepreviousname();

    p_file* getfile() const { return file; }
    const p_string& getname() const { return name; }
    p_filenode* getparent() const { return parent; }
    p_filetree* gettree() const { return tree; }
    const std::vector<p_filenode*>& getchildren() const { return children; }
    bool isdirectory() const { return directory; }
    bool isreleased() const { return released; }
    uint32_t getflags() const { return flags; }
    uint32_t gettrackmode() const { return trackmode; }
    const p_string& gettrackextensions() const { return extensions; }
    uint32_t getopenhandle() const { return openhandle; }

    uintptr_t clientdata = 0;  // free for the listener that displays the node

private:
    friend class p_file;
    friend class p_filetree;
    friend class p_mcp;
    p_filenode(p_filetree* owner, p_filenode* above, const P_CREATEFILESTRUCT& create);
    ~p_filenode() = default;

    int32_t addchild(P_CREATEFILESTRUCT* create);
    int32_t removechild(const char16_t* child_name);
    int32_t changename(const char16_t* new_name);
    int32_t changeparent(const char16_t* path);
    void changeflags(uint32_t new_flags);
    p_filenode* findchild(std::u16string_view child_name) const;
    p_filenode* findexactchild(std::u16string_view child_name) const;

    p_file* file;
    p_string name;
    p_string previousname;
    uint32_t flags = 0;
    p_filetree* tree;
    p_filenode* parent;
    std::vector<p_filenode*> children;
    bool directory;
    uint32_t openhandle = 0;
    uint32_t trackmode = P_TRACK_NONE;
    p_string extensions{u"*"};
    bool released = false;
};

// The tree of one open source; made and closed by p_mcp.
class QELVIO_STORAGE_EXPORT p_filetree {
public:
    static constexpr int listener_slots = 4;

    // Builds the tree and its root node for a source (the root file's init runs).
    p_filetree(p_filesource* opened, p_mcp* registry);
    ~p_filetree();
    p_filetree(const p_filetree&) = delete;
    p_filetree& operator=(const p_filetree&) = delete;

    // The lowest free listener slot, or -1 when all four are taken.
    int addlistener();
    // Frees the slot and discards its queue; false for an index above 3.
    bool removelistener(int slot);
    // Takes the oldest event of the slot; false when there is none. Destroys
    // released nodes once every queue is empty.
    bool getevent(int slot, p_fileevent* event);

    p_filenode* getroot() const { return root; }
    p_filesource* getsource() const { return source; }
    p_mcp* getowner() const { return owner; }
    int pendingevents(int slot) const { return slot >= 0 && slot < listener_slots ? pending[slot] : 0; }
    std::size_t releasedcount() const { return releasednodes.size(); }

private:
    friend class p_filenode;
    friend class p_mcp;
    void post(p_filenode* node, uint32_t kind, p_filenode* other);
    // Takes a node out of the tree, keeping it until every queue is empty.
    void release(p_filenode* node);
    void destroyreleased();
    void destroy(p_filenode* node, bool delete_file);

    p_filesource* source;
    p_mcp* owner;
    p_filenode* root = nullptr;
    std::deque<p_fileevent> queues[listener_slots];
    bool inuse[listener_slots] = {};
    int32_t pending[listener_slots] = {};
    int32_t references = 0;
    std::vector<p_filenode*> releasednodes;
};
