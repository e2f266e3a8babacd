#include "shell/help.h"

#include "platform/debug_output.h"
#include "resources/string_table.h"

namespace qelvio::shell {
namespace {
HelpViewer* installed_viewer = nullptr;
}  // namespace

void set_help_viewer(HelpViewer* viewer) { installed_viewer = viewer; }

std::u16string help_target(const char16_t* topic) {
    const char16_t* file = resources::load_string(35111);
    std::u16string target = file ? file : u"";
    target += u'#';
    target += topic && *topic ? topic : kHelpTopics[0];
    return target;
}

bool show_help(const char16_t* topic) {
    std::u16string target = help_target(topic);
    if (!installed_viewer) {
        platform::debug_trace(u"show_help(%s) -- no help viewer", target);
        return false;
    }
    installed_viewer->show_help_target(target);
    return true;
}

}  // namespace qelvio::shell
