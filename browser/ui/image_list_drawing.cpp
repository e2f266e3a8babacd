#include "browser/ui/image_list_drawing.h"

#include "browser/list_texts.h"
#include "decoding/source/image_source.h"
#include "imaging/ui/painter_target.h"
#include "platform/file_system.h"
#include "qelvio/p_filetree.h"
#include "resources/browser_texts.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QLocale>
#include <QPainter>

namespace qelvio::browser {
namespace {

QString qt(const std::u16string_view text) {
    return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
QString qt(const char16_t* text) { return QString::fromUtf16(text); }

QFont tahoma(double points, bool bold) {
    // Tahoma is matched by the platform's sans serif font where it is missing.
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

// Shortens to the width with the font's measure.
QString shortened(const QString& text, int width, const QFontMetrics& metrics) {
    const std::u16string in = text.toStdU16String();
    return qt(shorten(in, width, [&](std::u16string_view t) { return metrics.horizontalAdvance(qt(t)); }));
}

// Draws the thumbnail the image holds into the rectangle. The bitmap is
// drawn as it is: asking the image for a current one could decode here, on
// the user-interface thread, when the file changed.
void draw_thumbnail(QPainter& painter, decoding::p_ImageSource* image, const QRect& r) {
    imaging::PainterDrawingTarget target(painter, 24);
    if (const imaging::Dib* dib = image->thumbnail_bitmap())
        imaging::DibDraw(*dib, target, {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()});
}

// The icon in a white box with a black border, 2 pixels in from its corner.
void draw_icon_box(QPainter& painter, const QRect& box, const QPixmap& icon) {
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.drawPixmap(box.left() + 2, box.top() + 2, icon);
}

bool thumbnail_ready(const ListItem& item) { return item.image && item.image->thumbnail_bitmap(); }

bool cannot_display(const ListItem& item) {
    return !item.image || item.image->undecodable() || !item.image->format_entry();
}

}  // namespace

const ListLook& ListLook::get() {
    static const ListLook look{tahoma(7.5, false), tahoma(10, false), tahoma(10, true),
                               QPixmap(QStringLiteral(":/bitmaps/icon_144.png")),
                               QPixmap(QStringLiteral(":/bitmaps/icon_185.png"))};
    return look;
}

QRect to_qrect(const ListRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

QColor item_background(const ListItem& item, bool active) {
    if (item.shown_selected()) return active ? kSelectedActive : kSelectedInactive;
    if (item.image)
        if (const decoding::FormatEntry* entry = item.image->format_entry()) {
            const uint32_t c = entry->colour;  // 0x00BBGGRR
            return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
        }
    return Qt::white;
}

QColor item_text_colour(const ListItem& item, const ItemLook& look) {
    if (look.sending) return kSendingColour;
    return item.shown_selected() && look.active ? Qt::white : Qt::black;
}

QString item_shown_name(const ListItem& item) {
    return item.file ? qt(shown_name(item.file->getname().view())) : QString();
}

QString item_format(const ListItem& item) {
    return item.image ? qt(std::u16string(item.image->format_name().view())) : QString();
}

QString item_size(const ListItem& item) {
    const int32_t size = item.file ? item.file->getfilesize() : -1;
    return size < 0 ? QString() : qt(size_text(size));
}

QString item_date(const ListItem& item) {
    uint64_t time = 0;
    if (!item.file || item.file->getfiletime(&time) < 0) return {};
    const QDateTime local = QDateTime::fromSecsSinceEpoch(platform::unix_seconds_of_file_time(time));
    return QLocale().toString(local, qt(resources::kTextDatePicture));
}

void paint_message(QPainter& painter, const QRect& area, const QString& message) {
    painter.fillRect(area, Qt::white);
    painter.setPen(Qt::black);
    painter.setFont(ListLook::get().name_font);
    painter.drawText(area, Qt::AlignCenter, message);
}

void paint_cell(QPainter& painter, const GridGeometry& grid, int index, int offset_y, const ListItem& item,
                const ItemLook& look) {
    const ListLook& res = ListLook::get();
    const QRect cell = to_qrect(grid.cell(index)).translated(0, -offset_y);
    painter.setPen(Qt::white);
    painter.drawRect(cell.adjusted(0, 0, -1, -1));
    painter.setPen(look.sending ? kSendingColour : QColor(Qt::black));
    painter.drawRect(cell.adjusted(1, 1, -2, -2));
    painter.fillRect(cell.adjusted(2, 2, -2, -2), item_background(item, look.active));

    const QRect box = to_qrect(grid.thumbnail_box(index, look.file_names)).translated(0, -offset_y);
    const QColor text = item_text_colour(item, look);
    painter.setPen(text);
    if (thumbnail_ready(item)) {
        const imaging::Dib& dib = *item.image->thumbnail_bitmap();
        QSize size(imaging::DibWidth(dib), imaging::DibHeight(dib));
        if (size.isEmpty()) size = QSize(64, 64);
        QRect r(QPoint(0, 0), size);
        r.moveCenter(box.center());
        // Centre exactly: QRect's centre rounds down on even sizes.
        r.moveLeft(box.left() + (box.width() - size.width()) / 2);
        r.moveTop(box.top() + (box.height() - size.height()) / 2);
        draw_thumbnail(painter, item.image, r);
    } else if (cannot_display(item)) {
        painter.setFont(res.name_font);
        painter.drawText(box, Qt::AlignCenter, qt(resources::kTextCantDisplayImage));
    } else {
        painter.setFont(res.name_font);
        painter.drawText(box, Qt::AlignCenter, qt(resources::kTextThumbnailToCome));
    }
    if (look.icons && item.image) {
        if (item.image->has_audio())
            draw_icon_box(painter, to_qrect(grid.audio_box(index)).translated(0, -offset_y), res.audio_icon);
        if (item.image->has_description())
            draw_icon_box(painter, to_qrect(grid.description_box(index)).translated(0, -offset_y),
                          res.description_icon);
    }
    if (look.file_names) {
        const QRect band = to_qrect(grid.name_band(index)).translated(0, -offset_y);
        painter.save();
        painter.setClipRect(band);
        painter.setPen(text);
        painter.setFont(res.name_font);
        painter.drawText(band, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, item_shown_name(item));
        painter.restore();
    }
}

void paint_row(QPainter& painter, const QRect& row, int mode, const int (&widths)[4], const ListItem& item,
               const ItemLook& look) {
    const ListLook& res = ListLook::get();
    painter.fillRect(row, item_background(item, look.active));
    const QColor text = item_text_colour(item, look);
    painter.setPen(text);
    if (mode == kViewThumbsDetails) {
        const QRect box(row.left() + 6, row.top() + 3, 48, row.height() - 6);
        if (thumbnail_ready(item)) {
            const imaging::Dib& dib = *item.image->thumbnail_bitmap();
            QSize size(imaging::DibWidth(dib), imaging::DibHeight(dib));
            size.scale(box.size(), Qt::KeepAspectRatio);
            QRect r(box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2,
                    size.width(), size.height());
            draw_thumbnail(painter, item.image, r);
        } else {
            painter.setFont(res.row_font);
            painter.drawText(box, Qt::AlignCenter,
                             qt(cannot_display(item) ? resources::kTextCantDisplayImage : resources::kTextThumbnailToCome));
        }
        const int left = row.left() + 58;
        const int right = row.right() + 1 - 2;
        QFontMetrics plain(res.row_font), bold(res.bold_font);
        auto line = [&](int n) { return QRect(left, row.top() + 16 * n, right - left, 16); };
        // Line 1: format right, name in bold before it.
        painter.setFont(res.row_font);
        const QString format = item_format(item);
        painter.drawText(line(0), Qt::AlignRight | Qt::AlignVCenter, format);
        const int format_width = format.isEmpty() ? 0 : plain.horizontalAdvance(format) + 4;
        painter.setFont(res.bold_font);
        painter.drawText(line(0), Qt::AlignLeft | Qt::AlignVCenter,
                         shortened(item_shown_name(item), line(0).width() - format_width, bold));
        // Line 2: size right, dimensions before it.
        painter.setFont(res.row_font);
        const QString size = item_size(item);
        painter.drawText(line(1), Qt::AlignRight | Qt::AlignVCenter, size);
        QString dimensions;
        if (item.image && item.image->format_entry()) {
            const imaging::DibSize s = item.image->size();
            dimensions = qt(dimensions_text(s.width, s.height, item.image->bits_per_pixel()));
        }
        painter.drawText(line(1), Qt::AlignLeft | Qt::AlignVCenter,
                         shortened(dimensions, line(1).width() - plain.horizontalAdvance(size) - 4, plain));
        // Line 3: the date.
        painter.drawText(line(2), Qt::AlignLeft | Qt::AlignVCenter, item_date(item));
        if (item.image) {
            const ListRect r{row.left(), row.top(), row.right() + 1, row.bottom() + 1};
            if (item.image->has_description())
                painter.drawPixmap(to_qrect(row_description_box(r)).topLeft(), res.description_icon);
            if (item.image->has_audio()) painter.drawPixmap(to_qrect(row_audio_box(r)).topLeft(), res.audio_icon);
        }
    } else {
        // The details rows use the list control's own font.
        const QFontMetrics metrics(painter.font());
        int x = row.left();
        const QString texts[4] = {item_shown_name(item), item_format(item), item_size(item), item_date(item)};
        for (int c = 0; c < 4; ++c) {
            const int w = widths[c];
            QRect cell(x, row.top(), w, row.height());
            switch (c) {
            case 0:
            case 1:
                painter.drawText(cell.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                 shortened(texts[c], w - 3, metrics));
                break;
            case 2:
                painter.drawText(cell.adjusted(0, 0, -7, 0), Qt::AlignRight | Qt::AlignVCenter,
                                 shortened(texts[c], w - 10, metrics));
                break;
            default: painter.drawText(cell, Qt::AlignRight | Qt::AlignVCenter, texts[c]); break;
            }
            x += w;
        }
    }
    if (look.focus) {
        QPen pen(text == Qt::white ? QColor(Qt::white) : QColor(Qt::black));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(row.adjusted(0, 0, -1, -1));
    }
}

}  // namespace qelvio::browser
