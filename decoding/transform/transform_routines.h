// The transformation routines of the lossless transform, in the order the
// engine runs them around the JPEG library's coefficient interface:
//
//   jpeg_read_header      -> plan_transform, request_workspace
//   jpeg_read_coefficients
//   jpeg_copy_critical_parameters -> adjust_parameters
//   jpeg_write_coefficients(output_coefficients(...)) -> copy_markers
//   execute_transform     (before jpeg_finish_compress)
//
// Every routine may leave through the library's error exit (a bad virtual
// array access, no memory); the caller's error handler catches that.
#pragma once

#include "decoding/transform/transform_code.h"

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace qelvio::decoding {

struct TransformPlan {
    int code = transform_none;
    TransformGeometry geometry;
    // The output's coefficient arrays, one per component; null when the
    // source's arrays are rearranged in place (code 1).
    jvirt_barray_ptr* workspace = nullptr;
};

// The plan for code on a source whose header has been read (trimming on).
TransformPlan plan_transform(j_decompress_ptr source, int code);

// Requests the output's coefficient arrays from the source's memory manager
// (all codes but 1). Must run before jpeg_read_coefficients.
void request_workspace(j_decompress_ptr source, TransformPlan& plan);

// After jpeg_copy_critical_parameters: sets the output size, and for quarter
// turns exchanges every component's sampling factors and transposes every
// quantisation table in use.
void adjust_parameters(j_compress_ptr destination, const TransformPlan& plan);

// The arrays to hand to jpeg_write_coefficients.
jvirt_barray_ptr* output_coefficients(const TransformPlan& plan, jvirt_barray_ptr* source_arrays);

// Rearranges the blocks (and the signs of their coefficients) from the
// source's arrays into the output's, component by component.
void execute_transform(j_decompress_ptr source, j_compress_ptr destination,
                       jvirt_barray_ptr* source_arrays, const TransformPlan& plan);

// Writes every saved COM and APPn segment in source order, after the
// compressor's own header segments; a saved JFIF APP0 or Adobe APP14 is left
// out when the compressor writes its own. Call after jpeg_write_coefficients.
void copy_markers(j_decompress_ptr source, j_compress_ptr destination);

// The blocks of one output component: sampling factors, array size in
// blocks (padded to whole MCUs) and the mirrorable extent in blocks.
struct ComponentLayout {
    int h_factor = 1;
    int v_factor = 1;
    JDIMENSION width_blocks = 0;
    JDIMENSION height_blocks = 0;
    JDIMENSION mirror_width = 0;
    JDIMENSION mirror_height = 0;
};
ComponentLayout output_layout(j_decompress_ptr source, int component, const TransformPlan& plan);

}  // namespace qelvio::decoding
