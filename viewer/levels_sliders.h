// The Levels dialog's five sliders as numbers: their ranges and start
// positions, the black point kept below the white point, and the
// parameters the positions give (what the preview shows and OK applies).
#pragma once

#include "imaging/levels.h"

namespace qelvio::viewer {

// Slider control numbers.
enum LevelsControl : int {
    kLevelsBlack = 1002,
    kLevelsWhite = 1003,
    kLevelsContrast = 1004,
    kLevelsGamma = 1005,
    kLevelsBrightness = 1006,
};

struct SliderRange {
    int minimum;
    int maximum;
};

class LevelsSliders {
public:
    // The range of a slider now (the black one narrows to 0..white - 1).
    SliderRange range(int control) const;
    int position(int control) const;
    // A slider moved (clamped to its range). A white point at or below the
    // black point pulls the black point to white - 1.
    void set_position(int control, int position);
    // black, white, contrast - 100, brightness - 100, gamma.
    imaging::LevelsParams params() const;

private:
    int black_ = 0;
    int white_ = 255;
    int contrast_ = 100;
    int gamma_ = 1;
    int brightness_ = 100;
};

}  // namespace qelvio::viewer
