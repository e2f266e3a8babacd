// A preview pane of the editor's dialogs: a reduced copy of the image
// (made on first use, fitted inside the pane less 2 pixels on every side,
// or inside the largest centred square), and a shown copy that the dialog
// rebuilds from it. Paints the shown copy centred with a one-pixel black
// frame just outside it and white around.
#pragma once

#include "decoding/source/image_source.h"
#include "imaging/dib.h"
#include "imaging/levels.h"

#include <QWidget>

#include <functional>

namespace qelvio::viewer {

class DibPreview : public QWidget {
    Q_OBJECT
public:
    using Operation = std::function<imaging::DibPtr(const imaging::Dib&)>;
    DibPreview(decoding::p_ImageSource& image, bool square, QWidget* parent);

    // Rebuilds the shown copy with the operation and repaints at once. A
    // failed operation leaves the last shown copy.
    void show_with(const Operation& operation);
    // The reduced copy (made now when not yet made) and the shown one.
    const imaging::Dib* reduced();
    const imaging::Dib* shown() const { return shown_.get(); }
    // Where the shown copy is drawn.
    QRect picture_rect() const;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QRect area() const;

    decoding::p_ImageSource& image_;
    bool square_;
    bool made_ = false;
    imaging::DibPtr reduced_;
    imaging::DibPtr shown_;
};

// The Levels dialog's live preview (window 3921): the reduced image through
// the dialog's levels.
class LevelsPreview : public DibPreview {
    Q_OBJECT
public:
    LevelsPreview(decoding::p_ImageSource& image, QWidget* parent);
    void set_params(const imaging::LevelsParams& params);
};

}  // namespace qelvio::viewer
