// What the application does around its main window: the steps before the
// window exists and the steps at exit. The user interface calls these and
// shows the start-up picture and the window.
//
// Called on the user-interface thread.
#pragma once

#include "qelvio/p_irl.h"

#include <cstdint>
#include <optional>

namespace qelvio::shell {

struct StartupState {
    std::optional<p_irl> initial;  // the file to open, from the command line
    bool show_start_picture;       // true when no file was given
};

// Sets the registry key "Brantel\Qelvio" for the profile and loads the
// process-wide settings. initial is the locator of the command line's file
// (initial_irl for a command-line text, file_irl for a program argument).
StartupState begin_startup(std::optional<p_irl> initial);

// Saves the process-wide settings; the caller flushes the image cache after
// it. Returns the registry result (0 when saved).
int32_t save_settings_at_exit();

}  // namespace qelvio::shell
