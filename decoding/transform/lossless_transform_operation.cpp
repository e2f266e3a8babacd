#include "decoding/transform/lossless_transform_operation.h"

#include "decoding/transform/jpeg_lossless_transform.h"
#include "qelvio/p_status.h"

namespace qelvio::decoding {

int32_t LosslessTransformOperation(p_filenode* file, int code, const ForgetCallback& forget,
                                   ProgressWindow* progress) {
    if (!JpegLosslessTransform(file, code, progress)) return P_FAILED;
    p_irl locator;
    if (forget && file->getirl(locator) >= 0) forget(locator);
    return P_OK;
}

}  // namespace qelvio::decoding
