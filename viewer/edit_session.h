// Editing the image the viewer shows: entering and leaving editing, the
// pixel commands (levels, auto levels, resize, rotate, flip, crop), Reload
// Original, Save, Save As, Save a copy, the lossless JPEG transform of the
// shown image,
// the command states, and the pending-changes question every caller asks
// before the viewer lets go of its image.
//
// The pixel work runs on the image object's whole-image bitmap with the
// imaging operations; files are written by the image saver and the JPEG
// writer (temporary file, then rename). Everything the user sees or answers
// goes through EditorHost, so tests script it. User-interface thread only.
#pragma once

#include "decoding/source/image_source.h"
#include "decoding/transform/progress_window.h"
#include "imaging/levels.h"
#include "platform/user_question.h"
#include "qelvio/p_fileops.h"
#include "viewer/view_state.h"

#include <optional>
#include <string>
#include <string_view>

namespace qelvio::viewer {

// What editing asks of the viewer, the frame and the user.
class EditorHost {
public:
    virtual ~EditorHost() = default;
    // A question with the buttons of platform::QuestionButtons; returns a
    // platform::QuestionAnswer.
    virtual int ask(std::u16string_view text, int buttons) = 0;
    // A message with an OK button.
    virtual void tell(std::u16string_view text) = 0;
    // The busy indicator around pixel work (nested calls pair up).
    virtual void busy(bool on) = 0;
    // The viewer fits the image again, or repaints it at the same zoom.
    virtual void fit() = 0;
    virtual void repaint() = 0;
    // The frame's editing layout (true) or viewing layout (false).
    virtual void editing_layout(bool editing) = 0;
    // Whether the infrared window is sending this file.
    virtual bool being_sent(const p_irl& locator) = 0;
    // The Save As dialog: a device path, or nothing after Cancel.
    virtual std::optional<std::u16string> ask_save_path() = 0;
    // The viewer lets go of the edited image (no question: it was dealt
    // with) and the frame opens the file just written, in viewing state.
    virtual void open_saved(const p_irl& locator) = 0;
    // The thumbnail cache forgets a file whose content changed.
    virtual void forget(const p_irl& locator) = 0;
    // The dialogs; false after Cancel.
    virtual bool levels_dialog(decoding::p_ImageSource& image, imaging::LevelsParams& params) = 0;
    virtual bool resize_dialog(int width, int height, int& new_width, int& new_height) = 0;
    // The JPEG Transform dialog: the chosen code, 0 for none or Cancel.
    virtual int transform_dialog(decoding::p_ImageSource& image) = 0;
    // Asked by a save whether to keep a non-JPEG original, and before
    // replacing a JPEG of the converted name; the progress window of the
    // lossless transform. Each may be null.
    virtual platform::UserQuestion* save_question() { return nullptr; }
    virtual p_overwriteprompt* overwrite_prompt() { return nullptr; }
    virtual decoding::ProgressWindow* progress_window() { return nullptr; }
};

class EditSession {
public:
    // quality_setting: the "savequality" setting (0, 1, 2).
    EditSession(EditorHost& host, ViewState& view, int quality_setting = 1);

    // The image the viewer shows (null: none); editing ends with it.
    void set_image(decoding::p_ImageSource* image);
    decoding::p_ImageSource* image() const { return image_; }
    bool editing() const { return editing_; }
    void set_quality_setting(int setting) { quality_setting_ = setting; }

    // True when the caller may let go of the image: no changes, the user
    // answered No (the changes are dropped), or the changes were saved.
    bool may_let_go();

    // The editing and transform commands; false when the id is not one.
    bool handle_command(int id);
    // Their states; nullopt when the id is not one of them.
    struct State {
        bool enabled = true;
        bool pressed = false;
    };
    std::optional<State> command_state(int id) const;

    // The steps behind the commands.
    void enter();
    void levels();
    void auto_levels();
    void resize();
    void rotate(int angle);
    void flip(bool horizontal, bool vertical);
    // Crops to the selection after asking; the selection always ends.
    void crop();
    void reload_original();
    void save();
    void save_as();
    void stop();
    void transform_jpeg();
    // Copies the shown image's file, unchanged, to the path the save dialog
    // gives, and shows the copy.
    void save_copy();

private:
    template <typename Operation>
    void apply(Operation operation, bool refit);
    bool read_only() const;
    // Writes the image's changes into its file under the busy indicator;
    // false when the user cancelled or the save failed (then told).
    bool save_changes();
    // Back to viewing: selection and tool reset, mode 2 under the busy
    // indicator, then the viewing layout.
    void leave();
    void tell_status(int string_id, int status);

    EditorHost& host_;
    ViewState& view_;
    int quality_setting_;
    decoding::p_ImageSource* image_ = nullptr;
    bool editing_ = false;
};

}  // namespace qelvio::viewer
