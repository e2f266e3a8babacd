#include "decoding/source/zoomed_render.h"

#include "platform/message_queue.h"

namespace qelvio::decoding {

int render_zoomed(p_ImageSource& image, imaging::DrawingTarget& target, DrawPoint origin,
                  const imaging::DibRect* view) {
    platform::MessageQueue window;
    if (image.draw(target, origin, view) < 0) return P_FAILED;
    if (!image.tiled() || !image.tile_grid()) return 0;  // the whole-image bitmap was all there is
    int decoded = 0;
    while (image.next_tile(&window) == P_OK) {
        auto message = window.take();
        if (!message) return P_FAILED;
        image.draw(target, origin, view, static_cast<int>(message->second), true);
        ++decoded;
    }
    return decoded;
}

}  // namespace qelvio::decoding
