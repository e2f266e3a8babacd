// A combo box as the registry code's list control, so most-recently-used
// lists load into and save from it. User-interface thread only.
#pragma once

#include "platform/list_control.h"

class QComboBox;

namespace qelvio::platform {

class ComboList : public ListControl {
public:
    explicit ComboList(QComboBox& combo) : combo_(combo) {}
    int count() const override;
    std::u16string item(int index) const override;
    void insert(int index, std::u16string_view text) override;
    void remove(int index) override;
    void clear() override;
    std::u16string edit_text() const override;
    void set_edit_text(std::u16string_view text) override;
    void set_redraw(bool on) override;

private:
    QComboBox& combo_;
};

}  // namespace qelvio::platform
