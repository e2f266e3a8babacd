#include "shell/mru_list.h"

#include "platform/registry.h"
#include "platform/text.h"
#include "shell/profile.h"

#include <algorithm>
#include <string>

namespace qelvio::shell {
namespace {

std::u16string entry_name(std::u16string_view prefix, int index) {
    std::string digits = std::to_string(index);
    return std::u16string(prefix) + std::u16string(digits.begin(), digits.end());
}

bool equal_ignoring_case(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               return text::fold_case(x) == text::fold_case(y);
           });
}

}  // namespace

void load_list(platform::ListControl& control, std::u16string_view section,
               std::u16string_view count_name, std::u16string_view prefix) {
    control.set_redraw(false);
    int32_t count = get_profile_int(section, count_name, 0);
    for (int32_t i = 0; i < count; ++i) {
        std::u16string entry = get_profile_string(section, entry_name(prefix, i), kMruMissing);
        if (entry == kMruMissing) break;
        control.insert(control.count(), entry);
    }
    control.set_redraw(true);
}

int32_t save_list(platform::ListControl& control, std::u16string_view section,
                  std::u16string_view count_name, std::u16string_view prefix) {
    control.set_redraw(false);
    std::u16string text = control.edit_text();
    if (!text.empty()) {
        for (int i = 0; i < control.count(); ++i) {
            if (equal_ignoring_case(control.item(i), text)) {
                control.remove(i);
                break;
            }
        }
        control.insert(0, text);
    }
    int count = std::min(control.count(), kMruMaxEntries);
    int32_t result;
    {
        platform::RegBatch batch(platform::RegHive::current_user);  // one write for the list
        result = write_profile_int(section, count_name, count);
        for (int i = 0; i < count; ++i) {
            int32_t r = write_profile_string(section, entry_name(prefix, i), control.item(i));
            if (result == platform::REG_OK) result = r;
        }
        int32_t r = batch.commit();
        if (result == platform::REG_OK) result = r;
    }
    control.set_edit_text(text);
    control.set_redraw(true);
    return result;
}

}  // namespace qelvio::shell
