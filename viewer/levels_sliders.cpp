#include "viewer/levels_sliders.h"

#include <algorithm>

namespace qelvio::viewer {

SliderRange LevelsSliders::range(int control) const {
    switch (control) {
    case kLevelsBlack: return {0, white_ - 1};
    // The white point stays above 0 so that a black point below it exists.
    case kLevelsWhite: return {1, 255};
    case kLevelsContrast: return {0, 200};
    case kLevelsGamma: return {0, 10};
    case kLevelsBrightness: return {0, 200};
    default: return {0, 0};
    }
}

int LevelsSliders::position(int control) const {
    switch (control) {
    case kLevelsBlack: return black_;
    case kLevelsWhite: return white_;
    case kLevelsContrast: return contrast_;
    case kLevelsGamma: return gamma_;
    case kLevelsBrightness: return brightness_;
    default: return 0;
    }
}

void LevelsSliders::set_position(int control, int position) {
    SliderRange r = range(control);
    position = std::clamp(position, r.minimum, r.maximum);
    switch (control) {
    case kLevelsBlack: black_ = position; break;
    case kLevelsWhite: white_ = position; break;
    case kLevelsContrast: contrast_ = position; break;
    case kLevelsGamma: gamma_ = position; break;
    case kLevelsBrightness: brightness_ = position; break;
    default: return;
    }
    if (black_ >= white_) black_ = white_ - 1;
}

imaging::LevelsParams LevelsSliders::params() const {
    imaging::LevelsParams p;
    p.black = black_;
    p.white = white_;
    p.contrast = contrast_ - 100;
    p.brightness = brightness_ - 100;
    p.gamma = static_cast<double>(gamma_);
    return p;
}

}  // namespace qelvio::viewer
