// The "Resize" dialog (136): the new width and height, the two Fit buttons
// that write the screen's size, and "Maintain aspect ratio", which keeps
// the other edit at the opening size's aspect. OK accepts 16 to 4096 only.
#pragma once

#include "shell/ui/dialog_base.h"
#include "viewer/resize_fields.h"

class QCheckBox;
class QLineEdit;

namespace qelvio::viewer {

class ResizeDialog : public shell::DialogBase {
    Q_OBJECT
public:
    // screen: the size the Fit buttons write.
    ResizeDialog(int width, int height, QSize screen, QWidget* parent = nullptr);
    // The accepted size (valid after OK).
    int new_width() const { return width_; }
    int new_height() const { return height_; }

    void accept() override;

private:
    void show_fields();

    ResizeFields fields_;
    QSize screen_;
    QLineEdit* width_edit_;
    QLineEdit* height_edit_;
    QCheckBox* aspect_;
    int width_;
    int height_;
};

}  // namespace qelvio::viewer
