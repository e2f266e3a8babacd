// Planning, workspace request and parameter adjustment of the lossless
// transform.
#include "decoding/transform/transform_routines.h"

#include <utility>

namespace qelvio::decoding {
namespace {

JDIMENSION divide_up(long value, long divisor) {
    return static_cast<JDIMENSION>((value + divisor - 1) / divisor);
}

JDIMENSION round_up(JDIMENSION value, int multiple) {
    return divide_up(static_cast<long>(value), multiple) * static_cast<JDIMENSION>(multiple);
}

}  // namespace

TransformPlan plan_transform(j_decompress_ptr source, int code) {
    TransformPlan plan;
    plan.code = code;
    plan.geometry = transform_geometry(code, static_cast<int>(source->image_width),
                                       static_cast<int>(source->image_height),
                                       source->max_h_samp_factor, source->max_v_samp_factor);
    return plan;
}

ComponentLayout output_layout(j_decompress_ptr source, int component, const TransformPlan& plan) {
    const jpeg_component_info& info = source->comp_info[component];
    bool swap = transposes(plan.code);
    ComponentLayout layout;
    layout.h_factor = swap ? info.v_samp_factor : info.h_samp_factor;
    layout.v_factor = swap ? info.h_samp_factor : info.v_samp_factor;
    const TransformGeometry& g = plan.geometry;
    // Blocks covering the picture, then padded to whole MCUs, as the
    // library's own coefficient arrays are.
    JDIMENSION across = divide_up(static_cast<long>(g.width) * layout.h_factor, g.mcu_width);
    JDIMENSION down = divide_up(static_cast<long>(g.height) * layout.v_factor, g.mcu_height);
    layout.width_blocks = round_up(across, layout.h_factor);
    layout.height_blocks = round_up(down, layout.v_factor);
    layout.mirror_width = static_cast<JDIMENSION>(g.mirror_mcus_across * layout.h_factor);
    layout.mirror_height = static_cast<JDIMENSION>(g.mirror_mcus_down * layout.v_factor);
    return layout;
}

void request_workspace(j_decompress_ptr source, TransformPlan& plan) {
    plan.workspace = nullptr;
    if (plan.code == transform_flip_h) return;  // rearranged in place
    auto common = reinterpret_cast<j_common_ptr>(source);
    auto arrays = static_cast<jvirt_barray_ptr*>((*source->mem->alloc_small)(
        common, JPOOL_IMAGE, sizeof(jvirt_barray_ptr) * static_cast<std::size_t>(source->num_components)));
    for (int ci = 0; ci < source->num_components; ++ci) {
        ComponentLayout layout = output_layout(source, ci, plan);
        arrays[ci] = (*source->mem->request_virt_barray)(common, JPOOL_IMAGE, FALSE, layout.width_blocks,
                                                         layout.height_blocks,
                                                         static_cast<JDIMENSION>(layout.v_factor));
    }
    plan.workspace = arrays;
}

void adjust_parameters(j_compress_ptr destination, const TransformPlan& plan) {
    destination->image_width = static_cast<JDIMENSION>(plan.geometry.width);
    destination->image_height = static_cast<JDIMENSION>(plan.geometry.height);
    if (!transposes(plan.code)) return;
    bool done[NUM_QUANT_TBLS] = {};
    for (int ci = 0; ci < destination->num_components; ++ci) {
        jpeg_component_info& info = destination->comp_info[ci];
        std::swap(info.h_samp_factor, info.v_samp_factor);
        int table = info.quant_tbl_no;
        if (table < 0 || table >= NUM_QUANT_TBLS || done[table]) continue;
        done[table] = true;  // a table shared by components is transposed once
        JQUANT_TBL* q = destination->quant_tbl_ptrs[table];
        if (!q) continue;
        for (int v = 0; v < DCTSIZE; ++v)
            for (int u = v + 1; u < DCTSIZE; ++u)
                std::swap(q->quantval[v * DCTSIZE + u], q->quantval[u * DCTSIZE + v]);
    }
}

jvirt_barray_ptr* output_coefficients(const TransformPlan& plan, jvirt_barray_ptr* source_arrays) {
    return plan.workspace ? plan.workspace : source_arrays;
}

}  // namespace qelvio::decoding
