// The properties sheet ("Image properties", string 35019) of one image,
// with its General, Annotation and Metadata pages, and the save of its
// changes after OK.
//
// The General page shows the file's facts in the user's locale, renames
// the file on OK (the edit holds the name up to its last dot; the extension
// is kept) and toggles the read-only attribute at once. The Annotation page
// edits description, artist and copyright (with their recently used lists)
// and opens the audio dialog; nothing of it is applied to a read-only
// image. The Metadata page lists every Exif entry with its value text.
//
// Controls are named by their numbers within their page ("general",
// "annotation", "metadata"): the pages reuse numbers.
//
// How to use: run_properties() does what the image list and the viewer need
// in one call; show_properties() and save_properties() are its two steps.
// User-interface thread only; the save runs there too, under the busy
// indicator.
#pragma once

#include "decoding/source/image_saver.h"
#include "decoding/source/image_source.h"
#include "platform/ui/message_box.h"
#include "shell/ui/dialog_base.h"

#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace qelvio::metadata {

enum PropertiesPage : int { kPageGeneral = 0, kPageAnnotation = 1, kPageMetadata = 2 };

// What the sheet needs of the program around it.
struct PropertiesContext {
    // Asked when the new name belongs to another file (the browser's
    // overwrite prompt). Without one such a rename is refused with "The
    // file already exists." and nothing is replaced.
    p_overwriteprompt* prompt = nullptr;
    // Shows (true) and hides (false) the program's busy indicator around
    // the save; may be empty.
    std::function<void(bool)> busy;
    // The save's settings; a missing question is asked with message boxes.
    decoding::SaveContext save;
    // Message boxes; replaceable for tests. Default: platform::show_message.
    std::function<void(QWidget* parent, const QString& text, platform::MessageIcon icon)> message;
    // The audio dialog, given the image's device path: true on OK, with
    // the audio it ended with (empty: none). Replaceable for tests.
    // Default: run_audio_dialog.
    std::function<bool(QWidget* parent, const std::u16string& image_path, const std::vector<uint8_t>* audio,
                       bool read_only, std::vector<uint8_t>& result)>
        audio_dialog;
};

class PropertiesSheet : public shell::DialogBase {
    Q_OBJECT
public:
    PropertiesSheet(QWidget* parent, decoding::p_ImageSource& image, int first_page, PropertiesContext& context);

    QTabWidget* tabs() const { return tabs_; }
    bool read_only() const { return read_only_; }
    // Whether the file was renamed or its attribute changed while open.
    bool renamed() const { return renamed_; }
    bool attributes_changed() const { return attributes_changed_; }

    // General page's OK (rename), then Annotation page's OK (texts, their
    // lists, the audio). A failed rename says so and keeps the sheet open.
    void accept() override;

private:
    QWidget* make_general();
    QWidget* make_annotation();
    QWidget* make_metadata();
    void show_read_only();
    void toggle_read_only();
    void open_audio();
    bool apply_rename();
    // False, after saying which character, when a typed annotation text
    // holds a character the image's 8-bit annotations cannot keep.
    bool annotation_texts_fit();
    void apply_annotation_page();
    void message(const QString& text, platform::MessageIcon icon);

    decoding::p_ImageSource& image_;
    PropertiesContext& context_;
    p_filenode* file_;
    bool read_only_ = false;
    bool renamed_ = false;
    bool attributes_changed_ = false;
    // The audio the audio dialog ended with; given to the image on OK.
    std::optional<std::vector<uint8_t>> staged_audio_;

    QTabWidget* tabs_;
    QLineEdit* name_ = nullptr;
    QLabel* read_only_text_ = nullptr;
    QPushButton* read_only_button_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QComboBox* artist_ = nullptr;
    QComboBox* copyright_ = nullptr;
};

// The outcome of one round of the sheet.
struct PropertiesOutcome {
    bool accepted = false;
    bool renamed = false;
    bool attributes_changed = false;
    int save_status = 0;  // of save_properties after OK
};

// Shows the sheet modally at first_page; true when it ended with OK.
bool show_properties(QWidget* parent, decoding::p_ImageSource& image, int first_page, PropertiesContext& context,
                     PropertiesOutcome* outcome = nullptr);

// After OK: when the image has changes, saves them into its file under the
// busy indicator and shows "The changes to the image properties can't be
// saved." with the status when that fails (not for -20); then releases all
// but the thumbnail. Returns the save's status (0 when nothing changed).
int save_properties(QWidget* parent, decoding::p_ImageSource& image, PropertiesContext& context);

// Both: the sheet, then, after OK, the save.
PropertiesOutcome run_properties(QWidget* parent, decoding::p_ImageSource& image, int first_page,
                                 PropertiesContext& context);

}  // namespace qelvio::metadata
