#include "shell/ui/about_box.h"

#include "platform/ui/message_box.h"
#include "resources/dialog_texts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace qelvio::shell {

AboutBox::AboutBox(QWidget* parent) : DialogBase(parent) {
    setObjectName("dialog100");
    setWindowTitle(QString::fromUtf16(resources::kAboutCaption));
    auto* row = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setObjectName("picture209");
    picture->setPixmap(QPixmap(":/bitmaps/about_209.png"));
    row->addWidget(picture, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    auto* name = new QLabel(platform::string_text(57344), this);
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    texts->addWidget(name);
    auto* version = new QLabel(QString::fromUtf16(resources::kAboutVersion), this);
    version->setObjectName("version");
    texts->addWidget(version);
    auto* date = new QLineEdit(QString::fromUtf16(resources::kAboutBuildDate), this);
    date->setObjectName("build_date");
    date->setReadOnly(true);
    date->hide();
    texts->addWidget(date);
    texts->addStretch();
    row->addLayout(texts);
    row->addStretch();
    body()->addLayout(row);
}

}  // namespace qelvio::shell
