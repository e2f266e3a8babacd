// p_filestream: reads a file and writes its replacement. Side 0 reads the
// node itself; side 1 writes a temporary file that, when closed with commit,
// replaces the node's content in one step. Without commit, or when anything
// fails, the node's content stays as it was and the temporary file is gone.
// User-interface thread or one worker at a time; not shared between threads.
#pragma once

#include "qelvio/p_filetree.h"

class QELVIO_STORAGE_EXPORT p_filestream {
public:
    explicit p_filestream(p_filenode* target) : node(target) {}
    // Closes both sides; an open write side is discarded.
    virtual ~p_filestream();
    p_filestream(const p_filestream&) = delete;
    p_filestream& operator=(const p_filestream&) = delete;

    // The node's size.
    virtual int32_t size();
    // Opens side 0 (the node, for reading) or side 1 (a new temporary file).
    virtual int32_t open(int side);
    // Reads from side 0; bytes read.
    virtual int32_t read(int side, void* buffer, uint32_t count);
    // Writes to side 1; bytes written, -8 when none could be written.
    virtual int32_t write(const void* buffer, uint32_t count);
    virtual int32_t tell(int side);
    // origin: 0 current, 1 start, 2 end (anything else: start). 0 on success.
    virtual int32_t seek(int side, int origin, int32_t offset);
    // Closes a side; side 1 with commit replaces the node's content.
    virtual int32_t close(int side, bool commit = false);

    const char16_t* temporarypath() const { return temppath; }

private:
    p_filenode* node;
    uint32_t readhandle = 0;
    char16_t temppath[260] = {};
    uint32_t tempfile = 0;  // platform handle of the write side
};
