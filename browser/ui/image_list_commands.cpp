// The image list's commands: view modes, sorting, selection, viewing and
// slide shows, audio, the JPEG transform of the selected files, and the
// file operations carried out by FileOperationsUi.
#include "browser/list_commands.h"
#include "browser/ui/file_operations_ui.h"
#include "browser/ui/image_list_find.h"
#include "browser/ui/image_list_pane.h"

#include "browser/ui/progress_window.h"
#include "viewer/batch_transform.h"
#include "decoding/format_id.h"
#include "decoding/source/image_source.h"
#include "find/ui/find_commands_ui.h"
#include "metadata/wav_sound.h"
#include "platform/audio_player.h"
#include "qelvio/p_filetree.h"
#include "resources/browser_texts.h"
#include "resources/command_ids.h"
#include "sharing/ui/send_by_email.h"
#include "thumbnails/p_thumbcache.h"
#include "viewer/batch_transform.h"

namespace qelvio::browser {
namespace {

using namespace resources;

QString qt(const p_string& text) { return QString::fromUtf16(static_cast<const char16_t*>(text)); }

// A text of the table with one file name in place of %s.
QString with_name(const char16_t* picture, const QString& name) {
    QString text = QString::fromUtf16(picture);
    return text.replace(QStringLiteral("%s"), name);
}

// The file attribute bit of a read-only file.
constexpr uint32_t kAttributeReadOnly = 1;

}  // namespace

// ---- commands ----

void ImageListPane::play_audio_of(int index) {
    if (index < 0 || index >= model_.count() || !model_.items()[index].image) return;
    const std::vector<uint8_t>* wav = model_.items()[index].image->audio();
    if (!wav) return;
    platform::Sound sound;
    if (metadata::read_wav_sound(wav->data(), wav->size(), sound) != 0) return;
    if (!audio_player_) audio_player_ = platform::make_audio_player();
    audio_player_->play(std::move(sound));  // returns at once; the player's worker plays it
}

// What the batch transform asks of the image list: its messages, the
// infrared window's file, the cache's images and the progress window.
class ImageListPane::TransformHost : public viewer::BatchTransformHost {
public:
    TransformHost(ImageListPane& pane, std::vector<ListItem> items) : pane_(pane), items_(std::move(items)) {}
    void tell(std::u16string_view text) override {
        pane_.tell(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
    }
    bool being_sent(const p_irl& locator) override {
        const ListItem* item = find(locator);
        return item && pane_.being_sent(item->file);
    }
    void forget(const p_irl& locator) override { pane_.cache_.forget(locator); }
    decoding::ProgressWindow* progress_window() override { return &progress_; }
    decoding::p_ImageSource* held_image(const p_irl& locator) override {
        const ListItem* item = find(locator);
        return item ? item->image : nullptr;
    }

private:
    const ListItem* find(const p_irl& locator) const {
        for (const ListItem& item : items_)
            if (item.image && item.image->locator().view() == locator.view()) return &item;
        return nullptr;
    }

    ImageListPane& pane_;
    std::vector<ListItem> items_;
    CoreProgressWindow progress_;
};

void ImageListPane::transform_selected() {
    std::vector<ListItem> jpegs;
    std::vector<p_irl> locators;
    for (int index : model_.selected_indices()) {
        const ListItem& item = model_.items()[index];
        if (!item.image || !item.file) continue;
        const decoding::FormatEntry* entry = item.image->format_entry();
        if (!entry || entry->format != decoding::kFormatJpeg) continue;
        jpegs.push_back(item);
        locators.push_back(item.image->locator());
    }
    if (jpegs.empty()) return;
    const int code = choose_transform ? choose_transform(*jpegs.front().image) : 0;
    if (code == 0) return;
    stop_thumbnail_loading();  // the transform needs its images idle
    TransformHost host(*this, jpegs);
    viewer::transform_files(locators, code, host);
    for (const ListItem& item : jpegs) failed_.erase(item.image);
    repaint_selected();
    start_loading();
}

void ImageListPane::send_selected_by_email() {
    std::vector<p_irl> images;
    for (int index : model_.selected_indices()) images.push_back(locator(index));
    stop_thumbnail_loading();  // the sender decodes the same image objects
    CoreProgressWindow progress;
    sharing::send_by_email(this, images, cache_, &progress);
    start_loading();
}

find::FindCommandsUi& ImageListPane::find_commands() {
    if (!find_) {
        find_list_ = std::make_unique<ImageListFind>(*this, frame_);
        find_ = std::make_unique<find::FindCommandsUi>(this, *find_list_);
    }
    return *find_;
}

std::optional<CommandState> ImageListPane::command_state(int id) {
    ListCommandFacts f;
    f.count = model_.count();
    f.selected = model_.selected_count();
    f.view_mode = view_mode();
    f.sort_key = settings_.sortmode;
    f.descending = descending_;
    f.can_paste = file_operations_.can_paste();
    f.infrared_mode = frame_.infrared_mode();
    if (id == kCmdPlayAudio && f.selected == 1) {
        const ListItem& item = model_.items()[model_.next(-1, true)];
        f.one_selected_has_audio = item.image && item.image->has_audio();
    }
    if (id == kCmdTransformJpeg) {
        for (int i : model_.selected_indices()) {
            const ListItem& item = model_.items()[i];
            const decoding::FormatEntry* entry = item.image ? item.image->format_entry() : nullptr;
            if (entry && entry->format == decoding::kFormatJpeg) {
                f.any_selected_jpeg = true;
                break;
            }
        }
    }
    return list_command_state(id, f);
}

bool ImageListPane::handle_command(int id) {
    if (!list_command_state(id, {}).has_value()) return false;
    const std::optional<CommandState> state = command_state(id);
    if (!state || !state->enabled) return true;
    if (int mode = view_mode_of_command(id); mode >= 0) {
        set_view_mode(mode);
        return true;
    }
    if (int key = sort_key_of_command(id); key >= 0) {
        sort_by(key, descending_);
        return true;
    }
    std::vector<p_filenode*> selected;
    for (int i : model_.selected_indices()) selected.push_back(model_.items()[i].file);
    switch (id) {
    case kCmdSortAscending: sort_by(settings_.sortmode, false); return true;
    case kCmdSortDescending: sort_by(settings_.sortmode, true); return true;
    case kCmdSelectAll: select_all(true); return true;
    case kCmdUnselectAll: select_all(false); return true;
    case kCmdViewImage: frame_.view_index(model_.next(-1, true)); return true;
    case kCmdSlideShowAll: frame_.start_slideshow(false); return true;
    case kCmdSlideShowSelected: frame_.start_slideshow(true); return true;
    case kCmdPlayAudio:
        if (play_audio) play_audio(model_.next(-1, true));
        return true;
    case kCmdProperties:
        if (open_properties) open_properties(model_.next(-1, true), false);
        return true;
    case kCmdTransformJpeg: transform_selected(); return true;
    case kCmdSendEmail: send_selected_by_email(); return true;
    case kCmdSendInfrared: frame_.send_via_infrared(selected); return true;
    case kCmdReceiveInfrared: frame_.receive_via_infrared(); return true;
    case kCmdFind: find_commands().find(); return true;
    case kCmdFindNext: find_commands().find_next(); return true;
    case kCmdCut: file_operations_.cut(selected); return true;
    case kCmdCopy: file_operations_.copy(selected); return true;
    case kCmdPaste:
        if (folder_) file_operations_.paste(folder_);
        take_notifications();
        return true;
    case kCmdDelete:
        file_operations_.delete_files(selected);
        take_notifications();
        return true;
    case kCmdRename:
        file_operations_.rename(selected);
        take_notifications();
        return true;
    default: return true;  // carried, but its window comes later
    }
}

}  // namespace qelvio::browser
