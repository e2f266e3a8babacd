#include "shell/startup.h"

#include "shell/profile.h"
#include "shell/settings.h"

namespace qelvio::shell {

StartupState begin_startup(std::optional<p_irl> initial) {
    StartupState state{std::move(initial), false};
    state.show_start_picture = !state.initial;
    set_registry_key(u"Brantel\\Qelvio");
    settings().load();
    return state;
}

int32_t save_settings_at_exit() { return settings().save(); }

}  // namespace qelvio::shell
