#include "browser/ui/image_list_pane.h"

#include "browser/ui/image_list_find.h"
#include "browser/ui/local_folder.h"
#include "browser/ui/properties_command.h"
#include "find/ui/find_commands_ui.h"

#include "viewer/ui/jpeg_transform_dialog.h"

#include "browser/list_commands.h"
#include "browser/timing.h"
#include "browser/ui/file_operations_ui.h"
#include "browser/ui/image_list_drawing.h"
#include "browser/ui/image_list_find.h"
#include "browser/ui/lateness_probe.h"
#include "browser/ui/local_folder.h"
#include "browser/ui/properties_command.h"
#include "browser/ui/report_view.h"
#include "decoding/plugin_manager.h"
#include "decoding/source/image_source.h"
#include "find/ui/find_commands_ui.h"
#include "platform/audio_player.h"
#include "platform/debug_output.h"
#include "platform/file_system.h"
#include "qelvio/p_filetree.h"
#include "resources/browser_texts.h"
#include "resources/command_ids.h"
#include "resources/string_table.h"
#include "thumbnails/p_thumbcache.h"
#include "viewer/ui/jpeg_transform_dialog.h"

#include <QApplication>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

namespace qelvio::browser {
namespace {

using namespace resources;

QString qt(const p_string& text) { return QString::fromUtf16(static_cast<const char16_t*>(text)); }
QString qt(const char16_t* text) { return QString::fromUtf16(text); }

constexpr int kStringSearching = 35091;

}  // namespace

ImageListPane::ImageListPane(FrameCalls& frame, shell::Settings& settings, thumbnails::p_thumbcache& cache,
                             FileOperationsUi& file_operations, QWidget* parent)
    : QWidget(parent), frame_(frame), settings_(settings), cache_(cache), file_operations_(file_operations) {
    setObjectName("image_list");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    target_.attach(this);
    bar_ = new QScrollBar(Qt::Vertical, this);
    bar_->hide();
    connect(bar_, &QScrollBar::valueChanged, this, [this](int) {
        compute_visible_range();
        if (model_.band_active()) model_.update_band(band_meets());
        update();
    });
    report_ = new ReportView(this);
    report_->hide();
    report_->viewport()->installEventFilter(this);
    report_->paint_row = [this](QPainter& p, int index, const QRect& row, bool focus) {
        paint_report_row(p, index, row, focus);
    };
    report_->paint_overlay = [this](QPainter& p) {
        if (model_.band_active()) paint_band(p, report_->content_y(0));
    };
    connect(report_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int) {
        compute_visible_range();
        if (model_.band_active()) model_.update_band(band_meets());
        start_loading();
    });
    connect(report_->header(), &QHeaderView::sectionClicked, this, [this](int column) {
        if (view_mode() != kViewDetails) return;
        SortChoice choice = header_tap(column, settings_.sortmode, descending_);
        sort_by(choice.key, choice.descending);
    });
    // Keyboard moves of the current row select that row alone.
    connect(report_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) {
                if (current_from_pointer_ || !current.isValid()) return;
                model_.select_all(false);
                model_.select(current.row(), true);
                report_->viewport()->update();
            });
    // Timer 11: the file tree's notifications.
    notification_timer_.setInterval(kNotificationIntervalMs);
    connect(&notification_timer_, &QTimer::timeout, this, [this] {
        // Files other programs wrote or removed are found by listing the
        // folder again, once per tick however many changes came.
        if (disk_changed_) {
            disk_changed_ = false;
            refresh();
        } else {
            take_notifications();
        }
    });
    // Changes made to the open folder by other programs.
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { disk_changed_ = true; });
    notification_timer_.start();
    // Timer 12: autoscroll while a rubber band is dragged.
    autoscroll_timer_.setInterval(kAutoscrollIntervalMs);
    connect(&autoscroll_timer_, &QTimer::timeout, this, &ImageListPane::autoscroll_step);
    last_autoscroll_.start();
    settings_.add_observer(this);
    tell = [this](const QString& text) { QMessageBox::information(this, QString(), text); };
    choose_transform = [this](decoding::p_ImageSource& first) {
        viewer::JpegTransformDialog dialog(first, this);
        return dialog.exec() == QDialog::Accepted ? dialog.code() : 0;
    };
    play_audio = [this](int index) { play_audio_of(index); };
    open_properties = [this](int index, bool annotation_page) {
        decoding::p_ImageSource* shown = image(index);
        if (!shown) return;
        stop_thumbnail_loading();  // the sheet reads and the save rewrites the same image object
        PropertiesCommand command(this, settings_, cache_);
        command.show_and_save(*shown, annotation_page ? metadata::kPageAnnotation : metadata::kPageGeneral);
        take_notifications();  // a new name sorts the item anew
        update();
        start_loading();
    };
    const int mode = settings_.viewmode;
    settings_.viewmode = -1;  // so that the stored mode is taken in full
    set_view_mode(mode >= 0 && mode <= 2 ? mode : kViewThumbnails);
}

ImageListPane::~ImageListPane() {
    settings_.remove_observer(this);
    target_.detach();
    if (audio_player_) audio_player_->stop();
    stop_thumbnail_loading();
    end_subscription();
}

// ---- folder ----

bool ImageListPane::is_image_file(p_filenode* file) const {
    if (!file || file->isdirectory()) return false;
    // A file the tree holds for another reason (opened by locator) may be a
    // child without a listed extension: only listed ones are images.
    const std::u16string_view name = file->getname().view();
    const std::size_t dot = name.rfind(u'.');
    if (dot == std::u16string_view::npos) return false;
    const QString extension = QString::fromUtf16(name.data() + dot + 1, static_cast<qsizetype>(name.size() - dot - 1));
    const QStringList listed = QString::fromStdU16String(extensions_).split(' ', Qt::SkipEmptyParts);
    for (const QString& pattern : listed) {
        QString p = pattern;
        if (p.startsWith(QStringLiteral("*."))) p = p.mid(2);
        if (p == QStringLiteral("*") || p.compare(extension, Qt::CaseInsensitive) == 0) return true;
    }
    return false;
}

void ImageListPane::end_subscription() {
    if (tree_ && listener_ >= 0) tree_->removelistener(listener_);
    tree_ = nullptr;
    listener_ = -1;
}

void ImageListPane::add_item(p_filenode* file) {
    p_irl irl;
    if (file->getirl(irl) < 0) return;
    model_.add(file, cache_.getimage(irl));
}

int ImageListPane::open(p_filenode* folder) {
    if (!folder || !folder->isdirectory()) return P_FAILED;
    if (folder == folder_) return P_OK;
    if (!folder_) timing_mark("folder opening");
    p_irl irl;
    if (folder->getirl(irl) >= 0) settings_.lastdirectory = std::u16string(irl.view());
    stop_thumbnail_loading();
    end_subscription();
    p_filenode* old = folder_;
    folder_ = folder;
    report_->set_rows(0);
    report_->setUpdatesEnabled(false);
    model_.clear();
    model_.reserve(folder->getchildren().size());
    failed_.clear();
    reading_ = true;
    report_->hide();
    repaint();  // "Loading..."
    if (old && !old->isreleased()) old->settrack(P_TRACK_FOLDERS, nullptr, false);
    extensions_.clear();
    decoding::PluginManager::instance().list_extensions(extensions_);
    const int32_t status = folder->settrack(P_TRACK_FILES, extensions_.c_str(), true);
    if (status < 0) platform::debug_trace(u"image list: folder listing failed %d", status);
    for (p_filenode* child : folder->getchildren())
        if (is_image_file(child)) add_item(child);
    sort_items();
    compute_visible_range();
    reading_ = false;
    report_->setUpdatesEnabled(true);
    if (!searching_ && !grid_mode() && model_.count() > 0) show_list_control();
    layout_grid_now();
    update();
    tree_ = folder->gettree();
    listener_ = tree_ ? tree_->addlistener() : -1;
    watch_on_disk(folder);
    if (timing_enabled() && !all_thumbnails_marked_ && !probe_) {
        probe_ = new LatenessProbe(this);
        probe_->start();
    }
    return P_OK;
}

void ImageListPane::watch_on_disk(p_filenode* folder) {
    if (!watcher_.directories().isEmpty()) watcher_.removePaths(watcher_.directories());
    disk_changed_ = false;
    if (QString local = local_folder(folder); !local.isEmpty()) watcher_.addPath(local);
}

void ImageListPane::show_list_control() {
    report_->setGeometry(rect());
    report_->set_mode(view_mode(), model_.count());
    report_->show();
    report_->viewport()->update();
    compute_visible_range();
}

void ImageListPane::refresh() {
    // Files that came by other ways than this program's own operations are
    // found by listing the folder again; the listing reports them as
    // notifications.
    if (folder_ && !folder_->isreleased()) folder_->settrack(P_TRACK_FILES, extensions_.c_str(), true);
    take_notifications();
}

void ImageListPane::take_notifications() {
    if (!tree_ || listener_ < 0) return;
    const int before = model_.count();
    const bool had_folder = folder_ != nullptr;
    bool resort = false;
    bool added = false;
    p_fileevent e;
    while (tree_->getevent(listener_, &e)) {
        switch (e.kind) {
        case P_EVENT_ADDCHILD:
            if (e.node == folder_ && is_image_file(e.other) && model_.index_of_file(e.other) < 0) {
                add_item(e.other);
                added = true;
            }
            break;
        case P_EVENT_REMOVECHILD:
            // The open folder itself, or a folder above it, was removed: its
            // nodes are destroyed once every queue is empty, so the pane lets
            // go of them now, before the next event is taken.
            if (folder_ && folder_removed()) {
                drop_folder();
                break;
            }
            if (e.node == folder_) {
                const int index = model_.index_of_file(e.other);
                if (index >= 0) {
                    if (in_flight_ && model_.items()[index].image == in_flight_) loading_ = -1;
                    model_.remove(index);
                }
            }
            break;
        case P_EVENT_CHILDRENAMED:
            if (e.node == folder_) resort = true;
            break;
        case P_EVENT_FLAGSCHANGED:
            if (model_.index_of_file(e.node) >= 0) resort = true;
            break;
        default: break;
        }
    }
    if (had_folder && !folder_) {
        end_subscription();
        return;
    }
    if (added || resort) {
        sort_items();
        compute_visible_range();
    }
    if (!grid_mode()) {
        if (model_.count() != before) report_->set_rows(model_.count());
        if (before == 0 && model_.count() > 0 && !searching_) show_list_control();
        if (model_.count() == 0) report_->hide();
        report_->viewport()->update();
    }
    if (model_.count() != before) layout_grid_now();
    if (added || resort || model_.count() != before) {
        compute_visible_range();
        update();
        start_loading();
    }
}

bool ImageListPane::folder_removed() const {
    for (const p_filenode* node = folder_; node; node = node->getparent())
        if (node->isreleased()) return true;
    return false;
}

void ImageListPane::drop_folder() {
    stop_thumbnail_loading();
    model_.clear();
    folder_ = nullptr;
    report_->set_rows(0);
    report_->hide();
    layout_grid_now();
    compute_visible_range();
    update();
}

void ImageListPane::sort_items() {
    model_.sort(settings_.sortmode, descending_, [key = settings_.sortmode](const ListItem& item) {
        SortFacts f;
        if (!item.file) return f;
        f.name = std::u16string(item.file->getname().view());
        switch (key) {
        case kSortType:
            if (item.image) f.format = std::u16string(item.image->format_name().view());
            break;
        case kSortSize: f.size = item.file->getfilesize(); break;
        case kSortDate: {
            uint64_t time = 0;
            if (item.file->getfiletime(&time) >= 0) f.seconds = platform::unix_seconds_of_file_time(time);
            break;
        }
        default: break;
        }
        return f;
    });
    loading_ = in_flight_ ? index_of_image(in_flight_) : -1;
    update();
    if (report_->isVisible()) report_->viewport()->update();
}

void ImageListPane::sort_by(int key, bool descending) {
    settings_.sortmode = key;
    descending_ = descending;
    sort_items();
}

// ---- layout and scrolling ----

void ImageListPane::set_view_mode(int mode) {
    if (mode == settings_.viewmode) return;
    settings_.viewmode = mode;
    if (mode == kViewThumbnails) {
        report_->hide();
        layout_grid_now();
    } else {
        bar_->hide();
        show_list_control();
        if (model_.count() == 0) report_->hide();
    }
    compute_visible_range();
    update();
    start_loading();
}

void ImageListPane::layout_grid_now() {
    const int cell_height = GridGeometry::cell_height_for(settings_.thumb_filenames);
    if (!grid_mode()) {
        bar_->hide();
        columns_ = GridGeometry::columns_for(width());
        return;
    }
    const int bar_width = bar_->sizeHint().width();
    GridLayoutResult r = layout_grid(width(), height(), bar_width, model_.count(), cell_height, bar_->isVisible());
    if (r.bar == GridLayoutResult::Bar::add) {
        // The bar takes its place; laying out again right away stands in for
        // the size change that follows it.
        bar_->setGeometry(width() - bar_width, 0, bar_width, height());
        bar_->show();
        r = layout_grid(width(), height(), bar_width, model_.count(), cell_height, true);
    }
    columns_ = r.columns;
    if (r.bar == GridLayoutResult::Bar::none) {
        bar_->hide();
        bar_->setValue(0);
    } else {
        bar_->setGeometry(width() - bar_width, 0, bar_width, height());
        bar_->setRange(0, std::max(0, r.range_max - r.page));
        bar_->setPageStep(r.page);
        bar_->setSingleStep(line_step(height()));
        bar_->setValue(0);
    }
    compute_visible_range();
    update();
}

int ImageListPane::scroll_position() const { return grid_mode() && bar_->isVisible() ? bar_->value() : 0; }

void ImageListPane::compute_visible_range() {
    if (grid_mode()) {
        visible_ = grid_visible_range(scroll_position(), height(), grid(), model_.count());
    } else {
        visible_ = rows_visible_range(report_->top_index(), report_->rows_per_page(), model_.count());
    }
}

void ImageListPane::scroll_grid_to(int position) {
    if (!bar_->isVisible()) return;
    bar_->setValue(std::clamp(position, 0, bar_->maximum()));  // valueChanged redraws
    start_loading();
}

void ImageListPane::resizeEvent(QResizeEvent*) {
    if (!grid_mode()) {
        report_->setGeometry(rect());
        compute_visible_range();
        return;
    }
    layout_grid_now();
}

void ImageListPane::wheelEvent(QWheelEvent* event) {
    if (!grid_mode() || !bar_->isVisible()) return;
    const int steps = event->angleDelta().y() / 120;
    scroll_grid_to(bar_->value() - steps * 3 * line_step(height()));
}

void ImageListPane::show_item(int index) {
    if (index < 0 || index >= model_.count()) return;
    if (!grid_mode()) {
        report_->scrollTo(report_->model()->index(index, 0));
        compute_visible_range();
        return;
    }
    scroll_grid_to(scroll_to_show(grid().cell(index), scroll_position(), height()));
    compute_visible_range();
}

void ImageListPane::set_current(int index) {
    if (grid_mode() || index < 0 || index >= model_.count()) return;
    current_from_pointer_ = true;
    report_->setCurrentIndex(report_->model()->index(index, 0));
    current_from_pointer_ = false;
}

// ---- items ----

int ImageListPane::index_of(const QString& name) {
    for (int i = 0; i < model_.count(); ++i)
        if (qt(model_.items()[i].file->getname()) == name) return i;
    if (!folder_) return -1;
    const std::u16string wanted = name.toStdU16String();
    p_filenode* child = folder_->getexactchild(wanted.c_str(), true);
    // Only a file with an image extension becomes an item (a text file
    // opened by its locator does not join the images).
    if (!is_image_file(child)) return -1;
    add_item(child);
    sort_items();
    layout_grid_now();
    if (!grid_mode()) report_->set_rows(model_.count());
    return model_.index_of_file(child);
}

p_filenode* ImageListPane::file(int index) const {
    return index >= 0 && index < model_.count() ? model_.items()[index].file : nullptr;
}

decoding::p_ImageSource* ImageListPane::image(int index) const {
    return index >= 0 && index < model_.count() ? model_.items()[index].image : nullptr;
}

p_irl ImageListPane::locator(int index) const {
    p_irl irl;
    if (p_filenode* f = file(index)) f->getirl(irl);
    return irl;
}

QString ImageListPane::file_name(int index) const {
    p_filenode* f = file(index);
    return f ? qt(f->getname()) : QString();
}

void ImageListPane::select(int index, bool selected) {
    model_.select(index, selected);
    repaint_items(index, index);
}

void ImageListPane::select_all(bool selected) {
    model_.select_all(selected);
    update();
    report_->viewport()->update();
}

void ImageListPane::repaint_items(int first, int last) {
    if (first < 0 || last < first) return;
    if (!grid_mode()) {
        report_->repaint_rows(first, last);
        return;
    }
    const GridGeometry g = grid();
    QRect area;
    for (int i = std::max(first, visible_.first); i <= std::min(last, visible_.last); ++i)
        area |= to_qrect(g.cell(i)).translated(0, -scroll_position());
    if (!area.isEmpty()) update(area);
}

void ImageListPane::repaint_selected() {
    update();
    report_->viewport()->update();
}

void ImageListPane::set_active_look(bool active) {
    if (active == active_) return;
    active_ = active;
    repaint_selected();
}

void ImageListPane::set_searching(bool searching) {
    searching_ = searching;
    if (searching) report_->hide();
    else if (!grid_mode() && model_.count() > 0) show_list_control();
    update();
}

void ImageListPane::settings_changed(int) {
    layout_grid_now();
    update();
    report_->viewport()->update();
}

// ---- thumbnails ----

int ImageListPane::index_of_image(const decoding::p_ImageSource* image) const {
    for (int i = std::max(visible_.first, 0); i <= visible_.last; ++i)
        if (model_.items()[i].image == image) return i;
    for (int i = 0; i < model_.count(); ++i)
        if (model_.items()[i].image == image) return i;
    return -1;
}

void ImageListPane::start_loading() {
    if (in_flight_ || model_.count() == 0 || !isVisible() || reading_) return;
    for (int i = std::max(visible_.first, 0); i <= visible_.last && i < model_.count(); ++i) {
        decoding::p_ImageSource* image = model_.items()[i].image;
        if (!image || image->undecodable() || failed_.count(image) || image->decode_running()) continue;
        if (!image->format_entry() || image->thumbnail_is_current()) continue;
        // The image comes to the head of the cache's list, so the thumbnails
        // being looked at keep their data and the rest are let go.
        cache_.getimage(image->locator());
        const int status = image->thumbnail(&target_);
        if (status == P_IMAGE_BUSY && image->decode_running()) {
            loading_ = i;
            in_flight_ = image;
            return;
        }
        if (status < 0) failed_.insert(image);
        repaint_items(i, i);
    }
    // Every visible thumbnail is there: the next paint draws the last of them.
    if (!all_thumbnails_marked_ && cells_drawn_ && visible_.last >= 0) thumbnails_complete_ = true;
}

void ImageListPane::thumbnail_done(decoding::p_ImageSource* image) {
    if (image != in_flight_) return;  // a decode stopped since (a cancelled decode posts nothing)
    image->finish_decode();
    in_flight_ = nullptr;
    loading_ = -1;
    if (!image->thumbnail_bitmap()) failed_.insert(image);
    const int index = index_of_image(image);
    repaint_items(index, index);
    start_loading();
}

void ImageListPane::stop_thumbnail_loading() {
    // Releasing tiles stops the image's worker (the decode is cancelled and
    // waited for), so the viewer finds the image idle. A thumbnail decode
    // holds no tiles; nothing else of the image is lost.
    if (in_flight_) in_flight_->release(decoding::kReleaseTiles);
    in_flight_ = nullptr;
    loading_ = -1;
}

bool ImageListPane::event(QEvent* event) {
    if (event->type() == platform::NumberedMessageEvent::event_type()) {
        auto* m = static_cast<platform::NumberedMessageEvent*>(event);
        if (m->message() == decoding::kMessageDecodeDone)
            thumbnail_done(reinterpret_cast<decoding::p_ImageSource*>(m->first()));
        return true;
    }
    return QWidget::event(event);
}

// ---- painting ----

ItemLook ImageListPane::look_of(const ListItem& item) const {
    ItemLook look;
    look.active = active_;
    look.sending = being_sent && item.file && being_sent(item.file);
    look.file_names = settings_.thumb_filenames;
    look.icons = settings_.thumb_annoticons;
    return look;
}

void ImageListPane::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QRect client = rect();
    if (bar_->isVisible()) client.setRight(bar_->x() - 1);
    if (model_.count() == 0 || searching_) {
        paint_message(painter, client,
                      searching_ ? qt(load_string(kStringSearching)) : qt(reading_ ? kTextLoading : kTextNoImages));
        return;
    }
    if (!grid_mode()) {
        painter.fillRect(client, Qt::white);
        return;
    }
    const GridGeometry g = grid();
    const int offset = scroll_position();
    const QRect area = event->rect() & client;
    // Margins and the area beyond the grid.
    painter.fillRect(area, Qt::white);
    const int first_row = std::max(0, (area.top() + offset - kGridOrigin) / g.cell_height);
    const int last_row = (area.bottom() + offset - kGridOrigin) / g.cell_height;
    const int first_column = std::max(0, (area.left() - kGridOrigin) / kCellWidth);
    const int last_column = std::min(g.columns - 1, (area.right() - kGridOrigin) / kCellWidth);
    for (int row = first_row; row <= last_row; ++row) {
        for (int column = first_column; column <= last_column; ++column) {
            const int index = row * g.columns + column;
            if (index >= model_.count()) continue;  // white already
            paint_cell(painter, g, index, offset, model_.items()[index], look_of(model_.items()[index]));
        }
    }
    if (model_.band_active()) paint_band(painter, offset);
    if (!cells_drawn_) {
        cells_drawn_ = true;
        timing_mark("first cells drawn");
    }
    mark_thumbnails_drawn();
    start_loading();
}

void ImageListPane::paint_report_row(QPainter& painter, int index, const QRect& row, bool focus) {
    if (index < 0 || index >= model_.count()) return;
    int w[4] = {120, 50, 60, 80};
    if (view_mode() == kViewDetails)
        for (int c = 0; c < 4; ++c) w[c] = report_->columnWidth(c);
    ItemLook look = look_of(model_.items()[index]);
    look.focus = focus;
    painter.setFont(report_->font());
    paint_row(painter, row, view_mode(), w, model_.items()[index], look);
    if (!cells_drawn_) {
        cells_drawn_ = true;
        timing_mark("first cells drawn");
    }
    mark_thumbnails_drawn();
    // Loading starts once the rows of this paint are drawn.
    if (!loading_scheduled_) {
        loading_scheduled_ = true;
        QTimer::singleShot(0, this, [this] {
            loading_scheduled_ = false;
            start_loading();
        });
    }
}

void ImageListPane::mark_thumbnails_drawn() {
    if (!thumbnails_complete_ || all_thumbnails_marked_) return;
    all_thumbnails_marked_ = true;
    int stored = 0;
    for (int i = std::max(visible_.first, 0); i <= visible_.last; ++i)
        if (model_.items()[i].image && model_.items()[i].image->thumbnail_from_store()) ++stored;
    timing_mark("visible thumbnails drawn",
                QString("%1, %2 of them stored ones").arg(visible_.last - visible_.first + 1).arg(stored).toUtf8().constData());
    if (probe_ && probe_->running()) probe_->report("the folder opened and its visible thumbnails loaded");
}

void ImageListPane::paint_band(QPainter& painter, int offset_y) {
    const ListRect& b = model_.band();
    QPen pen(Qt::black);
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(b.left, b.top - offset_y, b.width(), b.height()));
}

void ImageListPane::repaint_band() {
    if (grid_mode()) update();
    else report_->viewport()->update();
}

}  // namespace qelvio::browser
