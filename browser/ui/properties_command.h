// The properties sheet as the image list and the viewer open it: the
// browser's overwrite prompt for a rename onto another file, the busy
// indicator around the save, the save's quality setting, and the thumbnail
// cache told of every file the save changed. User-interface thread only.
#pragma once

#include "browser/ui/busy_window.h"
#include "metadata/ui/properties_sheet.h"

#include <memory>
#include <optional>

namespace qelvio::shell {
struct Settings;
}
namespace qelvio::thumbnails {
class p_thumbcache;
}

namespace qelvio::browser {

class OverwritePrompt;

class PropertiesCommand {
public:
    PropertiesCommand(QWidget* parent, const shell::Settings& settings, thumbnails::p_thumbcache& cache);
    ~PropertiesCommand();

    // The image list's command: the sheet at first_page, and after OK the
    // changes written into the file (then all but the thumbnail released).
    metadata::PropertiesOutcome show_and_save(decoding::p_ImageSource& image, int first_page);
    // The viewer's command: the sheet only; the changes stay in the image
    // object until the viewer lets go of it.
    bool show(decoding::p_ImageSource& image);

private:
    QWidget* parent_;
    std::unique_ptr<OverwritePrompt> prompt_;
    std::optional<BusyScope> busy_;
    metadata::PropertiesContext context_;
};

}  // namespace qelvio::browser
