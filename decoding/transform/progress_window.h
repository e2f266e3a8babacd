// The progress window as the transform engine sees it: a line of text and a
// bar that the engine steps while it works. The user interface implements it
// with its progress window; the command line prints a line on the terminal.
// Called on the thread that runs the transform, between create and close.
#pragma once

#include <string_view>

namespace qelvio::decoding {

class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    // Shows the window with its text and the range of the bar.
    virtual void create(std::u16string_view text, int minimum, int maximum) = 0;
    // Moves the bar to position.
    virtual void step(int position) = 0;
    // Takes the window away.
    virtual void close() = 0;
};

}  // namespace qelvio::decoding
