#include "viewer/edit_session.h"

#include "decoding/source/image_saver.h"
#include "decoding/source/jpeg_writer.h"
#include "imaging/resample.h"
#include "imaging/transform.h"
#include "qelvio/p_fileops.h"
#include "qelvio/p_mcp.h"
#include "qelvio/p_status.h"
#include "resources/command_ids.h"
#include "resources/command_table.h"
#include "resources/string_table.h"
#include "resources/viewer_texts.h"

namespace qelvio::viewer {

namespace r = qelvio::resources;
using decoding::p_ImageSource;
using platform::kAnswerCancel;
using platform::kAnswerNo;
using platform::kButtonsYesNo;
using platform::kButtonsYesNoCancel;

namespace {

// The busy indicator for the length of a scope.
class BusyScope {
public:
    explicit BusyScope(EditorHost& host) : host_(host) { host_.busy(true); }
    ~BusyScope() { end(); }
    void end() {
        if (on_) host_.busy(false);
        on_ = false;
    }

private:
    EditorHost& host_;
    bool on_ = true;
};

// The save dialog has asked before replacing a file, so the copy does not
// ask again.
struct AlreadyConfirmed : p_overwriteprompt {
    int show(const p_irl&, const p_irl&) override { return P_ANSWER_YES; }
};

std::u16string_view text(int id) {
    const char16_t* s = r::load_string(id);
    return s ? s : u"";
}

}  // namespace

EditSession::EditSession(EditorHost& host, ViewState& view, int quality_setting)
    : host_(host), view_(view), quality_setting_(quality_setting) {}

void EditSession::set_image(p_ImageSource* image) {
    image_ = image;
    editing_ = false;
}

void EditSession::tell_status(int string_id, int status) {
    p_string line;
    p_string reason = p_statusmessage(status);
    line.format(r::kTextStatusMessage, std::u16string(text(string_id)).c_str(), reason.c_str());
    host_.tell(line.view());
}

bool EditSession::read_only() const {
    p_filenode* file = image_ ? image_->resolve_file() : nullptr;
    uint32_t attributes = 0;
    return file && file->getfileattributes(&attributes) >= 0 && (attributes & 1u);
}

bool EditSession::may_let_go() {
    if (!image_) return true;
    uint32_t changes = image_->changes();
    if (changes == 0) return true;
    if (changes & decoding::kChangedBitmap) {
        int answer = host_.ask(r::kTextSaveChanges, kButtonsYesNoCancel);
        if (answer == kAnswerCancel) return false;
        if (answer == kAnswerNo) {
            // The edits go with the image's data; what was recorded or typed
            // alongside them goes too.
            image_->release(decoding::kReleaseAllButThumbnail);
            image_->clear_changes();
            return true;
        }
    }
    host_.repaint();
    return save_changes();
}

bool EditSession::save_changes() {
    BusyScope busy(host_);
    decoding::SaveContext context;
    context.quality_setting = quality_setting_;
    context.question = host_.save_question();
    context.prompt = host_.overwrite_prompt();
    context.forget = [this](const p_irl& locator) { host_.forget(locator); };
    int status = decoding::save_image(*image_, context);
    busy.end();
    if (status == P_CANCELLED) return false;
    if (status < 0) {
        tell_status(r::kStringCantBeSaved, status);
        return false;
    }
    return true;
}

bool EditSession::handle_command(int id) {
    switch (id) {
    case r::kCmdEdit: enter(); return true;
    case r::kCmdViewerTransformJpeg: transform_jpeg(); return true;
    case r::kCmdSaveCopy: save_copy(); return true;
    default: break;
    }
    if (!command_state(id)) return false;
    // The editing keys reach the viewer while it only views: ignored then.
    if (!editing_) return true;
    switch (id) {
    case r::kCmdLevels: levels(); break;
    case r::kCmdAutoLevels: auto_levels(); break;
    case r::kCmdResize: resize(); break;
    case r::kCmdRotate90: rotate(90); break;
    case r::kCmdRotate180: rotate(180); break;
    case r::kCmdRotate270: rotate(270); break;
    case r::kCmdFlipHorizontal: flip(true, false); break;
    case r::kCmdFlipVertical: flip(false, true); break;
    case r::kCmdCropTool:
        if (view_.tool() == kToolCrop) {
            crop();
        } else {
            view_.toggle_tool(kToolCrop);
            host_.repaint();
        }
        break;
    case r::kCmdCrop: crop(); break;
    case r::kCmdReloadOriginal:
        if (command_state(id)->enabled) reload_original();
        break;
    case r::kCmdSave: save(); break;
    case r::kCmdSaveAs: save_as(); break;
    case r::kCmdStopEditing: stop(); break;
    default: break;
    }
    return true;
}

std::optional<EditSession::State> EditSession::command_state(int id) const {
    State s;
    switch (id) {
    case r::kCmdEdit:
        s.enabled = image_ != nullptr;
        s.pressed = editing_;
        return s;
    case r::kCmdViewerTransformJpeg: {
        const decoding::FormatEntry* entry = image_ ? image_->format_entry() : nullptr;
        s.enabled = !editing_ && entry && entry->format == decoding::kFormatJpeg;
        return s;
    }
    case r::kCmdSaveCopy:
        s.enabled = image_ != nullptr && !editing_;
        return s;
    case r::kCmdCropTool:
        s.enabled = editing_;
        s.pressed = view_.tool() == kToolCrop;
        return s;
    case r::kCmdCrop:
        s.enabled = editing_ && view_.tool() == kToolCrop && view_.has_selection();
        return s;
    case r::kCmdReloadOriginal:
        s.enabled = editing_ && image_ && (image_->changes() & decoding::kChangedBitmap);
        return s;
    case r::kCmdLevels:
    case r::kCmdAutoLevels:
    case r::kCmdResize:
    case r::kCmdRotate90:
    case r::kCmdRotate180:
    case r::kCmdRotate270:
    case r::kCmdFlipHorizontal:
    case r::kCmdFlipVertical:
    case r::kCmdSave:
    case r::kCmdSaveAs:
    case r::kCmdStopEditing:
        s.enabled = editing_;
        return s;
    default: return std::nullopt;
    }
}

void EditSession::enter() {
    if (!image_ || editing_) return;
    if (host_.being_sent(image_->locator())) {
        host_.tell(r::kTextBeingSentNoEdit);
        return;
    }
    if (read_only()) {
        host_.tell(r::kTextReadOnlyNoEdit);
        return;
    }
    imaging::DibSize full = image_->size();
    BusyScope busy(host_);
    int status = image_->set_mode(decoding::kModeEditing);
    busy.end();
    if (status < 0) {
        // No editable bitmap: stay in viewing rather than show an editor
        // with nothing to edit.
        host_.tell(text(r::kStringNotEnoughMemory));
        image_->set_mode(decoding::kModeViewing);
        host_.fit();
        return;
    }
    editing_ = true;
    view_.reset_tools();
    host_.fit();
    imaging::DibSize loaded = image_->whole_image_size();
    if (loaded.width < full.width || loaded.height < full.height) {
        p_string message;
        message.format(r::kTextReducedResolution, full.width, full.height, loaded.width, loaded.height);
        host_.tell(message.view());
    }
    host_.editing_layout(true);
}

template <typename Operation>
void EditSession::apply(Operation operation, bool refit) {
    if (!editing_ || !image_ || !image_->whole_image()) return;
    BusyScope busy(host_);
    imaging::DibPtr result = operation(*image_->whole_image());
    busy.end();
    if (!result) {
        host_.tell(text(r::kStringNotEnoughMemory));
        return;
    }
    image_->replace_whole_image(std::move(result));
    if (refit) {
        host_.fit();
    } else {
        host_.repaint();
    }
}

void EditSession::levels() {
    if (!editing_ || !image_) return;
    imaging::LevelsParams params;
    if (!host_.levels_dialog(*image_, params)) return;
    apply([&](const imaging::Dib& dib) { return imaging::DibLevels(dib, params); }, false);
}

void EditSession::auto_levels() {
    apply([](const imaging::Dib& dib) { return imaging::DibAutoLevels(dib, 0.5, 0.5); }, false);
}

void EditSession::resize() {
    if (!editing_ || !image_ || !image_->whole_image()) return;
    int width = imaging::DibWidth(*image_->whole_image()), height = imaging::DibHeight(*image_->whole_image());
    int new_width = width, new_height = height;
    if (!host_.resize_dialog(width, height, new_width, new_height)) return;
    if (new_width == width && new_height == height) return;
    apply([&](const imaging::Dib& dib) { return imaging::DibResize(dib, new_width, new_height, imaging::Lanczos3); },
          true);
}

void EditSession::rotate(int angle) {
    apply([angle](const imaging::Dib& dib) { return imaging::DibRotate(dib, angle); }, true);
}

void EditSession::flip(bool horizontal, bool vertical) {
    apply([=](const imaging::Dib& dib) { return imaging::DibFlip(dib, horizontal, vertical); }, false);
}

void EditSession::crop() {
    if (!editing_ || !view_.has_selection()) return;
    DibRect area = view_.selection();
    bool usable = area.right > area.left && area.bottom > area.top;
    if (usable && host_.ask(r::kTextCropQuestion, kButtonsYesNo) != kAnswerNo) {
        apply([&](const imaging::Dib& dib) { return imaging::DibCrop(dib, area); }, true);
    }
    view_.end_selection();
    host_.repaint();
}

void EditSession::reload_original() {
    if (!editing_ || !image_) return;
    if (host_.ask(r::kTextRevertQuestion, kButtonsYesNo) == kAnswerNo) return;
    host_.repaint();
    imaging::DibSize before = image_->size();
    BusyScope busy(host_);
    bool reverted = image_->revert();
    busy.end();
    if (!reverted) {
        host_.tell(text(r::kStringNotEnoughMemory));
        return;
    }
    imaging::DibSize after = image_->size();
    if (after.width != before.width || after.height != before.height) {
        host_.fit();
    } else {
        host_.repaint();
    }
}

void EditSession::leave() {
    view_.reset_tools();
    BusyScope busy(host_);
    if (image_->set_mode(decoding::kModeViewing) >= 0) {
        editing_ = false;
        busy.end();
        host_.fit();
    } else {
        // Nothing viewable is left: editing still ends (its bitmap is gone).
        editing_ = false;
        busy.end();
        host_.repaint();
    }
    host_.editing_layout(false);
}

void EditSession::save() {
    if (!editing_ || !image_) return;
    // Any pending change is written: pixels, and the audio or properties
    // changed alongside them.
    if (image_->changes() != 0) {
        if (!save_changes()) return;
        image_->release(decoding::kReleaseAllButThumbnail);
    }
    leave();
}

void EditSession::save_as() {
    if (!editing_ || !image_) return;
    std::optional<std::u16string> path = host_.ask_save_path();
    if (!path || path->empty()) return;
    BusyScope busy(host_);
    int status = decoding::write_jpeg(*image_, *path, decoding::save_quality(quality_setting_), false);
    busy.end();
    if (status < 0) {
        tell_status(r::kStringSaveAsFailed, status);
        return;
    }
    // The edited image's file keeps its old content; its edits go.
    image_->release(decoding::kReleaseAllButThumbnail);
    image_->clear_changes();
    p_irl saved;
    saved.set(u"file", u"", path->c_str());
    host_.forget(saved);
    editing_ = false;
    view_.reset_tools();
    host_.editing_layout(false);
    host_.open_saved(saved);
}

void EditSession::stop() {
    if (!editing_ || !image_) return;
    if (!may_let_go()) return;
    image_->release(decoding::kReleaseAllButThumbnail);
    image_->clear_changes();
    leave();
}

void EditSession::transform_jpeg() {
    if (!image_ || editing_) return;
    if (read_only()) {
        host_.tell(r::kTextReadOnlyNoTransform);
        return;
    }
    int code = host_.transform_dialog(*image_);
    if (code == 0) return;
    int status = image_->lossless_transform(code, [this](const p_irl& locator) { host_.forget(locator); },
                                            host_.progress_window());
    if (status < 0) {
        host_.tell(text(r::kStringNotEnoughMemory));
        host_.repaint();
    }
    BusyScope busy(host_);
    image_->set_mode(decoding::kModeViewing);
    busy.end();
    host_.fit();
}

void EditSession::save_copy() {
    if (!image_ || editing_) return;
    std::optional<std::u16string> path = host_.ask_save_path();
    if (!path || path->empty()) return;
    std::size_t cut = path->rfind(u'\\');
    std::u16string folder = cut == std::u16string::npos || cut == 0 ? u"\\" : path->substr(0, cut);
    std::u16string name = cut == std::u16string::npos ? *path : path->substr(cut + 1);
    p_irl folder_locator, copy_locator;
    folder_locator.set(u"file", u"", folder.c_str());
    copy_locator.set(u"file", u"", path->c_str());
    p_mcp* tree = p_mcp::instance();
    p_filenode* target = nullptr;
    if (name.empty() || !tree || tree->openfile(folder_locator, &target) < 0 || !target) return;
    p_filenode* source = image_->resolve_file();
    if (!source) {
        tell_status(r::kStringCantBeSaved, P_NOT_FOUND);
        return;
    }
    p_irl source_locator;
    // The chosen file is the shown one: there is nothing to copy.
    if (source->getirl(source_locator) >= 0 && source_locator.view() == copy_locator.view()) return;
    AlreadyConfirmed prompt;
    int status = p_copywithprompts(target, source, false, &prompt, name.c_str());
    if (status == P_CANCELLED) return;
    if (status < 0) {
        tell_status(r::kStringCantBeSaved, status);
        return;
    }
    host_.forget(copy_locator);
    host_.open_saved(copy_locator);
}

}  // namespace qelvio::viewer
