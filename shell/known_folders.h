// The well-known folders, as device paths (backslash paths that the store
// "file" reaches, so each can become a "file:" locator):
//   0 program folder        $XDG_DATA_HOME/qelvio
//   1 thumbnail folder      $XDG_CACHE_HOME/qelvio/Qelvio Thumbnails
//   2 temporary folder      $XDG_CACHE_HOME/qelvio/tmp
//   3 documents             the XDG pictures folder, else $HOME
//   4 partial IR files      $XDG_DATA_HOME/qelvio/Temporary IR Directory
// Under a device root the device's own folders are used instead:
// "\Program Files\Qelvio", "\Program Files\Qelvio\Qelvio Thumbnails",
// "\Windows\Temp", "\My Documents" and
// "\Program Files\Qelvio\Temporary IR Directory".
//
// Every folder but the program folder is created when it is missing.
// Thread-safe.
#pragma once

#include <optional>
#include <string>

namespace qelvio::shell {

enum KnownFolder : int {
    kProgramFolder = 0,
    kThumbnailFolder = 1,
    kTemporaryFolder = 2,
    kDocumentsFolder = 3,
    kInfraredPartialFolder = 4,
};

// The folder's device path; nullopt for another number or when the folder
// lies outside the device.
std::optional<std::u16string> well_known_folder(int number);

// The local folder behind well_known_folder(number), without creating it.
std::optional<std::string> well_known_local_folder(int number);

}  // namespace qelvio::shell
