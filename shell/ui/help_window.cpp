#include "shell/ui/help_window.h"

#include "platform/ui/message_box.h"

namespace qelvio::shell {

HelpWindow::HelpWindow(QWidget* parent) : QTextBrowser(parent) {
    setWindowFlag(Qt::Window);
    setObjectName("help_window");
    setWindowTitle(platform::string_text(57344));
    setOpenLinks(true);
    setSource(QUrl("qrc:/help/qelvio.html"));
    resize(480, 400);
    set_help_viewer(this);
}

HelpWindow::~HelpWindow() { set_help_viewer(nullptr); }

void HelpWindow::show_help_target(std::u16string_view target) {
    QString text = QString::fromUtf16(target.data(), static_cast<qsizetype>(target.size()));
    int hash = text.indexOf('#');
    topic_ = hash >= 0 ? text.mid(hash + 1) : QStringLiteral("Main_Contents");
    if (topic_.isEmpty()) topic_ = QStringLiteral("Main_Contents");
    setSource(QUrl("qrc:/help/qelvio.html#" + topic_));
    scrollToAnchor(topic_);
    show();
    raise();
}

}  // namespace qelvio::shell
