// Context help. The help file (string 35111) holds one anchor per topic;
// a request names the file, "#" and the topic. The user interface installs
// the viewer that shows it (an in-app help window).
//
// Called on the user-interface thread.
#pragma once

#include <string>
#include <string_view>

namespace qelvio::shell {

// The topics in use; the first is the one shown when none is given.
inline constexpr const char16_t* kHelpTopics[] = {
    u"Main_Contents", u"email",  u"find",       u"renaming",       u"resize",
    u"options",       u"viewer", u"image_editor", u"properties",   u"annotation",
    u"jpeg_transform", u"levels",
};

// Shows a help target; implemented by the user interface. It must not wait
// for the user.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual void show_help_target(std::u16string_view target) = 0;
};

// Installs the viewer (null removes it).
void set_help_viewer(HelpViewer* viewer);

// The help file + "#" + topic, "Main_Contents" for a null or empty topic.
std::u16string help_target(const char16_t* topic);

// Opens the help at a topic (null or empty: "Main_Contents"). False when no
// viewer is installed.
bool show_help(const char16_t* topic);

}  // namespace qelvio::shell
