#include "browser/ui/folder_tree_pane.h"

#include "qelvio/p_filetree.h"

#include <QApplication>
#include <QMouseEvent>

namespace qelvio::browser {
namespace {

QString qt(const p_string& text) { return QString::fromUtf16(static_cast<const char16_t*>(text)); }

}  // namespace

FolderTreePane::FolderTreePane(FrameCalls& frame, QWidget* parent) : QListWidget(parent), frame_(frame) {
    setObjectName("folder_tree");
    connect(this, &QListWidget::itemActivated, this, &FolderTreePane::activate);
}

void FolderTreePane::open(p_filenode* folder) {
    folder_ = folder;
    refresh();
}

void FolderTreePane::refresh() {
    clear();
    if (!folder_) return;
    // The image list tracks the same folder with its files; the folders
    // come with them.
    if (folder_->getparent()) addItem(QStringLiteral(".."));
    for (p_filenode* child : folder_->getchildren())
        if (child->isdirectory()) addItem(qt(child->getname()));
    if (count()) setCurrentRow(0);
}

void FolderTreePane::set_active_look(bool active) {
    QPalette p = palette();
    p.setColor(QPalette::Highlight, active ? QApplication::palette().color(QPalette::Highlight) : QColor(0xC0, 0xC0, 0xC0));
    p.setColor(QPalette::HighlightedText,
               active ? QApplication::palette().color(QPalette::HighlightedText) : QColor(Qt::black));
    setPalette(p);
}

void FolderTreePane::mousePressEvent(QMouseEvent* event) {
    frame_.make_active(kPaneFolderTree);
    QListWidget::mousePressEvent(event);
}

void FolderTreePane::activate(QListWidgetItem* item) {
    if (!folder_ || !item) return;
    p_filenode* target = nullptr;
    if (item->text() == QStringLiteral("..")) {
        target = folder_->getparent();
    } else {
        for (p_filenode* child : folder_->getchildren())
            if (child->isdirectory() && qt(child->getname()) == item->text()) target = child;
    }
    if (!target) return;
    p_irl irl;
    if (target->getirl(irl) < 0) return;
    frame_.open_folder(irl, false);
}

}  // namespace qelvio::browser
