// Where numbered messages go: a window of the user interface, or a recorder
// in tests. Any thread may post; delivery happens later on the receiver's
// own thread (the user-interface thread for windows). A receiver that has
// gone away drops what is posted to it.
#pragma once

#include <cstdint>

namespace qelvio::platform {

class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    // Queues a message; never blocks for long and never fails visibly.
    virtual void post(uint32_t message, std::intptr_t first, std::intptr_t second) = 0;
};

}  // namespace qelvio::platform
