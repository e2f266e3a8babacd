// The store over the device's own file system, scheme "file". Its one source
// has the empty location; all locators of the scheme share one tree.
#pragma once

#include "qelvio/p_file.h"

class QELVIO_STORAGE_EXPORT p_devicestore : public p_filestore {
public:
    p_devicestore();
    p_filesource* createsource(const char16_t* location) override;
    int32_t destroysource(p_filesource* source) override;
    int32_t query(p_string& out) override;
};

// A file or folder of the device, known by its full device path
// ("\My Documents\a.jpg"; the root is "\").
class QELVIO_STORAGE_EXPORT p_devicefile : public p_file {
public:
    p_devicefile(p_filesource* owner, const char16_t* device_path)
        : p_file(owner), path(device_path) {}

    int32_t init() override;
    int32_t trackchildren() override;
    int32_t trackchild(const char16_t* name) override;
    int32_t getfilesize() override;
    int32_t getfiletime(uint64_t* time) override;
    int32_t getfileattributes(uint32_t* attributes) override;
    int32_t setfileattributes(uint32_t attributes) override;
    int32_t copytochild(p_file* source_file, const char16_t* name) override;
    int32_t open(uint32_t mode, uint32_t* handle) override;
    int32_t read(uint32_t handle, void* buffer, uint32_t count) override;
    int32_t write(uint32_t handle, const void* buffer, uint32_t count) override;
    int32_t seek(uint32_t handle, uint32_t origin, int32_t offset) override;
    int32_t tell(uint32_t handle) override;
    int32_t close(uint32_t handle) override;
    int32_t rename(const char16_t* name) override;
    int32_t setparent(const char16_t* folder_path) override;
    int32_t createchild(P_CREATEFILESTRUCT* create) override;
    int32_t deletechild(const char16_t* name) override;

    const p_string& getpath() const { return path; }

private:
    p_string childpath(std::u16string_view name) const;
    int32_t announce(std::u16string_view name, bool directory);
    // Moves this file on the medium and keeps the paths of tracked
    // descendants in step with it.
    bool moveto(const p_string& new_path);

    p_string path;
};
