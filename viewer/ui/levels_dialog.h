// The "Levels" dialog (135): five sliders (black point, white point,
// contrast, gamma, brightness) and the live preview, which reruns the
// levels on the reduced image at every slider step.
#pragma once

#include "shell/ui/dialog_base.h"
#include "viewer/levels_sliders.h"

#include <array>

class QSlider;

namespace qelvio::decoding {
class p_ImageSource;
}

namespace qelvio::viewer {

class LevelsPreview;

class LevelsDialog : public shell::DialogBase {
    Q_OBJECT
public:
    LevelsDialog(decoding::p_ImageSource& image, QWidget* parent = nullptr);
    // The parameters of the sliders (what OK applies).
    imaging::LevelsParams params() const { return sliders_.params(); }
    LevelsPreview* preview() const { return preview_; }

private:
    void slider_moved();
    QSlider* slider(int control) const;

    LevelsSliders sliders_;
    std::array<QSlider*, 5> controls_{};
    LevelsPreview* preview_;
    bool updating_ = false;
};

}  // namespace qelvio::viewer
