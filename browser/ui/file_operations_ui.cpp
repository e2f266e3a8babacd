#include "browser/ui/file_operations_ui.h"

#include "browser/file_operations.h"
#include "browser/rename_sequence.h"
#include "browser/ui/drag_tracker.h"
#include "browser/ui/frame_calls.h"
#include "browser/ui/overwrite_dialog.h"
#include "browser/ui/progress_window.h"
#include "browser/ui/rename_dialog.h"
#include "platform/device_root.h"
#include "platform/ui/message_box.h"
#include "resources/browser_texts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

namespace qelvio::browser {
namespace {

QString qt(const char16_t* text) { return QString::fromUtf16(text); }

// The files on the desktop's clipboard too, so that a file manager can
// paste them: file URLs (text/uri-list), the cut-or-copy form file
// managers read, and the paths as text.
void offer_to_desktop(const std::vector<p_filenode*>& files, bool cut) {
    QList<QUrl> urls;
    QStringList paths;
    for (p_filenode* file : files) {
        p_string path;
        if (!file || !p_localpath(file, path)) continue;
        paths << QString::fromStdString(platform::to_local_path(path.view()));
        urls << QUrl::fromLocalFile(paths.back());
    }
    if (urls.isEmpty()) return;
    auto* data = new QMimeData;
    data->setUrls(urls);
    QByteArray copied = cut ? "cut" : "copy";
    for (const QUrl& url : urls) copied += '\n' + url.toEncoded();
    data->setData(QStringLiteral("x-special/gnome-copied-files"), copied);
    data->setData(QStringLiteral("application/x-kde-cutselection"), cut ? "1" : "0");
    data->setText(paths.join('\n'));
    QGuiApplication::clipboard()->setMimeData(data);
}

class QtFileOperations : public FileOperationsUi, private FileOperationFeedback {
public:
    QtFileOperations(QWidget* parent, FrameCalls& frame, thumbnails::p_thumbcache* cache)
        : parent_(parent), frame_(frame), cache_(cache) {}

    void cut(const std::vector<p_filenode*>& files) override {
        if (clipboard_.set(files, true)) offer_to_desktop(files, true);
    }
    void copy(const std::vector<p_filenode*>& files) override {
        if (clipboard_.set(files, false)) offer_to_desktop(files, false);
    }
    bool can_paste() const override { return !clipboard_.empty(); }
    void paste(p_filenode* folder) override {
        paste_clipboard(clipboard_, folder, *this);
        frame_.refresh_panes();
    }
    void delete_files(const std::vector<p_filenode*>& files) override {
        if (files.empty()) return;
        browser::delete_files(files, *this);
        frame_.refresh_panes();
    }
    void rename(const std::vector<p_filenode*>& files) override {
        if (files.empty()) return;
        const bool several = files.size() >= 2;
        RenameDialog dialog(several, parent_);
        if (!several && files.front()) dialog.set_name(std::u16string(name_stem(files.front()->getname().view())));
        if (dialog.exec() != QDialog::Accepted) return;
        rename_files(files, dialog.name(), dialog.digits(), *this);
        frame_.refresh_panes();
    }
    void drag(const std::vector<p_filenode*>& files, QPoint global_start) override {
        if (files.empty()) return;
        DragTracker tracker(files, global_start);
        tracker.run();
    }
    void copy_or_move_into(p_filenode* folder, const std::vector<p_filenode*>& files, bool move) override {
        copy_or_move_files(folder, files, move, *this);
        frame_.refresh_panes();
    }

private:
    // ---- FileOperationFeedback ----
    std::unique_ptr<p_overwriteprompt> make_prompt(bool multi) override {
        return std::make_unique<OverwritePrompt>(multi, cache_, parent_);
    }
    bool confirm_delete() override {
        QMessageBox box(QMessageBox::Question, platform::string_text(57344),
                        qt(resources::kTextDeleteSelectedQuestion), QMessageBox::Yes | QMessageBox::No, parent_);
        return box.exec() == QMessageBox::Yes;
    }
    void showmessage(const p_string& text) override {
        QMessageBox box(QMessageBox::NoIcon, platform::string_text(57344), QString::fromUtf16(text.c_str()),
                        QMessageBox::Ok, parent_);
        box.exec();
    }
    void progress_open(const char16_t* text, int minimum, int maximum) override {
        progress_ = std::make_unique<ProgressWindow>(qt(text), minimum, maximum);
    }
    void progress_step(int position) override {
        if (progress_) progress_->step(position);
    }
    void progress_close() override { progress_.reset(); }
    void repaint_now() override {
        if (parent_) parent_->window()->repaint();
    }

    QPointer<QWidget> parent_;
    FrameCalls& frame_;
    thumbnails::p_thumbcache* cache_;
    FileClipboard clipboard_;
    std::unique_ptr<ProgressWindow> progress_;
};

}  // namespace

std::unique_ptr<FileOperationsUi> make_file_operations_ui(QWidget* parent, FrameCalls& frame,
                                                          thumbnails::p_thumbcache* cache) {
    return std::make_unique<QtFileOperations>(parent, frame, cache);
}

}  // namespace qelvio::browser
