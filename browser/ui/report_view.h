// The list control of the details (0) and thumbs-and-details (2) modes: a
// report-style view with fixed-height rows whose whole row the image list
// paints, columns Name, Type, Size, Date with headers in mode 0, one
// headerless column in mode 2. It keeps no selection of its own: pointer
// events on its rows go to the image list (through an event filter there),
// and the keyboard moves its current row, which the list turns into the
// selection.
//
// User-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QTreeView>

#include <functional>

namespace qelvio::browser {

// Rows without data: the view asks only for their number and the headers.
class ReportModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void reset(int rows, int columns);
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : columns_; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    int rows_ = 0;
    int columns_ = 4;
};

class ReportView : public QTreeView {
    Q_OBJECT
public:
    explicit ReportView(QWidget* parent);
    // Columns, headers and row height of mode 0 or 2, with rows rows.
    void set_mode(int mode, int rows);
    void set_rows(int rows);
    int mode() const { return mode_; }
    int row_height() const { return row_height_; }
    // The first row at least partly shown, and the rows a page holds.
    int top_index() const;
    int rows_per_page() const;
    // Content y (rows from the top) of a viewport y, and back.
    int content_y(int viewport_y) const;
    int viewport_y(int content_y) const { return content_y - content_y_of_top(); }
    // Scrolls by rows (negative upwards); false when it could not move.
    bool scroll_rows(int rows);
    void scroll_to_row(int row);

    // Paints a row: index, rectangle in viewport coordinates, has focus.
    std::function<void(QPainter&, int, const QRect&, bool)> paint_row;
    // Paints over the rows (the rubber band).
    std::function<void(QPainter&)> paint_overlay;
    // Repaints rows from first to last.
    void repaint_rows(int first, int last);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int content_y_of_top() const;

    ReportModel model_;
    int mode_ = 0;
    int row_height_ = 16;
};

}  // namespace qelvio::browser
