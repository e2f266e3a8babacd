#include "browser/progress_layout.h"

namespace qelvio::browser {

ProgressLayout progress_layout(int screen_width, int screen_height) {
    ProgressLayout l;
    const int sixth = screen_width / 6;
    l.window = {sixth, screen_height / 4, screen_width - sixth, screen_height / 4 + kProgressHeight};
    progress_client_layout(l.window.width(), l.text, l.bar);
    return l;
}

void progress_client_layout(int client_width, Rect& text, Rect& bar) {
    text = {4, 4, client_width - 4, 32};
    bar = {4, 36, client_width - 4, 50};
}

ProgressRange progress_range(int minimum, int maximum) {
    if (minimum == maximum) maximum = minimum + 1;
    return {minimum, maximum};
}

}  // namespace qelvio::browser
