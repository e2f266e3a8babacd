// The local file system's path of a device folder, for watching it with
// QFileSystemWatcher (empty when the node has no path).
#pragma once

#include "platform/device_root.h"
#include "qelvio/p_filetree.h"

#include <QString>

namespace qelvio::browser {

inline QString local_folder(const p_filenode* folder) {
    p_string path;
    if (!folder || folder->getpath(path) < 0) return {};
    return QString::fromStdString(platform::to_local_path(path.view()));
}

}  // namespace qelvio::browser
