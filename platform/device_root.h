// Where the device's file system lives on this machine.
//
// Device paths are backslash paths ("\My Documents\a.jpg"). Without a device
// root "\" is the local "/"; with one (the --device-root option or the
// QELVIO_DEVICE_ROOT environment variable) the device is confined to that
// local folder, which tests use to play a device.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qelvio::platform {

// Sets the local folder that plays the device; an empty text means the whole
// local file system. Overrides QELVIO_DEVICE_ROOT.
void set_device_root(std::string local_folder);

// The current device root ("" for none), read from QELVIO_DEVICE_ROOT on
// first use unless set_device_root was called.
std::string device_root();

// Local path of a device path: backslashes become slashes under the root.
std::string to_local_path(std::u16string_view device_path);

// Device path of a local path (made absolute first); nullopt when the path
// lies outside the device root.
std::optional<std::u16string> to_device_path(std::string_view local_path);

}  // namespace qelvio::platform
