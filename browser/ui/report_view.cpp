#include "browser/ui/report_view.h"

#include "browser/list_geometry.h"
#include "resources/string_table.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace qelvio::browser {
namespace {

// Column texts: Name, Type, Size, Date.
constexpr int kColumnStrings[4] = {35058, 35061, 35060, 35059};
constexpr int kColumnWidths[4] = {120, 50, 60, 80};

// Gives every row the mode's height.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    RowHeightDelegate(const ReportView& view) : QStyledItemDelegate(const_cast<ReportView*>(&view)), view_(view) {}
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {1, view_.row_height()}; }

private:
    const ReportView& view_;
};

}  // namespace

void ReportModel::reset(int rows, int columns) {
    beginResetModel();
    rows_ = rows;
    columns_ = columns;
    endResetModel();
}

QVariant ReportModel::data(const QModelIndex&, int) const { return {}; }

QVariant ReportModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3) return {};
    return QString::fromUtf16(resources::load_string(kColumnStrings[section]));
}

ReportView::ReportView(QWidget* parent) : QTreeView(parent) {
    setModel(&model_);
    setItemDelegate(new RowHeightDelegate(*this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::NoSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    QPalette p = palette();
    p.setColor(QPalette::Base, Qt::white);
    setPalette(p);
    viewport()->setAutoFillBackground(true);
}

void ReportView::set_mode(int mode, int rows) {
    mode_ = mode;
    row_height_ = mode == kViewThumbsDetails ? kRowHeightThumbsDetails : kRowHeightDetails;
    model_.reset(rows, mode == kViewThumbsDetails ? 1 : 4);
    setHeaderHidden(mode == kViewThumbsDetails);
    if (mode == kViewThumbsDetails) {
        setColumnWidth(0, std::max(1, viewport()->width() - 1));
    } else {
        for (int c = 0; c < 4; ++c) setColumnWidth(c, kColumnWidths[c]);
    }
    scrollToTop();
}

void ReportView::set_rows(int rows) {
    const int top = top_index();
    model_.reset(rows, model_.columnCount());
    if (top > 0) scroll_to_row(top);
}

int ReportView::top_index() const {
    const QModelIndex top = indexAt(QPoint(1, 1));
    return top.isValid() ? top.row() : 0;
}

int ReportView::rows_per_page() const { return std::max(1, viewport()->height() / row_height_); }

int ReportView::content_y_of_top() const {
    const int top = top_index();
    const QRect r = visualRect(model_.index(top, 0));
    return top * row_height_ - (r.isValid() ? r.top() : 0);
}

int ReportView::content_y(int viewport_y) const { return viewport_y + content_y_of_top(); }

bool ReportView::scroll_rows(int rows) {
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before + rows);
    return bar->value() != before;
}

void ReportView::scroll_to_row(int row) {
    if (row >= 0 && row < model_.rowCount()) scrollTo(model_.index(row, 0), QAbstractItemView::PositionAtTop);
}

void ReportView::repaint_rows(int first, int last) {
    for (int row = std::max(first, 0); row <= last && row < model_.rowCount(); ++row) {
        QRect r = visualRect(model_.index(row, 0));
        if (!r.isValid()) continue;
        r.setLeft(0);
        r.setRight(viewport()->width());
        viewport()->update(r);
    }
}

void ReportView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    if (!paint_row) return;
    QRect row = option.rect;
    if (mode_ == kViewDetails) row.setWidth(std::max(row.width(), header()->length()));
    const bool focus = hasFocus() && currentIndex().isValid() && currentIndex().row() == index.row();
    paint_row(*painter, index.row(), row, focus);
}

void ReportView::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);  // the white base below the last row comes with it
    if (paint_overlay) {
        QPainter painter(viewport());
        paint_overlay(painter);
    }
}

void ReportView::resizeEvent(QResizeEvent* event) {
    QTreeView::resizeEvent(event);
    if (mode_ == kViewThumbsDetails) setColumnWidth(0, std::max(1, viewport()->width() - 1));
}

}  // namespace qelvio::browser
