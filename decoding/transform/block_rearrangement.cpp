// Block rearrangement: moves the 8 x 8 coefficient blocks of every component
// to their places in the output and fixes the signs of the coefficients.
//
// Mirroring a block's content left-right negates the coefficients of odd
// horizontal frequency u; top-bottom negates those of odd vertical frequency
// v; a quarter turn first exchanges rows and columns (coefficient (v, u)
// takes (u, v)). Only blocks inside the mirrorable extent (whole MCUs) move
// in a direction; the others stay in that direction, so no partial block is
// ever moved to an edge where it would not fit.
#include "decoding/transform/transform_routines.h"

#include <algorithm>

namespace qelvio::decoding {
namespace {

// Which coefficients change sign: bit 0 = odd u, bit 1 = odd v.
enum SignRule : int { keep_signs = 0, negate_odd_u = 1, negate_odd_v = 2 };

// sign_table[rule][v * 8 + u] is -1 or 1.
struct SignTable {
    JCOEF factor[4][DCTSIZE2];
    SignTable() {
        for (int rule = 0; rule < 4; ++rule)
            for (int v = 0; v < DCTSIZE; ++v)
                for (int u = 0; u < DCTSIZE; ++u) {
                    bool odd = ((rule & negate_odd_u) && (u & 1)) != ((rule & negate_odd_v) && (v & 1));
                    factor[rule][v * DCTSIZE + u] = odd ? -1 : 1;
                }
    }
};
const SignTable signs;

void copy_block(const JCOEF* in, JCOEF* out, int rule) {
    const JCOEF* f = signs.factor[rule];
    for (int k = 0; k < DCTSIZE2; ++k) out[k] = static_cast<JCOEF>(in[k] * f[k]);
}

// out(v, u) = in(u, v), then the sign rule of the output position.
void transpose_block(const JCOEF* in, JCOEF* out, int rule) {
    const JCOEF* f = signs.factor[rule];
    for (int v = 0; v < DCTSIZE; ++v)
        for (int u = 0; u < DCTSIZE; ++u)
            out[v * DCTSIZE + u] = static_cast<JCOEF>(in[u * DCTSIZE + v] * f[v * DCTSIZE + u]);
}

j_common_ptr common(j_compress_ptr cinfo) { return reinterpret_cast<j_common_ptr>(cinfo); }

// Code 1 in place: within each block row, block x changes places with block
// W - 1 - x; blocks from W on stay as they are.
void mirror_in_place(j_compress_ptr cinfo, jvirt_barray_ptr array, const ComponentLayout& layout) {
    JDIMENSION width = layout.mirror_width;
    for (JDIMENSION y0 = 0; y0 < layout.height_blocks; y0 += static_cast<JDIMENSION>(layout.v_factor)) {
        JBLOCKARRAY rows = (*cinfo->mem->access_virt_barray)(common(cinfo), array, y0,
                                                             static_cast<JDIMENSION>(layout.v_factor), TRUE);
        for (int r = 0; r < layout.v_factor; ++r) {
            JBLOCKROW row = rows[r];
            for (JDIMENSION x = 0; x < width / 2; ++x) {
                JBLOCK left;
                copy_block(row[x], left, keep_signs);
                copy_block(row[width - 1 - x], row[x], negate_odd_u);
                copy_block(left, row[width - 1 - x], negate_odd_u);
            }
            if (width & 1) copy_block(row[width / 2], row[width / 2], negate_odd_u);
        }
    }
}

// Codes 2 and 6: output block row y takes source row H - 1 - y inside the
// mirrorable height, row y below it; code 6 also mirrors the columns.
void mirror_rows(j_compress_ptr cinfo, jvirt_barray_ptr source, jvirt_barray_ptr output,
                 const ComponentLayout& layout, bool mirror_columns) {
    const JDIMENSION v = static_cast<JDIMENSION>(layout.v_factor);
    const JDIMENSION H = layout.mirror_height, W = mirror_columns ? layout.mirror_width : 0;
    for (JDIMENSION y0 = 0; y0 < layout.height_blocks; y0 += v) {
        JBLOCKARRAY out = (*cinfo->mem->access_virt_barray)(common(cinfo), output, y0, v, TRUE);
        bool flip_rows = y0 < H;  // H is a whole number of block-row groups
        JDIMENSION first = flip_rows ? H - y0 - v : y0;
        JBLOCKARRAY in = (*cinfo->mem->access_virt_barray)(common(cinfo), source, first, v, FALSE);
        for (JDIMENSION r = 0; r < v; ++r) {
            JBLOCKROW in_row = in[flip_rows ? v - 1 - r : r];
            JBLOCKROW out_row = out[r];
            int row_rule = flip_rows ? negate_odd_v : keep_signs;
            for (JDIMENSION x = 0; x < layout.width_blocks; ++x) {
                if (x < W)
                    copy_block(in_row[W - 1 - x], out_row[x], row_rule | negate_odd_u);
                else
                    copy_block(in_row[x], out_row[x], row_rule);
            }
        }
    }
}

// Codes 5 and 7: output block (y, x) takes source block (x, y), then code 5
// mirrors the columns (source row W - 1 - x) and code 7 the rows (source
// column H - 1 - y) inside the mirrorable extent.
void transpose_blocks(j_compress_ptr cinfo, jvirt_barray_ptr source, jvirt_barray_ptr output,
                      const ComponentLayout& layout, bool mirror_columns) {
    const JDIMENSION v = static_cast<JDIMENSION>(layout.v_factor);
    const JDIMENSION h = static_cast<JDIMENSION>(layout.h_factor);  // source rows per access
    const JDIMENSION W = mirror_columns ? layout.mirror_width : 0;
    const JDIMENSION H = mirror_columns ? 0 : layout.mirror_height;
    for (JDIMENSION y0 = 0; y0 < layout.height_blocks; y0 += v) {
        JBLOCKARRAY out = (*cinfo->mem->access_virt_barray)(common(cinfo), output, y0, v, TRUE);
        for (JDIMENSION x0 = 0; x0 < layout.width_blocks; x0 += h) {
            bool flip_columns = x0 < W;  // W is a whole number of column groups
            JDIMENSION first = flip_columns ? W - x0 - h : x0;
            JBLOCKARRAY in = (*cinfo->mem->access_virt_barray)(common(cinfo), source, first, h, FALSE);
            for (JDIMENSION r = 0; r < v; ++r) {
                JDIMENSION y = y0 + r;
                bool flip_row = y < H;
                JDIMENSION column = flip_row ? H - 1 - y : y;
                int rule = (flip_columns ? negate_odd_u : keep_signs) | (flip_row ? negate_odd_v : keep_signs);
                for (JDIMENSION c = 0; c < h; ++c) {
                    JBLOCKROW in_row = in[flip_columns ? h - 1 - c : c];
                    transpose_block(in_row[column], out[r][x0 + c], rule);
                }
            }
        }
    }
}

}  // namespace

void execute_transform(j_decompress_ptr source, j_compress_ptr destination,
                       jvirt_barray_ptr* source_arrays, const TransformPlan& plan) {
    for (int ci = 0; ci < source->num_components; ++ci) {
        ComponentLayout layout = output_layout(source, ci, plan);
        switch (plan.code) {
        case transform_flip_h:
            mirror_in_place(destination, source_arrays[ci], layout);
            break;
        case transform_flip_v:
            mirror_rows(destination, source_arrays[ci], plan.workspace[ci], layout, false);
            break;
        case transform_rot_180:
            mirror_rows(destination, source_arrays[ci], plan.workspace[ci], layout, true);
            break;
        case transform_rot_90:
            transpose_blocks(destination, source_arrays[ci], plan.workspace[ci], layout, true);
            break;
        case transform_rot_270:
            transpose_blocks(destination, source_arrays[ci], plan.workspace[ci], layout, false);
            break;
        default:
            break;
        }
    }
}

}  // namespace qelvio::decoding
