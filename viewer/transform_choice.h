// The JPEG Transform dialog's rules: the five transformation buttons (codes
// 7, 6, 5, 1, 2 from left to right), where they go in their placeholder,
// the chosen code that a second click on the same button takes back, the
// square preview area and the preview operation of each code.
#pragma once

#include "imaging/dib.h"

#include <array>

namespace qelvio::viewer {

inline constexpr int kTransformButtons = 5;
inline constexpr int kTransformButtonSide = 24;
inline constexpr int kTransformButtonFirstId = 100;
inline constexpr std::array<int, kTransformButtons> kTransformCodes{7, 6, 5, 1, 2};

class TransformChoice {
public:
    // A click on button index (0 to 4): selects it and chooses its code, or,
    // when it is selected, unselects it and chooses nothing (0).
    void click(int index);
    int code() const { return code_; }
    bool selected(int index) const { return index >= 0 && index < kTransformButtons && selected_ == index; }

private:
    int selected_ = -1;
    int code_ = 0;
};

// Left edge of button index inside a placeholder starting at left, width wide.
int transform_button_x(int left, int width, int index);

// The largest square centred in the rectangle (the longer side shortened
// equally at both ends).
imaging::DibRect square_within(const imaging::DibRect& area);

// The preview of a transformation: the flip or rotation the code stands for,
// a copy for 0. Null for another code or no memory.
imaging::DibPtr transform_preview(const imaging::Dib& preview, int code);

}  // namespace qelvio::viewer
