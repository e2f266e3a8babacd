// The About box (dialog 100): "About Qelvio Mobile", picture 209, the
// version line and, in a hidden field, the build date.
#pragma once

#include "shell/ui/dialog_base.h"

namespace qelvio::shell {

class AboutBox : public DialogBase {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace qelvio::shell
