#include "imaging/ui/painter_target.h"

#include <QPainter>

namespace qelvio::imaging {
namespace {

QColor colour_of(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

QVector<QRgb> colour_table(const Dib& dib) {
    QVector<QRgb> table;
    const RgbQuad* quads = DibColourTable(dib);
    for (int i = 0; quads && i < DibColourTableSize(dib); ++i)
        table.push_back(qRgb(quads[i].red, quads[i].green, quads[i].blue));
    return table;
}

// Draws the Dib's source rectangle into the target rectangle. The image's
// rows are upside down, so the painter is flipped around the target.
bool draw_flipped(QPainter& painter, const Dib& dib, const QRect& target, const DibRect& source, RasterOp op) {
    QImage rows = dib_rows_image(dib);
    if (rows.isNull()) {
        DibPtr full = DibToTrueColor(dib);
        if (!full) return false;
        rows = dib_rows_image(*full).copy();  // the converted copy dies here
        if (rows.isNull()) return false;
    }
    if (op == RasterOp::NotSourceCopy) {
        rows = rows.convertToFormat(QImage::Format_RGB32);
        rows.invertPixels();
    }
    const int height = DibHeight(dib);
    // Source rows from the top of the picture are rows from the bottom here.
    QRect flipped_source(source.left, height - source.bottom, source.right - source.left, source.bottom - source.top);
    painter.save();
    painter.translate(target.left(), target.top() + target.height());
    painter.scale(1, -1);
    painter.drawImage(QRect(0, 0, target.width(), target.height()), rows, flipped_source);
    painter.restore();
    return true;
}

}  // namespace

QImage dib_rows_image(const Dib& dib) {
    if (!dib) return {};
    const int w = DibWidth(dib), h = DibHeight(dib), stride = DibStride(dib);
    const uchar* bits = dib.pixels;
    switch (DibBitCount(dib)) {
    case 24: return QImage(bits, w, h, stride, QImage::Format_BGR888);
    case 16: return QImage(bits, w, h, stride, QImage::Format_RGB555);
    case 8: {
        QImage image(bits, w, h, stride, QImage::Format_Indexed8);
        image.setColorTable(colour_table(dib));
        return image;
    }
    case 1: {
        QImage image(bits, w, h, stride, QImage::Format_Mono);
        image.setColorTable(colour_table(dib));
        return image;
    }
    default: return {};
    }
}

bool PainterDrawingTarget::copy(const Dib& dib, int x, int y, const DibRect& source, RasterOp op) {
    QRect target(x, y, source.right - source.left, source.bottom - source.top);
    return draw_flipped(painter_, dib, target, source, op);
}

bool PainterDrawingTarget::stretch(const Dib& dib, const DibRect& destination, const DibRect& source, RasterOp op) {
    QRect target(destination.left, destination.top, destination.right - destination.left,
                 destination.bottom - destination.top);
    return draw_flipped(painter_, dib, target, source, op);
}

void PainterDrawingTarget::fill(const DibRect& rect, std::uint32_t colour) {
    painter_.fillRect(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top), colour_of(colour));
}

void PainterDrawingTarget::frame(const DibRect& rect, std::uint32_t colour) {
    painter_.save();
    painter_.setPen(colour_of(colour));
    painter_.setBrush(Qt::NoBrush);
    painter_.drawRect(QRect(rect.left, rect.top, rect.right - rect.left - 1, rect.bottom - rect.top - 1));
    painter_.restore();
}

}  // namespace qelvio::imaging
