// Moving between the images of the list from the viewer: the next or
// previous index (all images or the selected ones, with or without wrapping)
// and the image read ahead in the direction of travel; and where the four
// full-screen overlay buttons go.
#pragma once

#include "imaging/dib.h"

#include <functional>

namespace qelvio::viewer {

// The index after (direction 1) or before (-1) current among count images,
// counting only those selected() accepts when it is given; with wrap the
// search goes on from the other end. -1 when there is none.
int step_index(int count, int current, int direction, bool wrap, const std::function<bool(int)>& selected = {});

// The image to read ahead once `shown` is shown: the next one in the same
// direction, always wrapping; -1 when it would be the shown one itself.
int prefetch_index(int count, int shown, int direction, const std::function<bool(int)>& selected = {});

// The overlay buttons by bitmap number.
enum OverlayButton : int {
    kOverlayLeaveFullScreen = 190,
    kOverlayZoomOut = 191,
    kOverlayReturn = 192,
    kOverlayZoomIn = 193,
};
inline constexpr int kOverlaySide = 16;

// Where an overlay button goes in a client of that size.
imaging::DibRect overlay_button_rect(int bitmap, int client_width, int client_height);

}  // namespace qelvio::viewer
