// Registering the program as the opener of its image types, in the classes
// root of the registry (seven rows, in this order) and, for this desktop,
// as a freedesktop desktop entry with default-application lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qelvio::shell {

struct FileTypeRow {
    const char16_t* extension;
    const char16_t* type_key;
    const char16_t* content_type;
    const char16_t* description;
    int icon;  // negative: icon resource -icon of the program's own file
};

inline constexpr FileTypeRow kFileTypeRows[] = {
    {u"jpg", u"jpegimage", u"image/jpeg", u"JPEG Image", -183},
    {u"jpe", u"jpegimage", u"image/jpeg", u"JPEG Image", -183},
    {u"jpeg", u"jpegimage", u"image/jpeg", u"JPEG Image", -183},
    {u"gif", u"gifimage", u"image/gif", u"GIF Image", -181},
    {u"bmp", u"bmpimage", u"image/bmp", u"BMP Image", -182},
    {u"tif", u"tiffimage", u"image/tiff", u"TIFF Image", -184},
    {u"tiff", u"tiffimage", u"image/tiff", u"TIFF Image", -184},
};

// Writes one row under the classes root: the extension key (type key and
// content type), the type key (description, edit flags 0x10000), its
// "DefaultIcon" ("<path>,<icon>") and "Shell\Open\Command" ("\"<path>\"
// \"%1\""), keeping the command found there before as "old". Failures of
// single registry calls are ignored, as nothing depends on them.
void register_file_type(const FileTypeRow& row, std::u16string_view program_path);

// Registers all seven rows, written to the hive at once; returns 0, or the
// registry's result when the classes root could not be written.
int32_t register_file_associations(std::u16string_view program_path);

// The name of the program's desktop entry.
inline constexpr char kDesktopEntryName[] = "qelvio.desktop";

// Writes the desktop entry to $XDG_DATA_HOME/applications/ (its Exec line
// runs program_path with the file). False when it cannot be written.
bool install_desktop_entry(const std::string& program_path);

// Makes the desktop entry the default application of image/jpeg, image/gif,
// image/bmp and image/tiff in $XDG_CONFIG_HOME/mimeapps.list, keeping every
// other line (earlier choices stay behind it as fallbacks). False when the
// file cannot be written.
bool set_default_applications();

}  // namespace qelvio::shell
