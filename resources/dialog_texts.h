// Captions and control texts of the dialog resources the frame shows: the
// About box (dialog 100) and the options page (dialog 140). Controls are
// named by their numbers; labels without a number have id 0 and appear in
// the order they stand in the dialog.
#pragma once

namespace qelvio::resources {

struct DialogText {
    int control;  // 0 for a static label
    const char16_t* text;
};

// Dialog 100, "About Qelvio Mobile".
inline constexpr const char16_t* kAboutCaption = u"About Qelvio Mobile";
inline constexpr const char16_t* kAboutVersion = u"Version 1.0.1";
inline constexpr const char16_t* kAboutBuildDate = u"Oct 18 2001";
inline constexpr int kAboutPicture = 209;

// Dialog 140, "Options".
inline constexpr const char16_t* kOptionsPageCaption = u"Options";
inline constexpr const char16_t* kOptionsInThumbnailMode = u"In thumbnail mode,";
inline constexpr const char16_t* kOptionsFilenames = u"display image filenames";          // 1011
inline constexpr const char16_t* kOptionsAnnotationIcons = u"display icons for annotations";  // 1092
inline constexpr const char16_t* kOptionsInViewer = u"In the viewer,";
inline constexpr const char16_t* kOptionsAutoAudio = u"play audio automatically";  // 1115
inline constexpr const char16_t* kOptionsInSlideshow = u"In a slideshow,";
inline constexpr const char16_t* kOptionsDelay = u"delay";
inline constexpr const char16_t* kOptionsSecondsBetween = u"seconds between slides";
inline constexpr const char16_t* kOptionsAfterEditing = u"After editing, save images using:";
inline constexpr const char16_t* kOptionsQuality = u"quality";
inline constexpr const char16_t* kOptionsQualities[3] = {u"Low", u"Medium", u"High"};  // 1037
inline constexpr const char16_t* kOptionsAssociate = u"Open images with Qelvio Mobile";  // 1076
// The desktop's own choice, stored as "emaildlg" / "mailprogram".
inline constexpr const char16_t* kOptionsWhenMailing = u"When sending images by e-mail,";
inline constexpr const char16_t* kOptionsMailProgram = u"open the message in the desktop's mail program";

// Returns the text of a control of a dialog by number, null when unknown.
const char16_t* dialog_control_text(int dialog, int control);

}  // namespace qelvio::resources
