// Texts of the viewer, the editor and their dialogs that have no number of
// their own (numbered ones are in the string table: 35043, 35096, 62012;
// the frame's are in command_table.h).
#pragma once

namespace qelvio::resources {

// ---- viewer ----
inline constexpr const char16_t* kTextReadOnlyNoEdit = u"The image is read-only; it can't be edited.";

// ---- editing ----
inline constexpr const char16_t* kTextBeingSentNoEdit =
    u"The image is being sent via infrared; it cannot be edited until its transfer is complete.";
inline constexpr const char16_t* kTextReadOnlyNoTransform = u"The image is read-only; it can't be transformed.";
inline constexpr const char16_t* kTextReducedResolution =
    u"There is not enough memory to edit the image at its original resolution of %dx%d, and it has been "
    u"loaded at the lower resolution of %dx%d.  If you modify and save the image, it will be saved at the "
    u"lower resolution.";
inline constexpr const char16_t* kTextCropQuestion = u"Crop to the selected area?";
inline constexpr const char16_t* kTextRevertQuestion = u"Revert to saved image and lose all changes?";
inline constexpr const char16_t* kTextStatusMessage = u"%s\n(%s)";
// Save As chose a place outside the folders the program shows.
inline constexpr const char16_t* kTextSaveOutsideDevice =
    u"The image can only be saved in the folders shown in the folder tree. Please choose one of them.";
inline constexpr int kStringCantBeSaved = 35043;
inline constexpr int kStringSaveAsFailed = 35096;
inline constexpr int kStringNotEnoughMemory = 62012;

// ---- levels dialog (135) ----
inline constexpr const char16_t* kTextLevelsTitle = u"Levels";
inline constexpr const char16_t* kTextBlackpoint = u"Blackpoint";
inline constexpr const char16_t* kTextWhitepoint = u"Whitepoint";
inline constexpr const char16_t* kTextContrast = u"Contrast";
inline constexpr const char16_t* kTextGamma = u"Gamma";
inline constexpr const char16_t* kTextBrightness = u"Brightness";

// ---- resize dialog (136) ----
inline constexpr const char16_t* kTextResizeTitle = u"Resize";
inline constexpr const char16_t* kTextNewSize = u"New size";
inline constexpr const char16_t* kTextWidth = u"Width:";
inline constexpr const char16_t* kTextHeight = u"Height:";
inline constexpr const char16_t* kTextFit = u"Fit";
inline constexpr const char16_t* kTextMaintainAspect = u"Maintain aspect ratio";
// The standard message of a number field outside its range.
inline constexpr const char16_t* kTextIntegerRange = u"Please enter an integer between %d and %d.";

// ---- JPEG transform dialog (157) ----
inline constexpr const char16_t* kTextTransformTitle = u"JPEG Transform";
inline constexpr const char16_t* kTextSelectTransformation = u"Select a transformation:";

}  // namespace qelvio::resources
