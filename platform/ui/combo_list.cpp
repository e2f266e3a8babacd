#include "platform/ui/combo_list.h"

#include <QComboBox>

namespace qelvio::platform {
namespace {

QString qt(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }
std::u16string own(const QString& text) { return text.toStdU16String(); }

}  // namespace

int ComboList::count() const { return combo_.count(); }
std::u16string ComboList::item(int index) const { return own(combo_.itemText(index)); }
void ComboList::insert(int index, std::u16string_view text) { combo_.insertItem(index, qt(text)); }
void ComboList::remove(int index) { combo_.removeItem(index); }
void ComboList::clear() {
    // Clearing the items must not lose the typed text.
    QString text = combo_.currentText();
    combo_.clear();
    combo_.setEditText(text);
}
std::u16string ComboList::edit_text() const { return own(combo_.currentText()); }
void ComboList::set_edit_text(std::u16string_view text) { combo_.setEditText(qt(text)); }
void ComboList::set_redraw(bool on) {
    combo_.setUpdatesEnabled(on);
    if (on) combo_.update();
}

}  // namespace qelvio::platform
