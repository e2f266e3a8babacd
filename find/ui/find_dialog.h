// Dialog 191, "Find images": the file name part and the metadata words
// (editable combo boxes with their most recently used lists), the size
// mode and number of kilobytes, and the two check boxes "Select found
// images" and "Search subfolders", which exclude each other (while one is
// ticked the other is disabled). Help topic "find".
//
// Every Find opens it with empty fields and clear check boxes. OK checks
// the size field (35066 empty, 35067 not a number; the dialog stays open),
// then saves both lists. User-interface thread only.
#pragma once

#include "find/find_criteria.h"
#include "shell/ui/dialog_base.h"

#include <functional>

class QCheckBox;
class QComboBox;

namespace qelvio::find {

class FindDialog : public shell::DialogBase {
    Q_OBJECT
public:
    explicit FindDialog(QWidget* parent);

    // The fields as typed.
    FindFields fields() const;
    // The criteria read when OK was accepted.
    const FindCriteria& criteria() const { return criteria_; }

    // Shows why OK was refused; a message box unless replaced (tests).
    std::function<void(const QString&)> refuse;

public slots:
    void accept() override;

private:
    QComboBox* name_;
    QComboBox* words_;
    QComboBox* size_mode_;
    QComboBox* size_;
    QCheckBox* select_all_;
    QCheckBox* subfolders_;
    FindCriteria criteria_;
};

}  // namespace qelvio::find
