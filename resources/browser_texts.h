// Texts of the browser's panes and dialogs that have no number of their own
// (numbered ones are in the string table: 129, 130, 35053, 35057-35061,
// 35086, 35089-35092).
#pragma once

namespace qelvio::resources {

// ---- folder tree ----
inline constexpr const char16_t* kTextMyDevice = u"My Device";
inline constexpr const char16_t* kTextNewFolderNumbered = u"%s(%d)";
inline constexpr const char16_t* kTextFolderCantBeCreated = u"The folder can't be created.";
inline constexpr const char16_t* kTextFolderCantBeDeleted = u"The folder can't be deleted.";
inline constexpr const char16_t* kTextDeleteFolderQuestion =
    u"This will remove the folder '%s' and all subfolders and files it contains.  Do you want to continue?";
inline constexpr const char16_t* kTextFileReadOnlyQuestion =
    u"The file '%s' is read-only.  Are you sure you want to delete it?";
inline constexpr const char16_t* kTextDropMove = u"Move";
inline constexpr const char16_t* kTextDropCopy = u"Copy";
inline constexpr const char16_t* kTextDropCancel = u"Cancel";

// ---- image list and its drawing ----
inline constexpr const char16_t* kTextLoading = u"Loading...";
inline constexpr const char16_t* kTextNoImages = u"There are no images in this folder.";
inline constexpr const char16_t* kTextCantDisplayImage = u"can't\ndisplay\nimage";
inline constexpr const char16_t* kTextThumbnailToCome = u"...";
inline constexpr const char16_t* kTextSizeMegabytes = u"%.2fM";
inline constexpr const char16_t* kTextSizeKilobytes = u"%.1fK";
inline constexpr const char16_t* kTextDimensions = u"%dx%dx%db";
inline constexpr const char16_t* kTextDatePicture = u"MMM d',' yyyy";
inline constexpr const char16_t* kTextTransformReadOnly = u"The image '%s' is read-only; it can't be transformed.";
inline constexpr const char16_t* kTextTransformBeingSent =
    u"The image '%s' is being sent via infrared; it can't be transformed.";
inline constexpr const char16_t* kTextTransformNoMemory = u"There is not enough memory to transform the image '%s'.";

// ---- file operations ----
inline constexpr const char16_t* kTextCopyingImages = u"Copying images...";
inline constexpr const char16_t* kTextMovingImages = u"Moving images...";
inline constexpr const char16_t* kTextDeleteSelectedQuestion = u"Delete the selected images?";
inline constexpr const char16_t* kTextOverwriteTitle = u"Overwrite '%s'?";
inline constexpr const char16_t* kTextOverwriteExisting = u"Do you want to replace this image...\n(%s)";
inline constexpr const char16_t* kTextOverwriteIncoming = u"With this one?\n(%s)";
inline constexpr const char16_t* kTextYes = u"Yes";
inline constexpr const char16_t* kTextNo = u"No";
inline constexpr const char16_t* kTextCancel = u"Cancel";
inline constexpr const char16_t* kTextYesToAll = u"Yes to all";
inline constexpr const char16_t* kTextNoToAll = u"No to all";

// ---- rename with sequence numbers (dialog 142) ----
inline constexpr const char16_t* kTextRenameCaption = u"Rename";
inline constexpr const char16_t* kTextRenameSequence = u"&Sequence filenames by appending:";
inline constexpr const char16_t* kTextRenameDigits = u"digits";
inline constexpr const char16_t* kTextRenamePattern = u"%%s%%0%dd%%s";
inline constexpr const char16_t* kTextRenameOne = u"%s%s";
inline constexpr const char16_t* kTextCantBeRenamedTo = u"The image %s can't be renamed to %s.";
// The refusal of a number outside its range (%1 and %2: the limits).
inline constexpr const char16_t* kTextEnterIntegerBetween = u"Please enter an integer between %1 and %2.";

}  // namespace qelvio::resources
