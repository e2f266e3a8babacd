// The image object as the view's zoom target: its size (the edited bitmap's
// while editing) and its displayed size once given a zoom.
#pragma once

#include "decoding/source/image_source.h"
#include "viewer/view_state.h"

namespace qelvio::viewer {

class ImageZoomTarget final : public ZoomTarget {
public:
    explicit ImageZoomTarget(decoding::p_ImageSource& image) : image_(image) {}
    DibSize image_size() override { return image_.size(); }
    DibSize apply_zoom(int zoom) override {
        image_.set_zoom(zoom);
        return image_.displayed_size();
    }
    decoding::p_ImageSource& image() const { return image_; }

private:
    decoding::p_ImageSource& image_;
};

}  // namespace qelvio::viewer
