// The five lossless transformations and the output geometry they give: which
// dimensions are exchanged, how far each is trimmed to whole MCUs, and how
// much of each direction can be mirrored without loss. Plain arithmetic, no
// library state.
#pragma once

namespace qelvio::decoding {

// The transformation codes (the JPEG library's numbering).
enum TransformCode : int {
    transform_none = 0,
    transform_flip_h = 1,     // mirror left-right
    transform_flip_v = 2,     // mirror top-bottom
    transform_rot_90 = 5,     // rotate 90 degrees clockwise
    transform_rot_180 = 6,
    transform_rot_270 = 7,    // rotate 270 degrees clockwise
};

// True for the five codes the engine carries out (1, 2, 5, 6, 7).
bool is_transform_code(int code);

// True when the code exchanges rows and columns (5 and 7).
constexpr bool transposes(int code) { return code == transform_rot_90 || code == transform_rot_270; }

// The size of the result in pixels and its MCU in pixels. An MCU is
// 8 x the largest sampling factor of the output in each direction.
struct TransformGeometry {
    int width = 0;
    int height = 0;
    int mcu_width = 8;
    int mcu_height = 8;
    // Whole MCUs across and down that can be mirrored; 0 in a direction
    // smaller than one MCU (or one that the code does not mirror).
    int mirror_mcus_across = 0;
    int mirror_mcus_down = 0;
};

// The output geometry of code for a source of width x height pixels whose
// largest sampling factors are max_h and max_v. With trim, a mirrored
// direction is cut down to whole MCUs whenever at least one whole MCU remains.
TransformGeometry transform_geometry(int code, int width, int height, int max_h, int max_v,
                                     bool trim = true);

}  // namespace qelvio::decoding
