// Command numbers shared by the menus, the command bar, the keys and the
// panes that carry the commands out.
#pragma once

namespace qelvio::resources {

// ---- image list ----
inline constexpr int kCmdViewThumbnails = 32806;
inline constexpr int kCmdViewDetails = 32811;
inline constexpr int kCmdViewThumbsDetails = 32809;
inline constexpr int kCmdSortByName = 32872;
inline constexpr int kCmdSortByType = 32873;
inline constexpr int kCmdSortBySize = 32875;
inline constexpr int kCmdSortByDate = 32874;
inline constexpr int kCmdSortAscending = 32876;
inline constexpr int kCmdSortDescending = 32877;
inline constexpr int kCmdSelectAll = 32832;
inline constexpr int kCmdUnselectAll = 32833;
inline constexpr int kCmdViewImage = 32907;
inline constexpr int kCmdSlideShowAll = 32802;
inline constexpr int kCmdSlideShowSelected = 32803;
inline constexpr int kCmdPlayAudio = 32902;
inline constexpr int kCmdProperties = 32894;
inline constexpr int kCmdTransformJpeg = 32898;
inline constexpr int kCmdSendEmail = 32895;
inline constexpr int kCmdSendInfrared = 32879;
inline constexpr int kCmdReceiveInfrared = 32880;
inline constexpr int kCmdFind = 32900;
inline constexpr int kCmdFindNext = 32901;
inline constexpr int kCmdCut = 57635;
inline constexpr int kCmdCopy = 57634;
inline constexpr int kCmdPaste = 57637;
inline constexpr int kCmdDelete = 32805;
inline constexpr int kCmdRename = 32818;

// ---- folder tree ----
inline constexpr int kCmdNewFolder = 32908;
inline constexpr int kCmdNewFolderAlias = 32851;
inline constexpr int kCmdRenameFolder = 32921;
inline constexpr int kCmdDeleteFolder = 32920;

// ---- the "dragdrop" menu of menu resource 141 ----
inline constexpr int kCmdDropMove = 32857;
inline constexpr int kCmdDropCopy = 32858;
inline constexpr int kCmdDropCancel = 32861;

// ---- viewer ----
inline constexpr int kCmdViewerTransformJpeg = 32853;
inline constexpr int kCmdViewerPlayAudio = 32847;
inline constexpr int kCmdReturnToBrowser = 32810;
inline constexpr int kCmdFitToScreen = 32860;
inline constexpr int kCmdZoomFull = 32905;
inline constexpr int kCmdZoomIn = 32868;
inline constexpr int kCmdZoomOut = 32870;
inline constexpr int kCmdZoomArea = 32867;
inline constexpr int kCmdFullScreen = 32771;
inline constexpr int kCmdViewerSlideShow = 32909;
inline constexpr int kCmdStopSlideShow = 32797;
inline constexpr int kCmdViewerProperties = 32881;
inline constexpr int kCmdRecordAudio = 32893;
inline constexpr int kCmdSaveCopy = 32917;

// ---- editing ----
inline constexpr int kCmdEdit = 32841;
inline constexpr int kCmdLevels = 32839;
inline constexpr int kCmdAutoLevels = 32848;
inline constexpr int kCmdResize = 32840;
inline constexpr int kCmdRotate90 = 32836;
inline constexpr int kCmdRotate180 = 32837;
inline constexpr int kCmdRotate270 = 32838;
inline constexpr int kCmdFlipHorizontal = 32911;
inline constexpr int kCmdFlipVertical = 32912;
inline constexpr int kCmdCropTool = 32845;
inline constexpr int kCmdCrop = 32835;
inline constexpr int kCmdReloadOriginal = 32846;
inline constexpr int kCmdSave = 32915;
inline constexpr int kCmdSaveAs = 32914;
inline constexpr int kCmdStopEditing = 32865;

}  // namespace qelvio::resources
