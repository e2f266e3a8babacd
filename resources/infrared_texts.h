// Captions and control texts of the beaming window (dialog 193). Its
// numbered texts (waiting texts, group titles, the overwrite question) are
// in the string table; these are the dialog's own labels.
#pragma once

namespace qelvio::resources {

inline constexpr const char16_t* kInfraredCaption = u"Infrared Transfer";  // as created
inline constexpr const char16_t* kInfraredSendCaption = u"Infrared Send";
inline constexpr const char16_t* kInfraredReceiveCaption = u"Infrared Receive";
inline constexpr const char16_t* kInfraredStoppedCaption = u"Infrared";
inline constexpr const char16_t* kInfraredImagesRemaining = u"Images remaining:";  // before 1097
inline constexpr const char16_t* kInfraredBytesRemaining = u"Bytes remaining:";    // before 1098 and 1100
inline constexpr const char16_t* kInfraredTotals = u"Totals";                      // group of 1097, 1098, 1059
inline constexpr const char16_t* kInfraredResumed = u"The file transfer was resumed.";  // 1102
inline constexpr const char16_t* kInfraredSkip = u"Skip this file";    // 1056
inline constexpr const char16_t* kInfraredStop = u"Stop transfer";     // 1055
inline constexpr const char16_t* kInfraredHide = u"Hide window";       // 3
// The engine stopped on its own because the link failed (another program
// may hold the receiving port, or the network is down).
inline constexpr const char16_t* kInfraredLinkFailed =
    u"The infrared link failed, so the transfer has stopped.";

}  // namespace qelvio::resources
