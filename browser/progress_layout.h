// The progress window's geometry and range: a 58-pixel high window a sixth
// of the screen width in from each side and a quarter of the screen height
// from the top; inside, 4 pixels from the client edges, the text from
// y = 4 to 32 and the bar from y = 36 to 50.
#pragma once

#include "browser/frame_logic.h"

namespace qelvio::browser {

struct ProgressLayout {
    Rect window;  // screen coordinates
    Rect text;    // client coordinates
    Rect bar;     // client coordinates
};

// The layout for a screen and a client area width.
ProgressLayout progress_layout(int screen_width, int screen_height);
// The text and bar rectangles for the window's client width.
void progress_client_layout(int client_width, Rect& text, Rect& bar);

// A range whose ends are equal gets maximum = minimum + 1.
struct ProgressRange {
    int minimum;
    int maximum;
};
ProgressRange progress_range(int minimum, int maximum);

inline constexpr int kProgressHeight = 58;

}  // namespace qelvio::browser
