// Dialog 142, "Rename": the name for one image ("&Name the image:") or the
// common name for several ("&Name the images:") in an editable combo box
// holding the most recently used names, and for several images the number
// of digits (1 to 5) of the sequence number appended to it. For one image
// an empty area (1118) covers the sequence controls. Help topic "renaming".
//
// Opening loads the stored digit count ("seqcount") and the name list of
// section "renamedlg"; OK refuses digits outside 1 to 5 (the dialog stays
// open), then stores the digit count and the name list. Cancel stores
// nothing. User-interface thread only.
#pragma once

#include "shell/ui/dialog_base.h"

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;

namespace qelvio::browser {

class RenameDialog : public shell::DialogBase {
    Q_OBJECT
public:
    RenameDialog(bool several, QWidget* parent);

    // The name field's text.
    void set_name(const std::u16string& name);
    std::u16string name() const;
    // The digits field's number (0 when it holds none).
    int digits() const;

    // Shows why OK was refused; a message box unless replaced (tests).
    std::function<void(const QString&)> refuse;

public slots:
    void accept() override;

private:
    bool several_;
    QLabel* label_;
    QComboBox* name_;
    QLineEdit* digits_;
};

}  // namespace qelvio::browser
