#include "viewer/ui/levels_dialog.h"

#include "resources/viewer_texts.h"
#include "viewer/ui/dib_preview.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace qelvio::viewer {
namespace {

constexpr int kControls[] = {kLevelsBlack, kLevelsWhite, kLevelsContrast, kLevelsGamma, kLevelsBrightness};
const char16_t* const kLabels[] = {resources::kTextBlackpoint, resources::kTextWhitepoint, resources::kTextContrast,
                                   resources::kTextGamma, resources::kTextBrightness};

}  // namespace

LevelsDialog::LevelsDialog(decoding::p_ImageSource& image, QWidget* parent)
    : shell::DialogBase(parent, u"levels") {
    setWindowTitle(QString::fromUtf16(resources::kTextLevelsTitle));
    auto* row = new QHBoxLayout;
    auto* grid = new QGridLayout;
    for (int i = 0; i < 5; ++i) {
        int id = kControls[i];
        auto* label = new QLabel(QString::fromUtf16(kLabels[i]), this);
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setObjectName(QString("c%1").arg(id));
        SliderRange r = sliders_.range(id);
        s->setRange(r.minimum, r.maximum);
        s->setValue(sliders_.position(id));
        s->setMinimumWidth(160);
        label->setBuddy(s);
        grid->addWidget(label, i, 0);
        grid->addWidget(s, i, 1);
        controls_[static_cast<std::size_t>(i)] = s;
        connect(s, &QSlider::valueChanged, this, &LevelsDialog::slider_moved);
    }
    row->addLayout(grid);
    preview_ = new LevelsPreview(image, this);
    preview_->setFixedSize(150, 130);
    row->addWidget(preview_);
    body()->addLayout(row);
    // The keys work the black point first, not the OK button that comes
    // first in the focus chain.
    controls_[0]->setFocus();
}

QSlider* LevelsDialog::slider(int control) const {
    for (std::size_t i = 0; i < controls_.size(); ++i)
        if (kControls[i] == control) return controls_[i];
    return nullptr;
}

void LevelsDialog::slider_moved() {
    // Moving the black slider below puts a value change through here again.
    if (updating_) return;
    updating_ = true;
    for (std::size_t i = 0; i < controls_.size(); ++i) sliders_.set_position(kControls[i], controls_[i]->value());
    for (int id : {kLevelsBlack, kLevelsWhite}) {
        SliderRange r = sliders_.range(id);
        slider(id)->setRange(r.minimum, r.maximum);
        slider(id)->setValue(sliders_.position(id));
    }
    updating_ = false;
    preview_->set_params(sliders_.params());
}

}  // namespace qelvio::viewer
