// The Resize dialog's two edits as text and numbers: with the aspect lock
// on, typing one dimension writes the other from the size the dialog was
// opened with; the Fit buttons write the screen's size; OK accepts whole
// numbers from 16 to 4096 only.
#pragma once

#include <string>

namespace qelvio::viewer {

enum ResizeControl : int {
    kResizeWidth = 1005,
    kResizeHeight = 1006,
    kResizeAspect = 1007,
    kResizeFitWidth = 1075,
    kResizeFitHeight = 1076,
};

inline constexpr int kResizeMinimum = 16;
inline constexpr int kResizeMaximum = 4096;

class ResizeFields {
public:
    ResizeFields(int width, int height);

    const std::string& width_text() const { return width_; }
    const std::string& height_text() const { return height_; }
    bool locked() const { return locked_; }
    void set_locked(bool locked) { locked_ = locked; }

    // The user typed into an edit: with the lock, the other edit follows.
    void set_width_text(const std::string& text);
    void set_height_text(const std::string& text);
    // The Fit buttons.
    void fit_width(int screen_width);
    void fit_height(int screen_height);

    // OK: 0 when both edits hold whole numbers from 16 to 4096 (given in
    // width and height), else the control number of the first that does not.
    int validate(int& width, int& height) const;

private:
    int opening_width_;
    int opening_height_;
    std::string width_;
    std::string height_;
    bool locked_ = true;
};

// Leading digits as a number, 0 when the text does not start with one.
int leading_number(const std::string& text);

}  // namespace qelvio::viewer
