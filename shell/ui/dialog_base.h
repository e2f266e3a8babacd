// The dialog every dialog of the program derives from: an OK button (the
// caption's OK of the handheld, here at the dialog's foot) and, when the
// dialog has a help topic, a Help button (and F1) that opens the help at
// that topic. Setting a topic on an open dialog adds the button at once.
#pragma once

#include <QDialog>

#include <string>

class QDialogButtonBox;
class QPushButton;
class QVBoxLayout;

namespace qelvio::shell {

class DialogBase : public QDialog {
    Q_OBJECT
public:
    explicit DialogBase(QWidget* parent = nullptr, const char16_t* help_topic = nullptr);

    // Sets or clears (null) the help topic.
    void set_help_topic(const char16_t* topic);
    const std::u16string& help_topic() const { return topic_; }
    // Removes the OK button (a dialog that closes otherwise).
    void remove_ok_button();
    // Opens the help at the dialog's topic ("Main_Contents" without one).
    void request_help();

    QDialogButtonBox* buttons() const { return buttons_; }
    // Where derived dialogs put their controls.
    QVBoxLayout* body() const { return body_; }

private:
    std::u16string topic_;
    QVBoxLayout* body_;
    QDialogButtonBox* buttons_;
    QPushButton* help_button_ = nullptr;
};

}  // namespace qelvio::shell
