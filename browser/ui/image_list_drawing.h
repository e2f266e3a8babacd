// How the image list paints: the colours, the three fonts and two icons,
// the grid's cells, the rows of the details and thumbs-and-details modes,
// and the centred message of an empty pane. The geometry comes from
// browser/list_geometry.h; these functions only draw.
//
// User-interface thread only.
#pragma once

#include "browser/image_list_model.h"
#include "browser/list_geometry.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

class QPainter;

namespace qelvio::browser {

inline constexpr QColor kSelectedActive{0, 0, 120};
inline constexpr QColor kSelectedInactive{180, 180, 180};
inline constexpr QColor kSendingColour{255, 0, 0};

// The fonts and icons, made once for the program's run.
struct ListLook {
    QFont name_font;  // the grid's file names: "Tahoma" 7.5 points
    QFont row_font;   // mode 2: "Tahoma" 10 points
    QFont bold_font;  // mode 2: "Tahoma Bold" 10 points
    QPixmap audio_icon;        // icon 144
    QPixmap description_icon;  // icon 185
    static const ListLook& get();
};

// What a cell or row shows in its state.
struct ItemLook {
    bool active = true;      // the image list is the active pane
    bool sending = false;    // the infrared window sends this file
    bool file_names = true;  // thumb_filenames (grid)
    bool icons = true;       // thumb_annoticons (grid)
    bool focus = false;      // the row has the focus
};

// The background and text colours of an item.
QColor item_background(const ListItem& item, bool active);
QColor item_text_colour(const ListItem& item, const ItemLook& look);

QRect to_qrect(const ListRect& r);

// The white pane with one message centred in it.
void paint_message(QPainter& painter, const QRect& area, const QString& message);
// One grid cell; offset_y is the scroll position (content to widget).
void paint_cell(QPainter& painter, const GridGeometry& grid, int index, int offset_y, const ListItem& item,
                const ItemLook& look);
// One row of mode 0 or 2 in row (widget coordinates); widths are mode 0's
// column widths. Mode 0 draws with the painter's font (the list control's).
void paint_row(QPainter& painter, const QRect& row, int mode, const int (&widths)[4], const ListItem& item,
               const ItemLook& look);

// The item's texts as drawn.
QString item_shown_name(const ListItem& item);
QString item_format(const ListItem& item);
QString item_size(const ListItem& item);
QString item_date(const ListItem& item);

}  // namespace qelvio::browser
