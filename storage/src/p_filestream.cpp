#include "qelvio/p_filestream.h"

#include "qelvio/p_fileops.h"
#include "platform/file_system.h"

#include <algorithm>

namespace fs = qelvio::platform;

namespace {
std::u16string_view view_of(const char16_t* text) {
    return {text, qelvio::text::length(text)};
}
}  // namespace

p_filestream::~p_filestream() {
    if (readhandle) close(0);
    if (tempfile) {
        fs::close_file(tempfile);
        fs::delete_file(view_of(temppath));
    }
}

int32_t p_filestream::size() { return node ? node->getfilesize() : P_FAILED; }

int32_t p_filestream::open(int side) {
    if (!node) return P_FAILED;
    if (side == 0) {
        if (readhandle) return P_INVALID_LOCATION;
        uint32_t handle = 0;
        if (node->open(P_OPEN_READ, &handle) < 0) return P_CANNOT_ACCESS;
        readhandle = handle;
        return P_OK;
    }
    if (tempfile) return P_INVALID_LOCATION;
    auto path = fs::create_unique_file(p_temporaryfolder().view(), u"OLM");
    if (!path) return P_CANNOT_ACCESS;
    if (path->size() >= std::size(temppath)) {
        fs::delete_file(*path);
        return P_CANNOT_ACCESS;
    }
    std::copy(path->begin(), path->end(), temppath);
    temppath[path->size()] = 0;
    tempfile = fs::open_file(*path, fs::OpenMode::write_truncate);
    if (!tempfile) {
        fs::delete_file(*path);
        temppath[0] = 0;
        return P_CANNOT_ACCESS;
    }
    return P_OK;
}

int32_t p_filestream::read(int side, void* buffer, uint32_t count) {
    if (side != 0) return P_INVALID_PARAMETER;
    if (!readhandle) return P_ALREADY_OPEN;
    int32_t got = node->read(buffer, count);
    return got < 0 ? P_NOT_FOUND : got;
}

int32_t p_filestream::write(const void* buffer, uint32_t count) {
    if (!tempfile) return P_ALREADY_OPEN;
    if (count == 0) return 0;
    int64_t put = fs::write_file(tempfile, buffer, count);
    return put <= 0 ? P_NOT_FOUND : static_cast<int32_t>(put);
}

int32_t p_filestream::tell(int side) {
    if (side == 0) {
        if (!readhandle) return P_ALREADY_OPEN;
        int32_t pos = node->tell();
        return pos < 0 ? P_NOT_FOUND : pos;
    }
    if (!tempfile) return P_ALREADY_OPEN;
    int64_t pos = fs::seek_file(tempfile, 0, 0);
    return pos < 0 || pos > INT32_MAX ? P_NOT_FOUND : static_cast<int32_t>(pos);
}

int32_t p_filestream::seek(int side, int origin, int32_t offset) {
    if (origin < 0 || origin > 2) origin = 1;
    if (side == 0) {
        if (!readhandle) return P_ALREADY_OPEN;
        return node->seek(static_cast<uint32_t>(origin), offset) < 0 ? P_NOT_FOUND : P_OK;
    }
    if (!tempfile) return P_ALREADY_OPEN;
    return fs::seek_file(tempfile, origin, offset) < 0 ? P_NOT_FOUND : P_OK;
}

int32_t p_filestream::close(int side, bool commit) {
    if (side == 0) {
        if (readhandle) node->close();
        readhandle = 0;
        return P_OK;
    }
    if (readhandle) return P_CANNOT_ACCESS;
    if (!tempfile) return P_ALREADY_OPEN;
    bool closed = fs::close_file(tempfile);
    tempfile = 0;
    std::u16string path(view_of(temppath));
    temppath[0] = 0;
    if (!closed || !commit) {
        fs::delete_file(path);
        return closed ? P_OK : P_NOT_FOUND;
    }
    if (p_import(node, path.c_str(), true) < 0) {
        fs::delete_file(path);
        return P_NOT_FOUND;
    }
    return P_OK;
}
