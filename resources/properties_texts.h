// Captions and control texts of the properties sheet's pages and of the
// audio dialog (dialog 186) that have no number in the string table.
#pragma once

namespace qelvio::resources {

// Dialog 186, "Audio".
inline constexpr const char16_t* kAudioCaption = u"Audio";
inline constexpr const char16_t* kAudioClear = u"Clear";          // 1059
inline constexpr const char16_t* kAudioRevert = u"Revert";        // 3
inline constexpr const char16_t* kAudioLoad = u"Load...";         // 1077
inline constexpr const char16_t* kAudioSave = u"Save...";         // 1078
inline constexpr const char16_t* kAudioReadOnly = u"The image is read-only.";  // 1109

// The General page.
inline constexpr const char16_t* kGeneralCaption = u"General";
inline constexpr const char16_t* kGeneralFileName = u"File name:";    // 1048
inline constexpr const char16_t* kGeneralLocation = u"Location:";     // 1054
inline constexpr const char16_t* kGeneralSize = u"Size:";             // 1049
inline constexpr const char16_t* kGeneralFileDate = u"File date:";    // 1052
inline constexpr const char16_t* kGeneralDimensions = u"Dimensions:"; // 1050
inline constexpr const char16_t* kGeneralColors = u"Colors:";         // 1051
inline constexpr const char16_t* kGeneralFormat = u"Format:";         // 1053

// The Annotation page.
inline constexpr const char16_t* kAnnotationCaption = u"Annotation";
inline constexpr const char16_t* kAnnotationDescription = u"Image Description:";  // 1051
inline constexpr const char16_t* kAnnotationArtist = u"Artist:";                  // 1062
inline constexpr const char16_t* kAnnotationCopyright = u"Copyright:";            // 1063
inline constexpr const char16_t* kAnnotationAudio = u"Audio...";                  // 1052
// The image keeps its annotations as 8-bit (ISO 8859-1) text; %1 is the
// first character typed that it cannot hold.
inline constexpr const char16_t* kAnnotationUnsupported =
    u"The annotation can hold only Western European (Latin-1) characters. "
    u"Please replace the character \u201c%1\u201d.";

// The Metadata page.
inline constexpr const char16_t* kMetadataCaption = u"Metadata";
inline constexpr const char16_t* kMetadataNone = u"This image contains no metadata.";

}  // namespace qelvio::resources
