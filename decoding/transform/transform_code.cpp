#include "decoding/transform/transform_code.h"

namespace qelvio::decoding {

bool is_transform_code(int code) {
    switch (code) {
    case transform_flip_h:
    case transform_flip_v:
    case transform_rot_90:
    case transform_rot_180:
    case transform_rot_270:
        return true;
    default:
        return false;
    }
}

TransformGeometry transform_geometry(int code, int width, int height, int max_h, int max_v,
                                     bool trim) {
    TransformGeometry g;
    bool swap = transposes(code);
    g.width = swap ? height : width;
    g.height = swap ? width : height;
    g.mcu_width = 8 * (swap ? max_v : max_h);
    g.mcu_height = 8 * (swap ? max_h : max_v);
    // The directions in which blocks change places along the output's axes.
    bool mirror_across = code == transform_flip_h || code == transform_rot_90 || code == transform_rot_180;
    bool mirror_down = code == transform_flip_v || code == transform_rot_180 || code == transform_rot_270;
    if (mirror_across) {
        g.mirror_mcus_across = g.width / g.mcu_width;
        if (trim && g.mirror_mcus_across > 0) g.width = g.mirror_mcus_across * g.mcu_width;
    }
    if (mirror_down) {
        g.mirror_mcus_down = g.height / g.mcu_height;
        if (trim && g.mirror_mcus_down > 0) g.height = g.mirror_mcus_down * g.mcu_height;
    }
    return g;
}

}  // namespace qelvio::decoding
