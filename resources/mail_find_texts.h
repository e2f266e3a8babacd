// Captions and control texts of the e-mail dialog (187), the recipients
// dialog (189) and the Find dialog (191). Numbered texts of these windows
// are in the string table; these are the dialogs' own labels.
#pragma once

namespace qelvio::resources {

// Dialog 187, "E-mail".
inline constexpr const char16_t* kEmailCaption = u"E-mail";
inline constexpr const char16_t* kEmailTo = u"To:";                   // before 1068; button 1073
inline constexpr const char16_t* kEmailSubject = u"Subj:";            // before 1069
inline constexpr const char16_t* kEmailAttached = u"Attached Images:";  // above 1108
inline constexpr const char16_t* kEmailReduce = u"Reduce images to:";   // before 1072
inline constexpr const char16_t* kEmailReductions[6] = {
    u"No reduction",       u"Extra Small (.25 mpixel)", u"Small (.5 mpixel)",
    u"Medium (1 mpixel)", u"Large (1.5 mpixel)",       u"Extra Large (2 mpixel)",
};

// Dialog 189, "Add recipients".
inline constexpr const char16_t* kRecipientsCaption = u"Add recipients";
inline constexpr const char16_t* kRecipientsNoContacts = u"There are no contacts in the database.";

// Dialog 191, "Find images".
inline constexpr const char16_t* kFindCaption = u"Find images";
inline constexpr const char16_t* kFindFilename = u"Filename contains:";             // above 1080
inline constexpr const char16_t* kFindMetadata = u"Metadata contains words:";       // above 1085
inline constexpr const char16_t* kFindSizeIs = u"Size is:";                         // before 1082
inline constexpr const char16_t* kFindSizeModes[3] = {u"Ignored", u"Greater than", u"Less than"};  // 1082
inline constexpr const char16_t* kFindSizeSuggestions[4] = {u"50", u"100", u"200", u"500"};       // 1083
inline constexpr const char16_t* kFindKilobytes = u"kilobytes";                     // after 1083
inline constexpr const char16_t* kFindSelectFound = u"Select found images";         // 1084
inline constexpr const char16_t* kFindSubfolders = u"Search subfolders";            // 1119

}  // namespace qelvio::resources
