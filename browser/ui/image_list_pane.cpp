#include "browser/ui/image_list_pane.h"

#include "browser/timing.h"
#include "decoding/plugin_manager.h"
#include "qelvio/p_filetree.h"

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>

namespace qelvio::browser {
namespace {

constexpr int kCmdViewImage = 32907;
constexpr int kCmdSelectAll = 32832;
constexpr int kCmdUnselectAll = 32833;
constexpr int kCmdSlideShowAll = 32802;
constexpr int kCmdSlideShowSelected = 32803;

QString qt(const p_string& text) { return QString::fromUtf16(static_cast<const char16_t*>(text)); }

}  // namespace

ImageListPane::ImageListPane(FrameCalls& frame, QWidget* parent) : QListWidget(parent), frame_(frame) {
    setObjectName("image_list");
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { frame_.view_index(row(item)); });
}

void ImageListPane::open(p_filenode* folder) {
    folder_ = folder;
    refresh();
}

void ImageListPane::refresh() {
    clear();
    files_.clear();
    if (!folder_) return;
    std::u16string extensions;
    decoding::PluginManager::instance().list_extensions(extensions);
    // Listed afresh, so files that came since are taken in.
    folder_->settrack(P_TRACK_FILES, extensions.c_str(), true);
    // A file the tree holds for another reason (opened by locator) may be
    // a child without a listed extension: only the listed ones are images.
    const QStringList listed = QString::fromStdU16String(extensions).split(' ', Qt::SkipEmptyParts);
    for (p_filenode* child : folder_->getchildren()) {
        if (child->isdirectory()) continue;
        const QString name = qt(child->getname());
        const int dot = name.lastIndexOf('.');
        if (dot >= 0 && listed.contains(name.mid(dot + 1), Qt::CaseInsensitive)) files_.push_back(child);
    }
    std::sort(files_.begin(), files_.end(), [](p_filenode* a, p_filenode* b) {
        return qt(a->getname()).compare(qt(b->getname()), Qt::CaseInsensitive) < 0;
    });
    for (p_filenode* file : files_) addItem(qt(file->getname()));
    if (count()) setCurrentRow(0);
}

void ImageListPane::set_active_look(bool active) {
    QPalette p = palette();
    p.setColor(QPalette::Highlight, active ? QApplication::palette().color(QPalette::Highlight) : QColor(0xC0, 0xC0, 0xC0));
    p.setColor(QPalette::HighlightedText,
               active ? QApplication::palette().color(QPalette::HighlightedText) : QColor(Qt::black));
    setPalette(p);
}

int ImageListPane::index_of(const QString& name) const {
    for (std::size_t i = 0; i < files_.size(); ++i)
        if (qt(files_[i]->getname()) == name) return static_cast<int>(i);
    return -1;
}

p_irl ImageListPane::locator(int index) const {
    p_irl irl;
    if (index >= 0 && index < item_count()) files_[static_cast<std::size_t>(index)]->getirl(irl);
    return irl;
}

bool ImageListPane::handle_command(int id) {
    switch (id) {
    case kCmdViewImage:
        if (currentRow() >= 0) frame_.view_index(currentRow());
        return true;
    case kCmdSelectAll: selectAll(); return true;
    case kCmdUnselectAll: clearSelection(); return true;
    case kCmdSlideShowAll: frame_.start_slideshow(false); return true;
    case kCmdSlideShowSelected: frame_.start_slideshow(true); return true;
    default: return false;
    }
}

std::optional<CommandState> ImageListPane::command_state(int id) {
    CommandState s;
    switch (id) {
    case kCmdViewImage: s.enabled = currentRow() >= 0; return s;
    case kCmdSelectAll: s.enabled = count() > 0; return s;
    case kCmdUnselectAll: s.enabled = !selectedItems().isEmpty(); return s;
    case kCmdSlideShowAll: s.enabled = count() > 1; return s;
    case kCmdSlideShowSelected: s.enabled = selectedItems().size() > 1; return s;
    default: return std::nullopt;
    }
}

void ImageListPane::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (!cells_drawn_ && count() > 0) {
        cells_drawn_ = true;
        timing_mark("first cells drawn");
    }
}

void ImageListPane::mousePressEvent(QMouseEvent* event) {
    frame_.make_active(kPaneImageList);
    // In multi-select mode each tap adds to or removes from the selection.
    if (frame_.multi_select() && event->button() == Qt::LeftButton) {
        if (QListWidgetItem* item = itemAt(event->position().toPoint())) {
            item->setSelected(!item->isSelected());
            setCurrentItem(item, QItemSelectionModel::NoUpdate);
            return;
        }
    }
    QListWidget::mousePressEvent(event);
}

}  // namespace qelvio::browser
