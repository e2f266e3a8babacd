// Values that single dialogs keep in the profile themselves, read when the
// dialog opens and written when it is confirmed.
#pragma once

#include "shell/profile.h"

#include <cstdint>

namespace qelvio::shell {

struct DialogSetting {
    const char16_t* section;
    const char16_t* name;
    int32_t fallback;
};

// Index of the e-mail size reduction.
inline constexpr DialogSetting kEmailResolution{u"emaildlg", u"resolution", 0};
// Digits of the rename dialog's sequence numbers.
inline constexpr DialogSetting kRenameSeqCount{u"renamedlg", u"seqcount", 2};

inline int32_t load_dialog_setting(const DialogSetting& s) {
    return get_profile_int(s.section, s.name, s.fallback);
}

inline int32_t save_dialog_setting(const DialogSetting& s, int32_t value) {
    return write_profile_int(s.section, s.name, value);
}

}  // namespace qelvio::shell
