#include "browser/ui/main_frame.h"

#include "browser/timing.h"
#include "browser/ui/busy_window.h"
#include "browser/ui/file_operations_ui.h"
#include "browser/ui/folder_tree_pane.h"
#include "browser/ui/frame_client.h"
#include "browser/ui/image_list_pane.h"
#include "browser/ui/viewer_pane.h"
#include "platform/ui/message_box.h"
#include "qelvio/p_mcp.h"
#include "resources/command_table.h"
#include "sharing/ui/infrared_window.h"
#include "shell/command_line.h"
#include "shell/help.h"
#include "shell/known_folders.h"
#include "shell/single_instance.h"
#include "shell/ui/about_box.h"
#include "shell/ui/options_page.h"
#include "thumbnails/p_thumbcache.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QLayout>
#include <QCoreApplication>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>

namespace qelvio::browser {
namespace {

QString qt(const char16_t* text) { return QString::fromUtf16(text); }
QString qt(const p_string& text) { return QString::fromUtf16(static_cast<const char16_t*>(text)); }

void fill_menu(QMenu* menu, const std::vector<resources::MenuEntry>& items, std::multimap<int, QAction*>& actions,
               QObject* owner, const std::function<void(int)>& run) {
    for (const auto& entry : items) {
        if (entry.separator()) {
            menu->addSeparator();
        } else if (entry.submenu()) {
            QMenu* sub = menu->addMenu(qt(entry.text));
            fill_menu(sub, entry.items, actions, owner, run);
        } else {
            QAction* action = menu->addAction(qt(entry.text));
            action->setObjectName(QString("m%1").arg(entry.id));
            const int id = entry.id;
            QObject::connect(action, &QAction::triggered, owner, [run, id] { run(id); });
            actions.emplace(id, action);
        }
    }
}

}  // namespace

MainFrame::MainFrame(shell::Settings& settings, p_mcp& tree, thumbnails::p_thumbcache& cache, OpenRequests& requests)
    : settings_(settings), mcp_(tree), cache_(cache), requests_(requests), logic_(*this, settings) {
    setObjectName("p_browser");
    setWindowTitle(platform::string_text(57344));
    setWindowIcon(QIcon(":/bitmaps/qelvio.png"));
    may_close = [this] { return !viewer_ || !viewer_->isVisible() || viewer_->may_close(); };
    end_loop = [] { QCoreApplication::exit(0); };
    options_sheet = [this] {
        shell::OptionsSheet sheet(settings_, this);
        sheet.exec();
    };
}

MainFrame::~MainFrame() {
    target_.detach();
    // The folder shown last may have been renamed or moved since it was
    // opened: the setting names it as it is now.
    p_irl shown;
    if (list_ && list_->folder() && list_->folder()->getirl(shown) >= 0)
        settings_.lastdirectory = std::u16string(shown.view());
}

QWidget* MainFrame::client() const { return client_; }

void MainFrame::create(const std::optional<p_irl>& start) {
    build_command_bar();
    client_ = new FrameClient(logic_, this);
    setCentralWidget(client_);
    file_ops_ = make_file_operations_ui(this, *this, &cache_);
    tree_ = new FolderTreePane(*this, *file_ops_, mcp_, cache_, client_);
    list_ = new ImageListPane(*this, settings_, cache_, *file_ops_, client_);
    viewer_ = new ViewerPane(*this, client_);
    viewer_->set_thumbnail_cache(&cache_);
    viewer_->set_settings(&settings_);
    viewer_->hide();
    tree_->hide();
    list_->hide();
    create_infrared_window();
    build_shortcuts();
    target_.attach(this);
    // A size that suits a desktop screen; the client area follows it.
    // Never larger than the screen's free area (a handheld's is small).
    QSize size = initial_size;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size());
    resize(size);
    // Gives the client area its size before the splitter is checked.
    ensurePolished();
    if (layout()) layout()->activate();
    logic_.create(client_->width(), client_->height(), start.has_value());
    if (start) {
        open_locator(*start);
        if (logic_.mode() != FrameMode::viewer) {
            // The file could not be shown: stay in the browser, on its folder
            // or, when even that is missing, on the folder shown last.
            logic_.switch_to_browser();
            if (!folder_) open_last_directory();
        }
    } else {
        open_last_directory();
    }
    // Requests that came before the window could take them.
    take_open_requests();
    auto* idle = new QTimer(this);
    connect(idle, &QTimer::timeout, this, &MainFrame::update_button_states);
    idle->start(250);
}

void MainFrame::open_last_directory() {
    std::u16string last = settings_.lastdirectory;
    p_irl irl;
    if (last.find(u":\\\\") != std::u16string::npos)
        irl.set(last.c_str());
    else if (auto local = shell::file_irl(last))
        irl = *local;
    open_folder(irl, true);
}

void MainFrame::build_command_bar() {
    const auto& menus = resources::menu_128();
    for (const auto& top : menus) {
        auto* menu = new QMenu(qt(top.title), this);
        fill_menu(menu, top.items, menu_actions_, this, [this](int id) { run_command(id); });
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { update_menu_states(menu); });
        menus_.push_back(menu);
    }
    menus_changed();
    toolbar_ = addToolBar(QStringLiteral("command bar"));
    toolbar_->setObjectName("toolbar128");
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(16, 16));
    toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
    for (const auto& b : resources::toolbar_128()) {
        if (!b.id) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* action = toolbar_->addAction(QIcon(QString(":/bitmaps/tb_%1.png").arg(b.image)), qt(b.tooltip));
        action->setObjectName(QString("b%1").arg(b.id));
        action->setToolTip(qt(b.tooltip));
        const int id = b.id;
        connect(action, &QAction::triggered, this, [this, id] { run_command(id); });
        buttons_[b.id] = action;
    }
}

void MainFrame::build_shortcuts() {
    // A help request: the viewer's or the editor's topic in viewer mode,
    // the contents otherwise.
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this,
            [this] { shell::show_help(logic_.mode() == FrameMode::viewer ? viewer_->help_topic() : nullptr); });
    for (const auto& entry : resources::accelerators_128()) {
        auto* shortcut = new QShortcut(QKeySequence(QString::fromLatin1(entry.key), QKeySequence::PortableText), this);
        shortcut->setContext(Qt::WindowShortcut);
        const std::string key = entry.key;
        connect(shortcut, &QShortcut::activated, this, [this, key] {
            if (int id = logic_.command_for_key(key)) run_command(id);
        });
    }
}

void MainFrame::run_command(int id) {
    if (command_seen) command_seen(id);
    logic_.dispatch(id);
    update_button_states();
}

QAction* MainFrame::button(int id) const {
    auto it = buttons_.find(id);
    return it == buttons_.end() ? nullptr : it->second;
}

std::vector<QAction*> MainFrame::menu_actions(int id) const {
    std::vector<QAction*> out;
    auto range = menu_actions_.equal_range(id);
    for (auto it = range.first; it != range.second; ++it) out.push_back(it->second);
    return out;
}

void MainFrame::update_menu_states(QMenu* menu) {
    for (QAction* action : menu->actions()) {
        if (action->menu()) {
            update_menu_states(action->menu());
            continue;
        }
        bool ok = false;
        const int id = action->objectName().mid(1).toInt(&ok);
        if (!ok) continue;
        CommandState s = logic_.state(id);
        action->setEnabled(s.enabled);
        action->setCheckable(s.checked);
        action->setChecked(s.checked);
    }
}

void MainFrame::update_button_states() {
    for (auto& [id, action] : buttons_) {
        if (!action->isVisible()) continue;
        CommandState s = logic_.state(id);
        action->setEnabled(s.enabled);
        action->setCheckable(s.pressed);
        action->setChecked(s.pressed);
    }
}

// ---- FrameCalls ----

void MainFrame::open_folder(const p_irl& folder, bool select_in_tree) {
    p_filenode* node = nullptr;
    if (folder.isempty() || mcp_.openfile(folder, &node) < 0 || !node || !node->isdirectory()) {
        // The remembered folder is gone: the device's top folder.
        p_irl top;
        top.set(u"file", u"", u"\\");
        if (mcp_.openfile(top, &node) < 0 || !node) return;
    }
    folder_ = node;
    // The tree selects without asking the frame to open the folder again.
    if (select_in_tree) tree_->select_folder(node);
    list_->open(node);
    p_irl irl;
    if (node->getirl(irl) >= 0) settings_.lastdirectory = static_cast<const char16_t*>(irl);
    if (!folder_listed_once_) {
        folder_listed_once_ = true;
        timing_mark("folder listed", QString::number(list_->item_count()).toUtf8().constData());
    }
}

void MainFrame::open_locator(const p_irl& irl) {
    p_filenode* node = nullptr;
    if (mcp_.openfile(irl, &node) < 0 || !node) {
        platform::show_message(this, qt(resources::kTextCantDisplay), platform::MessageIcon::exclamation);
        return;
    }
    if (node->isdirectory()) {
        open_folder(irl, true);
        if (logic_.mode() == FrameMode::viewer) return_to_browser();
        return;
    }
    p_filenode* parent = node->getparent();
    QString name = qt(node->getname());
    p_irl folder;
    if (parent) parent->getirl(folder);
    open_folder(folder, true);
    int index = list_->index_of(name);
    if (index >= 0) {
        view_index(index);  // tells the user itself when it fails
        return;
    }
    // Not one of the folder's images (an unknown type): the folder stays.
    platform::show_message(this, qt(resources::kTextCantDisplay), platform::MessageIcon::exclamation);
}

bool MainFrame::view_index(int index) {
    p_irl locator = list_->locator(index);
    bool shown = false;
    if (!locator.isempty()) {
        BusyScope busy;
        shown = viewer_->show_image(cache_.getimage(locator));
    }
    if (!shown) {
        platform::show_message(this, qt(resources::kTextCantDisplay), platform::MessageIcon::exclamation);
        return false;
    }
    // The shown image becomes the list's current item; the selection stays.
    list_->set_current(index);
    shown_index_ = index;
    if (logic_.mode() != FrameMode::viewer) logic_.switch_to_viewer();
    timing_mark("image shown", list_->file_name(index).toUtf8().constData());
    return true;
}

p_irl MainFrame::image_locator(int index) const { return list_->locator(index); }

void MainFrame::return_to_browser() {
    logic_.switch_to_browser();
    shown_index_ = -1;
}

void MainFrame::start_slideshow(bool selected_only) {
    int start = 0;
    if (selected_only) {
        start = -1;
        for (int i = 0; i < image_count() && start < 0; ++i)
            if (image_selected(i)) start = i;
        if (start < 0) return;
    }
    if (logic_.mode() != FrameMode::viewer) {
        if (!view_index(start)) return;
    }
    viewer_->start_slideshow(start, selected_only);
}

int MainFrame::image_count() const { return list_->item_count(); }

bool MainFrame::image_selected(int index) const {
    return list_->is_selected(index);
}

void MainFrame::refresh() {
    list_->refresh();
    tree_->refresh();
}

void MainFrame::repaint_now() {
    for (QWidget* w : {static_cast<QWidget*>(tree_), static_cast<QWidget*>(list_), static_cast<QWidget*>(viewer_)})
        if (w->isVisible()) w->repaint();
    repaint();
}

// ---- FrameHost ----

CommandTarget* MainFrame::pane(PaneId id) {
    switch (id) {
    case kPaneImageList: return list_;
    case kPaneFolderTree: return tree_;
    case kPaneViewer: return viewer_;
    default: return nullptr;
    }
}

void MainFrame::stop_thumbnail_loading() { list_->stop_thumbnail_loading(); }
void MainFrame::start_background_save() { cache_.save(true, true); }
void MainFrame::stop_background_save() { cache_.stopsave(); }

void MainFrame::show_browser_panes(bool shown) {
    list_->setVisible(shown);
    tree_->setVisible(shown);
    client_->update();
}

void MainFrame::reset_viewer() { viewer_->reset(); }
void MainFrame::show_viewer(bool shown) {
    viewer_->setVisible(shown);
    if (shown) viewer_->raise();
}
void MainFrame::release_viewer() { viewer_->release(); }

void MainFrame::set_command_bar_visible(bool visible) {
    menuBar()->setVisible(visible);
    toolbar_->setVisible(visible);
    if (visible) {
        if (isFullScreen()) showNormal();
    } else {
        showFullScreen();
    }
}

void MainFrame::set_overlay_buttons(bool visible) { viewer_->set_overlay(visible); }

void MainFrame::menus_changed() {
    // All menus leave the bar and the shown ones come back in index order.
    QMenuBar* bar = menuBar();
    for (QMenu* menu : menus_) bar->removeAction(menu->menuAction());
    for (int index : logic_.shown_menus()) bar->addAction(menus_[static_cast<std::size_t>(index)]->menuAction());
    bar->update();
}

void MainFrame::button_changed(int id, bool visible) {
    if (QAction* action = button(id)) action->setVisible(visible);
    // A separator shows only when a visible button stands before it in its
    // group and another one somewhere after it.
    const QList<QAction*> actions = toolbar_->actions();
    for (int i = 0; i < actions.size(); ++i) {
        if (!actions[i]->isSeparator()) continue;
        bool before = false, after = false;
        for (int j = i - 1; j >= 0 && !actions[j]->isSeparator(); --j) before = before || actions[j]->isVisible();
        for (int j = i + 1; j < actions.size(); ++j)
            after = after || (!actions[j]->isSeparator() && actions[j]->isVisible());
        actions[i]->setVisible(before && after);
    }
}

void MainFrame::layout_changed() {
    if (client_) client_->place(tree_, list_, viewer_);
}

void MainFrame::repaint_selection() {
    if (!list_ || !tree_) return;
    list_->set_active_look(logic_.active_pane() == kPaneImageList);
    tree_->set_active_look(logic_.active_pane() == kPaneFolderTree);
}

void MainFrame::open_options() { options_sheet(); }

void MainFrame::open_about() {
    shell::AboutBox about(this);
    about.exec();
}

void MainFrame::exit_now() { end_loop(); }

void MainFrame::toggle_infrared_window() {
    infrared_->setVisible(!infrared_->isVisible());
    infrared_changed(false);
}

void MainFrame::create_infrared_window() {
    infrared_ = new sharing::InfraredWindow(this);
    infrared_->hide();
    infrared_->state_changed = [this](bool show_now) { infrared_changed(show_now); };
    infrared_->item_changed = [this](const p_irl&) { list_->update(); };
    infrared_->file_received = [this](const std::u16string& name) { take_received_file(name); };
    list_->being_sent = [this](p_filenode* file) {
        if (!infrared_->file_being_sent()) return false;
        p_irl irl;
        file->getirl(irl);
        return infrared_->is_being_sent(irl);
    };
    viewer_->is_being_sent = [this](const p_irl& locator) { return infrared_->is_being_sent(locator); };
}

void MainFrame::infrared_changed(bool show_now) {
    const bool active = infrared_->mode() != sharing::kIdle;
    if (!active) {
        infrared_->hide();
    } else if (show_now) {
        infrared_->show();
        infrared_->raise();
    }
    logic_.infrared_changed(active, infrared_->isVisible());
    timing_mark("infrared window", QString("mode %1, %2").arg(infrared_->mode())
                                       .arg(infrared_->isVisible() ? "shown" : "hidden").toUtf8().constData());
}

int MainFrame::infrared_mode() const { return infrared_->mode(); }

void MainFrame::send_via_infrared(const std::vector<p_filenode*>& files) { infrared_->send(files); }

void MainFrame::receive_via_infrared() { infrared_->receive(); }

void MainFrame::take_received_file(const std::u16string& name) {
    auto folder_path = shell::well_known_folder(shell::kDocumentsFolder);
    auto folder_irl = folder_path ? shell::file_irl(*folder_path) : std::nullopt;
    timing_mark("beamed image received", QString::fromStdU16String(name).toUtf8().constData());
    if (!folder_irl) return;
    // Only the arrived file changed: an image it replaced gets a new
    // thumbnail, the folder's other thumbnails stay.
    if (auto file = shell::file_irl(*folder_path + u"\\" + name)) cache_.forget(*file);
    p_filenode* folder = nullptr;
    if (mcp_.openfile(*folder_irl, &folder) < 0 || !folder || folder->gettrackmode() != P_TRACK_FILES) return;
    const p_string extensions = folder->gettrackextensions();  // settrack replaces the folder's own copy
    folder->settrack(P_TRACK_FILES, extensions, true);
    refresh();
}

bool MainFrame::event(QEvent* event) {
    if (event->type() == platform::NumberedMessageEvent::event_type()) {
        auto* message = static_cast<platform::NumberedMessageEvent*>(event);
        if (message->message() == static_cast<uint32_t>(shell::kOpenFileRequestMessage)) take_open_requests();
        return true;
    }
    return QMainWindow::event(event);
}

void MainFrame::take_open_requests() {
    for (const std::u16string& text : requests_.take()) {
        p_irl irl(text.c_str());
        timing_mark("open request", QString::fromStdU16String(text).toUtf8().constData());
        open_locator(irl);
    }
}

void MainFrame::closeEvent(QCloseEvent* event) {
    if (!may_close()) {
        event->ignore();
        return;
    }
    event->accept();
    QMainWindow::closeEvent(event);
}

}  // namespace qelvio::browser
