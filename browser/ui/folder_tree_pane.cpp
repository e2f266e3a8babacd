#include "browser/ui/folder_tree_pane.h"

#include "browser/ui/local_folder.h"

#include "browser/folder_tree_rules.h"
#include "browser/ui/file_operations_ui.h"
#include "platform/device_root.h"
#include "platform/text.h"
#include "platform/ui/message_box.h"
#include "platform/user_question.h"
#include "qelvio/p_cachehooks.h"
#include "qelvio/p_mcp.h"
#include "resources/browser_texts.h"
#include "resources/command_ids.h"
#include "resources/command_table.h"
#include "resources/string_table.h"

#include <QDragEnterEvent>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QUrl>

#include <algorithm>

namespace qelvio::browser {
namespace {

constexpr int kNodeRole = Qt::UserRole;
constexpr int kDrainIntervalMs = 100;
constexpr int kNewFolderText = 35092;

// Selection colours, the same as the image list's.
const QColor kActiveSelection(0, 0, 120);
const QColor kInactiveSelection(180, 180, 180);

QString qt(std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
QString qt(const p_string& text) { return qt(text.view()); }

int ask_with_message_box(QWidget* parent, const std::u16string& text, int buttons) {
    QMessageBox::StandardButtons shown = QMessageBox::Yes | QMessageBox::No;
    if (buttons != platform::kButtonsYesNo) shown |= QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, platform::string_text(57344), qt(text), shown, parent);
    switch (box.exec()) {
    case QMessageBox::Yes: return platform::kAnswerYes;
    case QMessageBox::No: return platform::kAnswerNo;
    default: return buttons == platform::kButtonsYesNo ? platform::kAnswerNo : platform::kAnswerCancel;
    }
}

// The label editor keeps Return, Enter and Escape for itself: the window's
// keys (Enter views an image, Esc returns to the browser) must not take
// them while a folder's name is typed.
class LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    bool eventFilter(QObject* editor, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
                event->accept();
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(editor, event);
    }
};

// The local folder behind a node of the device store.
}  // namespace

FolderTreePane::FolderTreePane(FrameCalls& frame, FileOperationsUi& operations, p_mcp& mcp, p_cachehooks& cache,
                               QWidget* parent)
    : QTreeWidget(parent), frame_(frame), operations_(operations), mcp_(mcp), cache_(cache),
      thumbnail_name_(thumbnail_folder_name()) {
    setObjectName("folder_tree");
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
    setItemDelegate(new LabelDelegate(this));
    setAcceptDrops(true);
    setDragEnabled(false);
    setDropIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    ask = [this](const std::u16string& text, int buttons) { return ask_with_message_box(this, text, buttons); };
    show_failure = [this](const QString& text) {
        platform::show_message(this, text, platform::MessageIcon::exclamation);
    };
    choose_drop_command = [this](const QPoint& global) { return drop_menu(this, global); };

    watcher_ = new QFileSystemWatcher(this);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this](const QString& local) {
        if (auto device = platform::to_device_path(local.toStdString())) changed_folders_.insert(*device);
    });
    connect(this, &QTreeWidget::itemExpanded, this, &FolderTreePane::expand_node_of);
    // The selection, not the current item: focus alone makes an item
    // current without selecting it, and opens nothing.
    connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = selectedItems();
        selection_changed(selected.isEmpty() ? nullptr : selected.first());
    });
    connect(this, &QTreeWidget::itemChanged, this, &FolderTreePane::label_changed);

    // The tree's source is the device store, named by the locator "file:\\".
    tree_ = mcp_.open(u"file:\\\\");
    if (tree_) slot_ = tree_->addlistener();
    build();

    drain_timer_.setObjectName("timer1");
    connect(&drain_timer_, &QTimer::timeout, this, &FolderTreePane::drain);
    drain_timer_.start(kDrainIntervalMs);
    expand_timer_.setObjectName("timer2");
    expand_timer_.setSingleShot(true);
    connect(&expand_timer_, &QTimer::timeout, this, &FolderTreePane::auto_expand);
    scroll_timer_.setObjectName("timer3");
    scroll_timer_.setSingleShot(true);
    connect(&scroll_timer_, &QTimer::timeout, this, &FolderTreePane::scroll_tick);
    clock_.start();
}

int FolderTreePane::drop_menu(QWidget* parent, const QPoint& global) {
    QMenu menu(parent);
    menu.setObjectName("menu141");
    for (const auto& entry : resources::menu_141_dragdrop()) {
        if (entry.separator()) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromUtf16(entry.text));
        action->setObjectName(QString("m%1").arg(entry.id));
        action->setData(entry.id);
    }
    QAction* chosen = menu.exec(global);
    return chosen ? chosen->data().toInt() : 0;
}

FolderTreePane::~FolderTreePane() {
    if (tree_) {
        tree_->removelistener(slot_);
        mcp_.close(tree_);
    }
}

// ---- the items ----

void FolderTreePane::build() {
    setUpdatesEnabled(false);
    updating_ = true;
    selecting_ = true;
    clear();
    items_.clear();
    auto_expanded_.clear();
    drop_item_ = nullptr;
    root_item_ = nullptr;
    if (tree_) {
        // What happened before the items were built is in them already.
        p_fileevent ignored;
        while (tree_->getevent(slot_, &ignored)) {
        }
        p_filenode* root = tree_->getroot();
        root_item_ = new QTreeWidgetItem(QStringList(qt(std::u16string_view(resources::kTextMyDevice))));
        root_item_->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(root)));
        root_item_->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        addTopLevelItem(root_item_);
        items_[root] = root_item_;
        for (p_filenode* child : root->getchildren())
            if (child->isdirectory()) insert_item(root_item_, child);
        update_placeholder(root_item_);
        watch(root);
        root_item_->setExpanded(true);
    }
    selecting_ = false;
    updating_ = false;
    setUpdatesEnabled(true);
}

QTreeWidgetItem* FolderTreePane::insert_item(QTreeWidgetItem* parent, p_filenode* folder) {
    if (!parent || !folder || folder->isreleased() || !folder->isdirectory()) return nullptr;
    if (hidden_from_tree(folder->getname().view(), thumbnail_name_)) return nullptr;
    if (QTreeWidgetItem* existing = item_of(folder)) return existing;
    bool was = updating_;
    updating_ = true;
    auto* item = new QTreeWidgetItem(QStringList(qt(folder->getname())));
    item->setData(0, kNodeRole, QVariant::fromValue(reinterpret_cast<quintptr>(folder)));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    // Folders are listed by name, as a desktop user expects; the medium's
    // own listing order (a hash order on most Linux file systems) means
    // nothing to them.
    int position = 0;
    while (position < parent->childCount() &&
           parent->child(position)->text(0).compare(item->text(0), Qt::CaseInsensitive) <= 0)
        ++position;
    parent->insertChild(position, item);
    items_[folder] = item;
    for (p_filenode* child : folder->getchildren())
        if (child->isdirectory()) insert_item(item, child);
    update_placeholder(item);
    update_placeholder(parent);
    if (folder->gettrackmode() >= P_TRACK_FOLDERS) watch(folder);
    updating_ = was;
    return item;
}

void FolderTreePane::remove_item(QTreeWidgetItem* item) {
    if (!item || item == root_item_) return;
    // Forget the item and everything below it before it goes.
    std::vector<QTreeWidgetItem*> pending{item};
    while (!pending.empty()) {
        QTreeWidgetItem* current = pending.back();
        pending.pop_back();
        if (const p_filenode* node = node_of(current)) {
            auto found = items_.find(node);
            if (found != items_.end() && found->second == current) items_.erase(found);
            if (QString local = local_folder(node); !local.isEmpty()) watcher_->removePath(local);
        }
        if (current == drop_item_) drop_item_ = nullptr;
        auto_expanded_.erase(std::remove(auto_expanded_.begin(), auto_expanded_.end(), current),
                             auto_expanded_.end());
        for (int i = 0; i < current->childCount(); ++i) pending.push_back(current->child(i));
    }
    QTreeWidgetItem* parent = item->parent();
    bool was = updating_;
    updating_ = true;
    delete item;
    if (parent) update_placeholder(parent);
    updating_ = was;
}

void FolderTreePane::update_placeholder(QTreeWidgetItem* item) {
    p_filenode* folder = node_of(item);
    if (!folder || folder->isreleased()) return;
    QTreeWidgetItem* placeholder = nullptr;
    bool has_items = false;
    for (int i = 0; i < item->childCount(); ++i) {
        if (is_placeholder(item->child(i)))
            placeholder = item->child(i);
        else
            has_items = true;
    }
    bool wanted = !has_items && folder->gettrackmode() < P_TRACK_FOLDERS &&
                  (folder->getflags() & P_FLAG_HASSUBFOLDERS);
    bool was = updating_;
    updating_ = true;
    if (wanted && !placeholder) {
        auto* empty = new QTreeWidgetItem(QStringList(QString()));
        empty->setFlags(Qt::NoItemFlags);
        item->insertChild(0, empty);
    } else if (!wanted && placeholder) {
        delete placeholder;
    }
    updating_ = was;
}

QTreeWidgetItem* FolderTreePane::item_of(const p_filenode* folder) const {
    auto found = items_.find(folder);
    return found == items_.end() ? nullptr : found->second;
}

p_filenode* FolderTreePane::node_of(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<p_filenode*>(item->data(0, kNodeRole).value<quintptr>()) : nullptr;
}

bool FolderTreePane::is_placeholder(const QTreeWidgetItem* item) { return item && !node_of(item); }

p_filenode* FolderTreePane::selected_folder() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? nullptr : node_of(selected.first());
}

void FolderTreePane::watch(p_filenode* folder) {
    QString local = local_folder(folder);
    if (!local.isEmpty() && !watcher_->directories().contains(local)) watcher_->addPath(local);
}

// ---- notifications ----

void FolderTreePane::refresh() {
    // Asked for explicitly (after a drop, a reception): the selected folder
    // is looked at again even when no change notice came.
    if (p_filenode* folder = selected_folder(); folder && !folder->isreleased())
        take_in_outside_folders(folder);
    drain();
}

void FolderTreePane::drain() {
    if (!tree_) return;
    // Folders other programs changed, as the file system's notices said.
    std::set<std::u16string> changed;
    changed.swap(changed_folders_);
    for (const std::u16string& path : changed) {
        p_filenode* folder = path == u"\\" ? tree_->getroot() : tree_->getroot()->getchild(path.c_str(), false);
        if (folder && item_of(folder)) take_in_outside_folders(folder);
    }
    take_in();
}

void FolderTreePane::take_in() {
    if (!tree_) return;
    p_fileevent e;
    while (tree_->getevent(slot_, &e)) handle_event(e.kind, e.node, e.other);
}

void FolderTreePane::handle_event(uint32_t kind, p_filenode* node, p_filenode* other) {
    switch (kind) {
    case P_EVENT_ADDCHILD:
        if (other && other->isdirectory() && !other->isreleased()) insert_item(item_of(node), other);
        break;
    case P_EVENT_REMOVECHILD:
        if (QTreeWidgetItem* item = item_of(other)) remove_item(item);
        break;
    case P_EVENT_CHILDRENAMED: {
        if (!other) break;
        p_string previous = other->takepreviousname();
        QTreeWidgetItem* item = item_of(other);
        if (item) {
            if (hidden_from_tree(other->getname().view(), thumbnail_name_)) {
                remove_item(item);
            } else {
                bool was = updating_;
                updating_ = true;
                item->setText(0, qt(other->getname()));
                updating_ = was;
                // Loaded folders at and below it are watched under their new
                // paths; the old ones go first, as the file system keeps one
                // watch per folder whatever its name.
                if (!previous.view().empty()) {
                    p_string above;
                    if (node && node->getpath(above) >= 0) {
                        std::u16string old_path(above.view());
                        if (old_path.empty() || old_path.back() != u'\\') old_path += u'\\';
                        old_path += previous.view();
                        QString old_local = QString::fromStdString(platform::to_local_path(old_path));
                        for (const QString& watched : watcher_->directories())
                            if (watched == old_local || watched.startsWith(old_local + '/')) watcher_->removePath(watched);
                    }
                }
                std::vector<QTreeWidgetItem*> pending{item};
                while (!pending.empty()) {
                    QTreeWidgetItem* current = pending.back();
                    pending.pop_back();
                    p_filenode* folder = node_of(current);
                    if (folder && folder->gettrackmode() >= P_TRACK_FOLDERS) watch(folder);
                    for (int i = 0; i < current->childCount(); ++i) pending.push_back(current->child(i));
                }
            }
        } else if (!other->isreleased()) {
            insert_item(item_of(node), other);
        }
        // Cached images under the folder follow it to its new name.
        p_irl renamed;
        if (!previous.view().empty() && other->getirl(renamed) >= 0) {
            std::u16string old(renamed.view());
            std::size_t slash = old.rfind(u'\\');
            if (slash != std::u16string::npos) {
                old.resize(slash + 1);
                old += previous.view();
                cache_.repath(p_irl(old.c_str()), renamed);
            }
        }
        break;
    }
    case P_EVENT_FLAGSCHANGED:
        if (QTreeWidgetItem* item = item_of(node)) update_placeholder(item);
        break;
    default:  // a move arrives as removal and addition as well
        break;
    }
}

// ---- expansion and selection ----

void FolderTreePane::expand_node_of(QTreeWidgetItem* item) {
    p_filenode* folder = node_of(item);
    if (!folder || folder->isreleased()) return;
    if (folder->gettrackmode() < P_TRACK_FOLDERS) {
        expand_folder(folder);
        take_in();
    }
    watch(folder);
    update_placeholder(item);
}

bool FolderTreePane::select_path(const p_string& path) {
    if (!tree_) return false;
    // Nothing on the way (a folder that vanished and took the selection
    // with it) opens a folder: the frame opens the one it asked for.
    selecting_ = true;
    bool selected = walk_and_select(path);
    selecting_ = false;
    return selected;
}

bool FolderTreePane::walk_and_select(const p_string& path) {
    std::vector<p_filenode*> walked =
        walk_path(tree_->getroot(), path.view(), thumbnail_name_, [this] { take_in(); });
    // The walk stops at the first part it cannot find.
    std::size_t parts = 0;
    for (std::u16string_view rest = path.view(); !rest.empty();) {
        std::size_t end = rest.find(u'\\');
        if (end != 0) ++parts;
        rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
    }
    if (walked.size() != parts + 1) return false;
    QTreeWidgetItem* item = nullptr;
    for (std::size_t i = 0; i < walked.size(); ++i) {
        item = item_of(walked[i]);
        if (!item) return false;
        if (i + 1 < walked.size()) item->setExpanded(true);
    }
    setCurrentItem(item);
    scrollToItem(item);
    return true;
}

bool FolderTreePane::select_folder(p_filenode* folder) {
    p_string path;
    if (!folder || !tree_ || folder->gettree() != tree_ || folder->getpath(path) < 0) return false;
    return select_path(path);
}

void FolderTreePane::selection_changed(QTreeWidgetItem* current) {
    viewport()->repaint();
    p_filenode* folder = node_of(current);
    if (selecting_ || !folder || folder->isreleased()) return;
    p_irl irl;
    if (folder->getirl(irl) < 0) return;
    frame_.open_folder(irl, false);
}

void FolderTreePane::set_active_look(bool active) {
    QPalette p = palette();
    p.setColor(QPalette::Highlight, active ? kActiveSelection : kInactiveSelection);
    p.setColor(QPalette::HighlightedText, active ? QColor(Qt::white) : QColor(Qt::black));
    setPalette(p);
    if (QTreeWidgetItem* item = currentItem()) update(indexFromItem(item));
    viewport()->update();
}

// ---- pointer and label editing ----

void FolderTreePane::mousePressEvent(QMouseEvent* event) {
    frame_.make_active(kPaneFolderTree);
    QTreeWidgetItem* item = itemAt(event->position().toPoint());
    if (item && !item->isSelected()) suppress_edit_ = true;
    QTreeWidget::mousePressEvent(event);
}

void FolderTreePane::mouseMoveEvent(QMouseEvent* event) {
    frame_.make_active(kPaneFolderTree);
    QTreeWidget::mouseMoveEvent(event);
}

void FolderTreePane::mouseReleaseEvent(QMouseEvent* event) {
    frame_.make_active(kPaneFolderTree);
    QTreeWidget::mouseReleaseEvent(event);
    // The press's own edit has been refused by now (or never came).
    suppress_edit_ = false;
}

bool FolderTreePane::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // The tap that selected an item does not also start editing its label;
    // commands (AllEditTriggers) always may.
    if (suppress_edit_ && trigger != NoEditTriggers && trigger != AllEditTriggers) {
        suppress_edit_ = false;
        return false;
    }
    return QTreeWidget::edit(index, trigger, event);
}

void FolderTreePane::label_changed(QTreeWidgetItem* item) {
    if (updating_) return;
    p_filenode* folder = node_of(item);
    if (!folder || folder->isreleased() || item == root_item_) return;
    std::u16string text = item->text(0).toStdU16String();
    if (text == folder->getname().view()) return;
    int32_t result = folder->rename(text.c_str());
    take_in();
    if (result < 0) {
        // The old name stays; no message.
        updating_ = true;
        item->setText(0, qt(folder->getname()));
        updating_ = false;
    }
}

// ---- commands ----

bool FolderTreePane::handle_command(int id) {
    switch (id) {
    case resources::kCmdNewFolder:
    case resources::kCmdNewFolderAlias: new_folder(); return true;
    case resources::kCmdRenameFolder:
        if (QTreeWidgetItem* item = item_of(selected_folder()); item && item != root_item_) {
            suppress_edit_ = false;
            scrollToItem(item);
            editItem(item, 0);
        }
        return true;
    case resources::kCmdDeleteFolder: delete_folder(); return true;
    default: return false;
    }
}

std::optional<CommandState> FolderTreePane::command_state(int id) {
    switch (id) {
    case resources::kCmdNewFolder:
    case resources::kCmdNewFolderAlias:
    case resources::kCmdRenameFolder:
    case resources::kCmdDeleteFolder: return CommandState{};
    default: return std::nullopt;
    }
}

void FolderTreePane::new_folder() {
    p_filenode* parent = selected_folder();
    if (!parent || parent->isreleased()) return;
    p_filenode* created = nullptr;
    const char16_t* base = resources::load_string(kNewFolderText);
    int32_t result = create_new_folder(parent, base ? base : u"New Folder", &created);
    if (result < 0 || !created) {
        show_failure(qt(std::u16string_view(resources::kTextFolderCantBeCreated)));
        take_in();
        return;
    }
    take_in();
    QTreeWidgetItem* item = item_of(created);
    if (!item) return;
    if (QTreeWidgetItem* above = item->parent()) above->setExpanded(true);
    scrollToItem(item);
    suppress_edit_ = false;
    editItem(item, 0);
}

void FolderTreePane::delete_folder() {
    p_filenode* folder = selected_folder();
    if (!folder || folder->isreleased()) return;
    std::u16string question =
        text::sprintf(2048, resources::kTextDeleteFolderQuestion, folder->getname().view());
    if (ask(question, platform::kButtonsYesNo) != platform::kAnswerYes) return;
    int32_t result = delete_folder_tree(folder, [this](const std::u16string& text, int buttons) {
        return ask(text, buttons);
    });
    if (result < 0) show_failure(qt(std::u16string_view(resources::kTextFolderCantBeDeleted)));
    QTreeWidgetItem* above = item_of(folder->getparent());
    take_in();
    // The image list showed the folder that is gone: its parent takes its
    // place, selected and opened.
    if (result >= 0 && above) setCurrentItem(above);
}

// ---- dropping ----

void FolderTreePane::set_drop_highlight(QTreeWidgetItem* item) {
    if (item == drop_item_) return;
    if (drop_item_) {
        drop_item_->setData(0, Qt::BackgroundRole, QVariant());
        drop_item_->setData(0, Qt::ForegroundRole, QVariant());
    }
    drop_item_ = node_of(item) ? item : nullptr;
    if (drop_item_) {
        drop_item_->setBackground(0, kActiveSelection);
        drop_item_->setForeground(0, QColor(Qt::white));
    }
}

void FolderTreePane::hover_at(const QPoint& point) {
    hover_point_ = point;
    QTreeWidgetItem* item = itemAt(point);
    bool was = updating_;
    updating_ = true;
    set_drop_highlight(item);
    updating_ = was;
    DragOverActions actions =
        hover_.drag_over(point.x(), point.y(), viewport()->height(), drop_item_ != nullptr, clock_.elapsed());
    if (actions.cancel_expand) expand_timer_.stop();
    if (actions.arm_expand) expand_timer_.start(kAutoExpandDelayMs);
    if (actions.scroll_now) scroll_one();
    if (actions.arm_scroll) scroll_timer_.start(kAutoScrollTimerMs);
}

void FolderTreePane::auto_expand() {
    if (!hover_.expand_due() || !drop_item_ || drop_item_->isExpanded()) return;
    drop_item_->setExpanded(true);
    auto_expanded_.push_back(drop_item_);
    viewport()->repaint();
}

void FolderTreePane::scroll_tick() {
    if (!hover_.scroll_due(clock_.elapsed())) return;
    scroll_one();
    scroll_timer_.start(kAutoScrollTimerMs);
}

void FolderTreePane::scroll_one() {
    // The item before or after the first visible one becomes the first.
    QTreeWidgetItem* first = itemAt(QPoint(1, 1));
    QTreeWidgetItem* next = nullptr;
    if (first) next = hover_.direction() < 0 ? itemAbove(first) : itemBelow(first);
    if (next) scrollToItem(next, QAbstractItemView::PositionAtTop);
    bool was = updating_;
    updating_ = true;
    set_drop_highlight(itemAt(hover_point_));
    updating_ = was;
}

void FolderTreePane::end_drag() {
    expand_timer_.stop();
    scroll_timer_.stop();
    hover_.stop();
    bool was = updating_;
    updating_ = true;
    // Most recent first, so that a folder opened inside another closes first.
    while (!auto_expanded_.empty()) {
        QTreeWidgetItem* item = auto_expanded_.back();
        auto_expanded_.pop_back();
        item->setExpanded(false);
    }
    set_drop_highlight(nullptr);
    updating_ = was;
}

void FolderTreePane::drop_at(const QPoint& point, const QPoint& global, const std::vector<p_filenode*>& files) {
    expand_timer_.stop();
    scroll_timer_.stop();
    hover_.stop();
    QTreeWidgetItem* item = itemAt(point);
    p_filenode* folder = node_of(item);
    if (folder && !folder->isreleased() && !files.empty()) {
        bool was = updating_;
        updating_ = true;
        set_drop_highlight(item);
        updating_ = was;
        int command = choose_drop_command(global);
        if (command == resources::kCmdDropMove || command == resources::kCmdDropCopy) {
            operations_.copy_or_move_into(folder, files, command == resources::kCmdDropMove);
            frame_.refresh_panes();
        }
    }
    end_drag();
}

void FolderTreePane::drag_over(const DragState& drag) { hover_at(viewport()->mapFromGlobal(drag.global_position)); }

void FolderTreePane::drop(const DragState& drag) {
    drop_at(viewport()->mapFromGlobal(drag.global_position), drag.global_position, drag.files);
}

void FolderTreePane::drag_left() { end_drag(); }

// Files dropped from another program: local files only, as nodes of the
// device store, copied or moved like files dragged inside the program.
namespace {

bool has_local_files(const QMimeData* data) {
    if (!data || !data->hasUrls()) return false;
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

}  // namespace

void FolderTreePane::dragEnterEvent(QDragEnterEvent* event) {
    if (!has_local_files(event->mimeData())) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    hover_at(event->position().toPoint());
}

void FolderTreePane::dragMoveEvent(QDragMoveEvent* event) {
    if (!has_local_files(event->mimeData())) {
        event->ignore();
        return;
    }
    hover_at(event->position().toPoint());
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void FolderTreePane::dragLeaveEvent(QDragLeaveEvent* event) {
    end_drag();
    event->accept();
}

void FolderTreePane::dropEvent(QDropEvent* event) {
    std::vector<p_filenode*> files;
    if (event->mimeData() && event->mimeData()->hasUrls()) {
        for (const QUrl& url : event->mimeData()->urls()) {
            if (!url.isLocalFile()) continue;
            auto device = platform::to_device_path(url.toLocalFile().toStdString());
            if (!device) continue;  // outside the device
            p_irl irl;
            irl.set(u"file", u"", device->c_str());
            p_filenode* node = nullptr;
            if (mcp_.openfile(irl, &node) < 0 || !node || node->isdirectory()) continue;
            if (std::find(files.begin(), files.end(), node) == files.end()) files.push_back(node);
        }
    }
    QPoint point = event->position().toPoint();
    // The program copies or moves the files itself: the other program must
    // never delete its originals afterwards.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (files.empty()) {
        end_drag();
        return;
    }
    drop_at(point, viewport()->mapToGlobal(point), files);
}

}  // namespace qelvio::browser
