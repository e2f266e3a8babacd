// The help window: the program's help file (an HTML page with one anchor per
// topic) in a QTextBrowser, opened at the asked topic. Installed as the
// shell's help viewer while it exists. User-interface thread only.
#pragma once

#include "shell/help.h"

#include <QTextBrowser>

namespace qelvio::shell {

class HelpWindow : public QTextBrowser, public HelpViewer {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);
    ~HelpWindow() override;

    // Shows the window at the topic after '#' of the target.
    void show_help_target(std::u16string_view target) override;
    // The topic shown last.
    const QString& topic() const { return topic_; }

private:
    QString topic_;
};

}  // namespace qelvio::shell
