// Zoomed drawing without a window (the command-line tool, tests): the way
// the viewer draws, done to the end on the calling thread.
#pragma once

#include "decoding/source/image_source.h"

namespace qelvio::decoding {

// Draws `view` of an image in viewing mode at its zoom: a full drawing,
// then every queued tile decoded on the worker and drawn as it arrives,
// until none is left. The number of tiles decoded, or -100 when nothing
// could be drawn or a tile never arrived.
int render_zoomed(p_ImageSource& image, imaging::DrawingTarget& target, DrawPoint origin,
                  const imaging::DibRect* view = nullptr);

}  // namespace qelvio::decoding
