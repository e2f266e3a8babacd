// The options page p_options_browser (dialog 140) and the "Options" sheet
// (string 35056) that holds it. The page shows the settings object's values
// when it opens and writes them back to the object (not the profile: that
// happens at exit) when the sheet is confirmed, then notifies the settings'
// observers with code 7. Controls are named by their numbers ("c1008").
#pragma once

#include "shell/settings.h"
#include "shell/ui/dialog_base.h"

#include <QWidget>

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;


namespace qelvio::shell {

class SpinButton;

class OptionsPage : public QWidget {
    Q_OBJECT
public:
    OptionsPage(Settings& settings, QWidget* parent = nullptr);

    // Fills the controls from the settings object.
    void load();
    // Stores the controls into the settings object and notifies with 7.
    void apply();

    // Registers the file associations for the "Open images with Qelvio
    // Mobile" button; returns false when one step failed. Replaceable for
    // tests; the default writes the registry and the desktop files for
    // the running program.
    std::function<bool()> associate;

private:
    void associate_clicked();

    Settings& settings_;
    QCheckBox* filenames_;
    QCheckBox* annoticons_;
    QCheckBox* auto_audio_;
    QCheckBox* mail_program_;
    QLineEdit* interval_;
    SpinButton* spin_;
    QComboBox* quality_;
};

class OptionsSheet : public DialogBase {
    Q_OBJECT
public:
    OptionsSheet(Settings& settings, QWidget* parent = nullptr);
    OptionsPage* page() const { return page_; }

    void accept() override;

private:
    OptionsPage* page_;
};

// Registers this program (the running executable) as the opener of its
// image types: registry rows, desktop entry and default applications.
bool associate_running_program();

}  // namespace qelvio::shell
